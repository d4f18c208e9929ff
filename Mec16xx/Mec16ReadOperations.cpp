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

void Mec16Operations::BitBtn_RD_MEC16Click(bool readInfoToo) {
  if (!BeginTransfer(Mec16Mode::ReadMain, colour::kLime, kMainBlocks)) return;
  followUp_ = readTwice_.load() ? FollowUp::ReadTwice : FollowUp::None;
  const FileDialog dialog{std::string(kSaveTitle), std::string(kSaveFilter), ".bin", "Noname", true};
  const std::optional<std::string> path = view_.askSaveFile(dialog);
  if (!path) return RefuseSetUp(kReadCancelled);
  FileName_MEC16 = *path;
  // The dump goes to a temporary file beside the chosen name and replaces it only when
  // whole. Read twice keeps both reads in memory and writes only a matching pair, so a
  // pair that differs leaves an old file as it was.
  File_MEC16 = DumpSink::Create(FileName_MEC16);
  if (!File_MEC16) return RefuseSetUp(kCreateFailed);
  streamToFile_ = followUp_ == FollowUp::None;
  TimeStamp();
  Log(kReadingInto);
  Log(FileName_MEC16);
  if (readInfoToo) {
    Log(kReadScopeBoth);
    Scope_MEC16 = kScopeMainInfo;
  } else {
    Log(kReadScopeMain);
    Scope_MEC16 = kScopeMainOnly;
  }
  Log(kReadStarted);
  if (!StartMainStream()) return;
  // From here on only the worker touches the link and the file.
  ReadThread_MEC16 = std::jthread([this] { ReadThread_MEC16Execute(); });
}

bool Mec16Operations::StartMainStream() {
  std::array<std::uint8_t, 4> id{};
  if (SendStartAndId(id) == StartResult::NoAnswer) {
    HandlerFailure();
    return false;
  }
  if (AllFF(id)) {
    Log(kBadId);
    HandlerFailure();
    return false;
  }
  if (!WriteLogged(kFlashEnable, "00000001", "1", "(R100)") ||
      !WriteLogged(kFlashCommand, "00000105", "105h", "(R101)")) {
    HandlerFailure();
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
      case Mec16Mode::ReadMain: more = ReadMainPass(); break;
      case Mec16Mode::ReadInfo: more = ReadInfoPass(); break;
      case Mec16Mode::WriteMain: more = WritePass(); break;
      default: break;
    }
    // A pass that ended its run may have started the follow-up read in its place; the
    // mode alone cannot tell, as a new click may already hold it once NONE was set.
    if (!more && !std::exchange(followUpStarted_, false)) return;
  }
}

void Mec16Operations::StreamFailed() {
  Send(kEndStream);
  Send(kFailed);
  Send(kClose);
  Finish(false, true);
}

bool Mec16Operations::ReceiveBlock(std::string_view area) {
  if (QueueWait(link_, kBlockBytes, bounds_.blockMs) != WaitResult::Ok) {
    Log(std::string(kNoBlock) + std::to_string(Counter_MEC16) + " (" + std::string(area) + ")");
    StreamFailed();
    return false;
  }
  const std::span<const std::uint8_t> data(link_.buffer.data(), kBlockData);
  received_.insert(received_.end(), data.begin(), data.end());
  if (streamToFile_ && !File_MEC16->write(data)) {
    Log(kFileWriteFailed);
    StreamFailed();
    return false;
  }
  return true;
}

void Mec16Operations::ReadSucceeded() {
  // The dump counts as saved only once it is whole on the disk under its name.
  const bool saved = !streamToFile_ || File_MEC16->commit();
  if (!saved) Log(kFileWriteFailed);
  Send(saved ? kSucceeded : kFailed);
  Send(kClose);
  Finish(saved, true);
}

bool Mec16Operations::ReadMainPass() {
  if (!ReceiveBlock("MAIN")) return false;
  // The gauge's maximum is 192: one step a block.
  view_.setGauge(kGauge, Counter_MEC16);
  if (Stop_MEC16.load() || cancel_.load()) {
    Send(kEndStream);
    Log(kUserStopped);
    Release("(P100).", "(P101).", "(P102)");
    Send(kClose);
    Send(kFailed);
    Finish(false, true);
    return false;
  }
  if (link_.buffer[kBlockData] != kBlockGood) {
    Send(kEndStream);
    Log(Lost("(P103)."));
    Send(kFailed);
    Send(kClose);
    Finish(false, true);
    return false;
  }
  if (Counter_MEC16 != kMainBlocks) {
    Send(kNext);
    ++Counter_MEC16;
    return true;
  }
  Send(kEndStream);
  Log(kMainReadDone);
  if (Scope_MEC16 == kScopeMainOnly) {
    Release("(P104).", "(P105).", "(P106)");
    ReadSucceeded();
    return false;
  }
  Mode_MEC16 = Mec16Mode::ReadInfo;
  Counter_MEC16 = 1;
  WriteLogged(kFlashCommand, "00000100", "100h", "(P107).");
  Log(kInfoReadStarts);
  WriteLogged(kFlashCommand, "00000105", "105h", "(P108).");
  SendWithAddress(link_, kStreamRead, kInfoAddress);
  return true;
}

bool Mec16Operations::ReadInfoPass() {
  if (!ReceiveBlock("INFO")) return false;
  if (link_.buffer[kBlockData] != kBlockGood) {
    Send(kEndStream);
    Log(Lost("(P109)."));
    Send(kFailed);
    Send(kClose);
    Finish(false, true);
    return false;
  }
  if (Counter_MEC16 == kInfoBlocks) {
    Send(kEndStream);
    Log(kInfoReadDone);
    Release("(P110).", "(P111).", "(P112)");
    ReadSucceeded();
    return false;
  }
  // The exit button is not obeyed during INFO; a stop from the command line is.
  if (cancel_.load()) {
    Send(kEndStream);
    Log(kUserStopped);
    Send(kFailed);
    Send(kClose);
    Finish(false, true);
    return false;
  }
  Send(kNext);
  ++Counter_MEC16;
  return true;
}

}  // namespace jig
