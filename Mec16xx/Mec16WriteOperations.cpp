// The MEC16xx write: set-up in the click, the pages in ReadThread_MEC16.
#include "Mec16xx/Mec16Operations.h"

#include <algorithm>
#include <utility>

#include "Mec16xx/Mec16OperationsCommon.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/Backups.h"
#include "link/ImageQuestion.h"
#include "link/OpenProgrammer.h"
#include "link/SourceFile.h"

namespace jig {

using namespace mec16;

void Mec16Operations::BitBtn_MEC16_WRITEClick(bool writeInfoTicked) {
  if (!BeginTransfer(Mec16Mode::WriteMain, colour::kRed, kMainPages)) return;
  followUp_ = verifyAfterWrite_.load() ? FollowUp::Verify : FollowUp::None;
  writeInfoTicked_ = writeInfoTicked;
  const FileDialog dialog{std::string(kOpenTitle), std::string(kOpenFilter), "", "", false};
  const std::optional<std::string> path = view_.askOpenFile(dialog);
  if (!path) return RefuseSetUp(kWriteCancelled);
  FileName_MEC16 = *path;
  if (!TakeImage()) return;
  if (backup_.load()) return StartBackupRead();
  if (!StartWriteStream()) return;
  ReadThread_MEC16 = std::jthread([this] { ReadThread_MEC16Execute(); });
}

bool Mec16Operations::TakeImage() {
  // A dump read with INFO must still write back: MAIN and INFO is the largest file taken.
  constexpr std::size_t kLargest = kMainBytes + kInfoBytes;
  SourceFile source = ReadSourceFile(FileName_MEC16, kLargest);
  if (source.problem == SourceProblem::CannotOpen) {
    RefuseSetUp(kOpenFailed);
    return false;
  }
  if (!source.ok()) {
    RefuseSetUp(SourceProblemLine(FileName_MEC16, source, kLargest, kLanguage));
    return false;
  }
  // Only MAIN is written: what follows it in the file (INFO) is neither sent nor asked about.
  source.bytes.resize(std::min(source.bytes.size(), kMainBytes));
  if (!ConfirmImage(view_, FileName_MEC16, source.bytes, kMainBytes, kLanguage)) {
    RefuseAfterOpen();
    return false;
  }
  image_ = std::move(source.bytes);
  return true;
}

void Mec16Operations::StartBackupRead() {
  // The backup is a read of its own; the write opens the programmer anew after it.
  link_.close();
  inBackup_ = true;
  Scope_MEC16 = kScopeMainOnly;
  if (!StartExtraRead(BackupStartLine(kLanguage))) return;
  ReadThread_MEC16 = std::jthread([this] { ReadThread_MEC16Execute(); });
}

void Mec16Operations::ContinueWithWrite() {
  writeRunning_ = true;
  // A stop asked for during the backup, after its last block, still keeps the chip as it was.
  if (Stop_MEC16.exchange(false) || cancel_.load()) {
    Log(kWriteNotStarted);
    return EndAction(false);
  }
  Mode_MEC16 = Mec16Mode::WriteMain;
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  view_.setGaugeMax(kGauge, kMainPages);
  if (!OpenLink()) return EndAction(false);
  if (StartWriteStream()) followUpStarted_ = true;
}

bool Mec16Operations::StartWriteStream() {
  TimeStamp();
  Log(kWritingFrom);
  Log(FileName_MEC16);
  // The INFO block is never written: the box only chooses the line.
  Log(writeInfoTicked_ ? kWriteScopeBoth : kWriteScopeMain);
  Scope_MEC16 = kScopeMainOnly;
  Log(kWriteStarted);
  auto failed = [this] {
    HandlerFailure();
    return false;
  };
  std::array<std::uint8_t, 4> id{};
  if (SendStartAndId(id) == StartResult::NoAnswer) return failed();
  if (AllFF(id)) {
    Log(kBadId);
    return failed();
  }
  const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
  Result_MEC16 = status.text;
  if (status.lost()) {
    Log(Lost("(TW001)"));
    return failed();
  }
  if (CheckProtection_MEC16(status.low())) {
    Log(kWriteRefused);
    return failed();
  }
  if (!WriteLogged(kFlashEnable, "00000001", "1", "(W100)")) return failed();
  if (!WriteLogged(kFlashCommand, "00000106", "106h", "(W101)")) return failed();
  if (!WriteLogged(kFlashAddress, "00000000", "0", "(W101A)")) return failed();
  Counter_MEC16 = 1;
  expected_.clear();
  writeRunning_ = true;
  Send(kStreamProgram);
  return true;
}

bool Mec16Operations::WritePass() {
  // The programmer's byte before each page: the answer to "W" or to "N".
  if (QueueWait(link_, 1, bounds_.answerMs) != WaitResult::Ok) {
    Log(std::string(kNoStreamAnswer) + std::to_string(Counter_MEC16));
    return EndWriteFailed();
  }
  std::array<std::uint8_t, kPageBytes> page;
  page.fill(0xFF);
  const std::size_t offset = static_cast<std::size_t>(Counter_MEC16 - 1) * kPageBytes;
  const std::size_t got = offset < image_.size() ? std::min(kPageBytes, image_.size() - offset) : 0;
  if (got > 0) std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(offset), got, page.begin());

  // What the flash should hold afterwards, for the verify: the pages as sent.
  expected_.insert(expected_.end(), page.begin(), page.end());
  if (got < kPageBytes) return WriteLastShortPage(page);
  link_.write(page);
  view_.setGauge(kGauge, Counter_MEC16);  // maximum 768: one step a page
  const std::optional<bool> answer = AwaitPageAnswer();
  if (!answer.value_or(false)) {
    Log(answer ? Lost("(W103)") : std::string(kNoPageAnswer) + std::to_string(Counter_MEC16));
    return EndWriteFailed();
  }
  // Only the command line stops a write (a second Ctrl-C), between pages.
  if (Counter_MEC16 != kMainPages && cancel_.load()) {
    Log(kWriteStopped);
    return EndWriteFailed();
  }
  if (Counter_MEC16 == kMainPages) {
    Send(kEndStream);
    Log(kMainWriteDone);
    Release("(W104).", "(W105).", "(W106)");
    Send(kSucceeded);
    Send(kClose);
    Finish(true, true);
    return false;
  }
  ++Counter_MEC16;
  Send(kNext);
  return true;
}

std::optional<bool> Mec16Operations::AwaitPageAnswer() {
  if (QueueWait(link_, 1, bounds_.pageMs) != WaitResult::Ok) return std::nullopt;
  return link_.buffer[0] == kPageDone;
}

bool Mec16Operations::EndWriteFailed() {
  Send(kEndStream);
  Send(kFailed);
  Finish(false, false);
  return false;
}

// The file ended inside this page: it goes padded with FFh and the stream ends after it.
bool Mec16Operations::WriteLastShortPage(const std::array<std::uint8_t, kPageBytes>& page) {
  Log(kWarning);
  Log(kFileShorter);
  link_.write(page);
  const std::optional<bool> answer = AwaitPageAnswer();
  if (!answer) Log(std::string(kNoPageAnswer) + std::to_string(Counter_MEC16));
  else if (!*answer) Log(Lost("(W102)"));
  const bool acknowledged = answer.value_or(false);
  Send(kEndStream);
  Release("(W104).", "(W105).", "(W106)");
  // A last page that was not acknowledged is a failed write, whatever came before.
  Send(acknowledged ? kSucceeded : kFailed);
  Finish(acknowledged, false);
  return false;
}

}  // namespace jig
