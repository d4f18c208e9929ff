// The MEC16xx write: set-up in the click, the pages in ReadThread_MEC16.
#include "Mec16xx/Mec16Operations.h"

#include <algorithm>
#include <utility>

#include "Mec16xx/Mec16OperationsCommon.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "files/Backups.h"
#include "files/ImageQuestion.h"
#include "link/OpenProgrammer.h"
#include "files/SourceFile.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

void Mec16Operations::BitBtn_MEC16_WRITEClick(bool writeInfoTicked) {
  if (!beginTransfer(Mec16Mode::WriteMain, colour::kRed, kMainPages)) return;
  chipGate_.reset();
  followUp_ = verifyAfterWrite_.load() ? FollowUp::Verify : FollowUp::None;
  writeInfoTicked_ = writeInfoTicked;
  const FileDialog dialog{std::string(kOpenTitle), std::string(kOpenFilter), {}, {}, false};
  const std::optional<std::string> path = view_.askOpenFile(dialog);
  if (!path) return refuseSetUp(kWriteCancelled);
  FileName_MEC16 = *path;
  if (!takeImage()) return;
  if (backup_.load()) return startBackupRead();
  // Nothing can call the write off while the click itself runs: the stream starts now.
  chipGate_.touch();
  if (!startWriteStream()) return;
  ReadThread_MEC16 = std::jthread([this] { ReadThread_MEC16Execute(); });
}

bool Mec16Operations::takeImage() {
  // A dump read with INFO must still write back: MAIN and INFO is the largest file taken.
  constexpr std::size_t kLargest = kMainBytes + kInfoBytes;
  SourceFile source = ReadSourceFile(FileName_MEC16, kLargest);
  if (source.problem == SourceProblem::CannotOpen) {
    refuseSetUp(kOpenFailed);
    return false;
  }
  if (!source.ok()) {
    refuseSetUp(SourceProblemLine(FileName_MEC16, source, kLargest, kLanguage));
    return false;
  }
  // Only MAIN is written: what follows it in the file (INFO) is neither sent nor asked about.
  // The write programs the file's pages only (the last one padded with FFh) and erases
  // nothing, so the question says that the rest keeps what it holds.
  source.bytes.resize(std::min(source.bytes.size(), kMainBytes));
  if (!ConfirmImage(view_, FileName_MEC16, source.bytes, kMainBytes, kLanguage, RestOfChip::KeptAsItWas)) {
    refuseAfterOpen();
    return false;
  }
  image_ = std::move(source.bytes);
  return true;
}

void Mec16Operations::startBackupRead() {
  // The backup is a read of its own; the write opens the programmer anew after it.
  link_.close();
  inBackup_ = true;
  Scope_MEC16 = kScopeMainOnly;
  if (!startExtraRead(BackupStartLine(kLanguage))) return;
  ReadThread_MEC16 = std::jthread([this] { ReadThread_MEC16Execute(); });
}

void Mec16Operations::continueWithWrite() {
  writeRunning_ = true;
  // A stop asked for during the backup, after its last block, still keeps the chip as it was.
  if (Stop_MEC16.exchange(false) || cancel_.load() || !chipGate_.touch()) {
    log(kWriteNotStarted);
    return endAction(false);
  }
  Mode_MEC16 = Mec16Mode::WriteMain;
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  view_.setGaugeMax(kGauge, kMainPages);
  if (!openLink()) return endAction(false);
  if (startWriteStream()) followUpStarted_ = true;
}

