// The MEC16xx read: set-up in the click, the blocks in ReadThread_MEC16.
#include "Mec16xx/Mec16Operations.h"

#include <algorithm>
#include <utility>

#include "Mec16xx/Mec16OperationsCommon.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

void Mec16Operations::BitBtn_RD_MEC16Click(bool readInfoToo) {
  if (!beginTransfer(Mec16Mode::ReadMain, colour::kLime, kMainBlocks)) return;
  followUp_ = readTwice_.load() ? FollowUp::ReadTwice : FollowUp::None;
  const FileDialog dialog{std::string(kSaveTitle), std::string(kSaveFilter), std::string(kBinExtension),
                          std::string(kDefaultName), true};
  const std::optional<std::string> path = view_.askSaveFile(dialog);
  if (!path) return refuseSetUp(kReadCancelled);
  FileName_MEC16 = *path;
  // The dump goes to a temporary file beside the chosen name and replaces it only when
  // whole. Read twice keeps both reads in memory and writes only a matching pair, so a
  // pair that differs leaves an old file as it was.
  int createError = 0;
  File_MEC16 = DumpSink::Create(FileName_MEC16, &createError);
  if (!File_MEC16) {
    log(kCreateFailed);
    return refuseSetUp(CreateFailedLine(FileName_MEC16, createError, kLanguage));
  }
  streamToFile_ = followUp_ == FollowUp::None;
  timeStamp();
  log(kReadingInto);
  log(FileName_MEC16);
  if (readInfoToo) {
    log(kReadScopeBoth);
    Scope_MEC16 = kScopeMainInfo;
  } else {
    log(kReadScopeMain);
    Scope_MEC16 = kScopeMainOnly;
  }
  log(kReadStarted);
  if (!startMainStream()) return;
  // From here on only the worker touches the link and the file.
  ReadThread_MEC16 = std::jthread([this] { ReadThread_MEC16Execute(); });
}

bool Mec16Operations::startMainStream() {
  std::array<std::uint8_t, 4> id{};
  if (sendStartAndId(id) == StartResult::NoAnswer) {
    handlerFailure();
    return false;
  }
  if (AllFF(id)) {
    log(kBadId);
    handlerFailure();
    return false;
  }
  if (!writeLogged(kFlashEnable, "00000001", "1", "(R100)") ||
      !writeLogged(kFlashCommand, "00000105", "105h", "(R101)")) {
    handlerFailure();
    return false;
  }
  Counter_MEC16 = 1;
  received_.reserve(kMainBytes + kInfoBytes);
  // The request goes out before the worker reads: its blocks wait in the receive queue.
  SendWithAddress(link_, kStreamRead, kMainAddress);
  return true;
}

void Mec16Operations::ReadThread_MEC16Execute() {
  for (;;) {
    bool more = false;
    switch (Mode_MEC16.load()) {
      case Mec16Mode::ReadMain: more = readMainPass(); break;
      case Mec16Mode::ReadInfo: more = readInfoPass(); break;
      case Mec16Mode::WriteMain: more = writePass(); break;
      default: break;
    }
    // A pass that ended its run may have started the follow-up read in its place; the
    // mode alone cannot tell, as a new click may already hold it once NONE was set.
    if (!more && !std::exchange(followUpStarted_, false)) return;
  }
}

void Mec16Operations::streamFailed() {
  send(kEndStream);
  send(kFailed);
  send(kClose);
  finish(false, true);
}

bool Mec16Operations::receiveBlock(std::string_view area) {
  if (QueueWait(link_, kBlockBytes, bounds_.blockMs) != WaitResult::Ok) {
    log(std::string(kNoBlock) + std::to_string(Counter_MEC16) + std::string(kOpenBracket) + std::string(area) +
        std::string(kCloseBracket));
    streamFailed();
    return false;
  }
  const std::span<const std::uint8_t> data(link_.buffer.data(), kBlockData);
  received_.insert(received_.end(), data.begin(), data.end());
  if (streamToFile_ && !File_MEC16->write(data)) {
    log(kFileWriteFailed);
    streamFailed();
    return false;
  }
  return true;
}

void Mec16Operations::readSucceeded() {
  // The dump counts as saved only once it is whole on the disk under its name.
  const bool saved = !streamToFile_ || File_MEC16->commit();
  if (!saved) log(kFileWriteFailed);
  send(saved ? kSucceeded : kFailed);
  send(kClose);
  finish(saved, true);
}

bool Mec16Operations::readMainPass() {
  if (!receiveBlock(kAreaMain)) return false;
  // The gauge's maximum is 192: one step a block.
  view_.setGauge(kGauge, Counter_MEC16);
  if (Stop_MEC16.load() || cancel_.load()) {
    send(kEndStream);
    log(kUserStopped);
    release("(P100).", "(P101).", "(P102)");
    send(kClose);
    send(kFailed);
    finish(false, true);
    return false;
  }
  if (link_.buffer[kBlockData] != kBlockGood) {
    send(kEndStream);
    log(Lost("(P103)."));
    send(kFailed);
    send(kClose);
    finish(false, true);
    return false;
  }
  if (Counter_MEC16 != kMainBlocks) {
    send(kNext);
    ++Counter_MEC16;
    return true;
  }
  send(kEndStream);
  log(kMainReadDone);
  if (Scope_MEC16 == kScopeMainOnly) {
    release("(P104).", "(P105).", "(P106)");
    readSucceeded();
    return false;
  }
  Mode_MEC16 = Mec16Mode::ReadInfo;
  Counter_MEC16 = 1;
  writeLogged(kFlashCommand, "00000100", "100h", "(P107).");
  log(kInfoReadStarts);
  writeLogged(kFlashCommand, "00000105", "105h", "(P108).");
  SendWithAddress(link_, kStreamRead, kInfoAddress);
  return true;
}

bool Mec16Operations::readInfoPass() {
  if (!receiveBlock(kAreaInfo)) return false;
  if (link_.buffer[kBlockData] != kBlockGood) {
    send(kEndStream);
    log(Lost("(P109)."));
    send(kFailed);
    send(kClose);
    finish(false, true);
    return false;
  }
  if (Counter_MEC16 == kInfoBlocks) {
    send(kEndStream);
    log(kInfoReadDone);
    release("(P110).", "(P111).", "(P112)");
    readSucceeded();
    return false;
  }
  // The exit button is not obeyed during INFO; a stop from the command line is.
  if (cancel_.load()) {
    send(kEndStream);
    log(kUserStopped);
    send(kFailed);
    send(kClose);
    finish(false, true);
    return false;
  }
  send(kNext);
  ++Counter_MEC16;
  return true;
}

}  // namespace jig
