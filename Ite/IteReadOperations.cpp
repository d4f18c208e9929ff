// The ITE read: set-up in the click, the blocks in ReadThread_ITE, the second read.
#include "Ite/IteOperations.h"

#include "Ite/IteFamily.h"
#include "Ite/IteOperationsCommon.h"
#include "Ite/IteTexts.h"
#include "files/DumpChecks.h"
#include "link/OpenProgrammer.h"

namespace jig {

using namespace ite::detail;

void IteOperations::ITE_READ_BitBtnClick() {
  IteMode idle = IteMode::NONE;
  if (!Mode_ITE.compare_exchange_strong(idle, IteMode::READ_ITE)) return;
  joinWorker();  // the last transfer's worker has done its last act already
  cancel_.store(false);
  readTwiceThisRead_ = readTwice_.load();
  for (std::string_view button :
       {kCheckButton, kExitButton, kWriteButton, kSetupButton, kVerifyBox, kReadTwiceBox, kBackupBox})
    view_.enable(button, false);
  log("");
  view_.setGaugeColour(kGauge, colour::kLime);
  view_.setGauge(kGauge, 0);
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready)
    return endClickFailed(false, false, true);
  FileDialog dialog{std::string(ite::text::kSaveTitle), std::string(ite::text::kSaveFilter),
                    std::string(ite::text::kBinExtension),
                    std::string(ite::text::kSaveName), true};
  const auto path = view_.askSaveFile(dialog);
  if (!path) {
    log(ite::text::kReadCancelled);
    return endClickFailed(true, false, true);
  }
  // The dump goes to a temporary file beside the chosen name and replaces it only when
  // whole. Read twice keeps both reads in memory and writes only a matching pair, so an
  // older dump under that name outlives a pair that differs.
  int createError = 0;
  file_ = DumpSink::Create(*path, &createError);
  if (!file_) {
    log(ite::text::kCreateFailed);
    view_.errorBox(std::string(ite::text::kCreateFailedBox));
    log(CreateFailedLine(*path, createError, kLanguage));
    return endClickFailed(true, false, true);
  }
  logTimeStamp();
  log(ite::text::kReadStart);
  if (!connectForRead()) return endClickFailed(true, false, true);
  ReadThread_ITE = std::jthread([this](std::stop_token stop) { threadMain(stop); });
}

bool IteOperations::readBlocks(std::vector<std::uint8_t>& dump, DumpSink* file, std::stop_token stop) {
  log(ite::text::kReading);
  dump.clear();
  dump.reserve(ite::kFlashSize);
  for (std::size_t block = 0; block < ite::kBlockCount; ++block) {
    const std::string number = std::to_string(block + 1);
    if (stopAsked(stop)) {
      log(ite::text::kStopped);
      return false;
    }
    DWORD gathered = 0;
    const WaitResult waited = ite::ReadBlock_ITE(link_, bounds_.blockMs, gathered);
    if (waited != WaitResult::Ok) {
      log(Concat({ite::text::kNoAnswerPrefix, std::to_string(bounds_.blockMs), ite::text::kShortBlockMiddle,
                  std::to_string(gathered), ite::text::kOfBlockBytes}));
      log(Concat({ite::text::kBlockErrorPrefix, number}));
      return false;
    }
    if (link_.buffer[ite::kBlockSize] != ite::kDone) {
      log(Concat({ite::text::kBlockErrorPrefix, number}));
      return false;
    }
    const std::span<const std::uint8_t> data(link_.buffer.data(), ite::kBlockSize);
    if (file && !file->write(data)) {
      log(Concat({ite::text::kFileWriteFailed, file->path()}));
      return false;
    }
    dump.insert(dump.end(), data.begin(), data.end());
    view_.setGauge(kGauge, static_cast<int>(block + 1));
  }
  log(ite::text::kReadDone);
  return true;
}

void IteOperations::readBody(std::stop_token stop) {
  // A single read sends the blocks to the dump as they come; read twice keeps the first
  // read in memory until the second agrees with it.
  bool success = readBlocks(dump_, readTwiceThisRead_ ? nullptr : &*file_, stop);
  // A dump of one value or one short pattern is almost always a bad contact.
  if (success) log(DumpPatternLine(CheckDumpPattern(dump_), kLanguage));
  // A dump is reported read only when it is whole on the disk under its name.
  if (success && !readTwiceThisRead_ && !file_->commit()) {
    log(Concat({ite::text::kFileWriteFailed, file_->path()}));
    success = false;
  }
  finish(success ? ite::kEndSuccess : ite::kEndFailure);
  logTimeStamp();
  if (success && readTwiceThisRead_) success = secondReadAndSave(stop);
  // Not committed: the temporary file goes and an older dump stays as it was.
  file_.reset();
  dump_.clear();
  dump_.shrink_to_fit();
  endWorker(success);
}

bool IteOperations::readAgain(std::vector<std::uint8_t>& dump, std::stop_token stop) {
  if (stopAsked(stop)) {
    log(ite::text::kStopped);
    return false;
  }
  log("");
  view_.setGaugeColour(kGauge, colour::kLime);
  view_.setGauge(kGauge, 0);
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) return false;
  logTimeStamp();
  log(ite::text::kReadStart);
  // The board is still on the cable from the action before: the controller answers
  // Connect at once, and a board taken off meanwhile fails within the connect bound.
  bool success = connectForRead() && readBlocks(dump, nullptr, stop);
  finish(success ? ite::kEndSuccess : ite::kEndFailure);
  logTimeStamp();
  return success;
}

bool IteOperations::secondReadAndSave(std::stop_token stop) {
  log(ite::text::kSecondReadStart);
  std::vector<std::uint8_t> second;
  if (!readAgain(second, stop)) {
    log(ite::text::kSecondReadNotDone);
    return false;
  }
  const auto difference = CompareDumps(dump_, second);
  log(ReadTwiceLine(difference, kLanguage));
  if (difference) return false;
  return saveDump();
}

bool IteOperations::saveDump() {
  if (file_ && file_->write(dump_) && file_->commit()) return true;
  log(Concat({ite::text::kFileWriteFailed, file_ ? file_->path() : std::string()}));
  return false;
}

}  // namespace jig