bool Mec16Operations::startWriteStream() {
  timeStamp();
  log(kWritingFrom);
  log(FileName_MEC16);
  // The INFO block is never written: the box only chooses the line.
  log(writeInfoTicked_ ? kWriteScopeBoth : kWriteScopeMain);
  Scope_MEC16 = kScopeMainOnly;
  log(kWriteStarted);
  auto failed = [this] {
    handlerFailure();
    return false;
  };
  std::array<std::uint8_t, 4> id{};
  if (sendStartAndId(id) == StartResult::NoAnswer) return failed();
  if (AllFF(id)) {
    log(kBadId);
    return failed();
  }
  const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
  Result_MEC16 = status.text;
  if (status.lost()) {
    log(Lost("(TW001)"));
    return failed();
  }
  if (CheckProtection_MEC16(status.low())) {
    log(kWriteRefused);
    return failed();
  }
  if (!writeLogged(kFlashEnable, "00000001", "1", "(W100)")) return failed();
  if (!writeLogged(kFlashCommand, "00000106", "106h", "(W101)")) return failed();
  if (!writeLogged(kFlashAddress, "00000000", "0", "(W101A)")) return failed();
  Counter_MEC16 = 1;
  expected_.clear();
  writeRunning_ = true;
  send(kStreamProgram);
  return true;
}

bool Mec16Operations::writePass() {
  // The programmer's byte before each page: the answer to "W" or to "N".
  if (QueueWait(link_, 1, bounds_.answerMs) != WaitResult::Ok) {
    log(std::string(kNoStreamAnswer) + std::to_string(Counter_MEC16));
    return endWriteFailed();
  }
  std::array<std::uint8_t, kPageBytes> page;
  page.fill(0xFF);
  const std::size_t offset = static_cast<std::size_t>(Counter_MEC16 - 1) * kPageBytes;
  const std::size_t got = offset < image_.size() ? std::min(kPageBytes, image_.size() - offset) : 0;
  if (got > 0) std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(offset), got, page.begin());

  // What the flash should hold afterwards, for the verify: the pages as sent.
  expected_.insert(expected_.end(), page.begin(), page.end());
  if (got < kPageBytes) return writeLastShortPage(page);
  link_.write(page);
  view_.setGauge(kGauge, Counter_MEC16);  // maximum 768: one step a page
  const std::optional<bool> answer = awaitPageAnswer();
  if (!answer.value_or(false)) {
    log(answer ? Lost("(W103)") : std::string(kNoPageAnswer) + std::to_string(Counter_MEC16));
    return endWriteFailed();
  }
  // Only the command line stops a write (a second Ctrl-C), between pages.
  if (Counter_MEC16 != kMainPages && cancel_.load()) {
    log(kWriteStopped);
    return endWriteFailed();
  }
  if (Counter_MEC16 == kMainPages) {
    send(kEndStream);
    log(kMainWriteDone);
    release("(W104).", "(W105).", "(W106)");
    send(kSucceeded);
    send(kClose);
    finish(true, true);
    return false;
  }
  ++Counter_MEC16;
  send(kNext);
  return true;
}

std::optional<bool> Mec16Operations::awaitPageAnswer() {
  if (QueueWait(link_, 1, bounds_.pageMs) != WaitResult::Ok) return std::nullopt;
  return link_.buffer[0] == kPageDone;
}

bool Mec16Operations::endWriteFailed() {
  send(kEndStream);
  send(kFailed);
  finish(false, false);
  return false;
}

// The file ended inside this page: it goes padded with FFh and the stream ends after it.
bool Mec16Operations::writeLastShortPage(const std::array<std::uint8_t, kPageBytes>& page) {
  log(kWarning);
  log(kFileShorter);
  link_.write(page);
  const std::optional<bool> answer = awaitPageAnswer();
  if (!answer) log(std::string(kNoPageAnswer) + std::to_string(Counter_MEC16));
  else if (!*answer) log(Lost("(W102)"));
  const bool acknowledged = answer.value_or(false);
  send(kEndStream);
  release("(W104).", "(W105).", "(W106)");
  // A last page that was not acknowledged is a failed write, whatever came before.
  send(acknowledged ? kSucceeded : kFailed);
  finish(acknowledged, false);
  return false;
}

}  // namespace jig
