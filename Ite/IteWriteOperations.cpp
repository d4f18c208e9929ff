// The ITE write: the image checked in the click, backup, erase and bytes in ReadThread_ITE, the verify.
#include "Ite/IteOperations.h"

#include <algorithm>
#include <filesystem>

#include "Ite/IteFamily.h"
#include "Ite/IteOperationsCommon.h"
#include "Ite/IteTexts.h"
#include "files/Backups.h"
#include "view/CharFilter.h"
#include "files/DumpChecks.h"
#include "files/ImageQuestion.h"
#include "link/OpenProgrammer.h"
#include "files/SourceFile.h"

namespace jig {

using namespace ite::detail;

void IteOperations::ITE_WRITE_BitBtnClick() {
  IteMode idle = IteMode::NONE;
  if (!Mode_ITE.compare_exchange_strong(idle, IteMode::WRITE_ITE_step_one)) return;
  joinWorker();
  cancel_.store(false);
  chipGate_.reset();
  verifyThisWrite_ = verifyAfterWrite_.load();
  backupThisWrite_ = backup_.load();
  for (std::string_view button :
       {kCheckButton, kExitButton, kReadButton, kSetupButton, kVerifyBox, kReadTwiceBox, kBackupBox})
    view_.enable(button, false);
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  log("");
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) return endClickFailed(false, true, true);
  FileDialog dialog{std::string(ite::text::kOpenTitle), std::string(ite::text::kOpenFilter), {}, {}, false};
  const auto path = view_.askOpenFile(dialog);
  if (!path) {
    log(ite::text::kWriteCancelled);
    return endClickFailed(true, true, true);
  }
  // The whole image is read and checked here, before the chip erase: a file that fails
  // to read can no longer leave an erased chip behind.
  if (!takeImage(*path)) return endClickFailed(true, true, true);
  writePath_ = *path;
  if (backupThisWrite_) {
    // The backup is a read of its own; the write opens the programmer anew after it.
    link_.close();
  } else if (!beginWrite()) {
    return endClickFailed(true, true, true);
  }
  ReadThread_ITE = std::jthread([this](std::stop_token stop) { threadMain(stop); });
}

bool IteOperations::takeImage(const std::string& path) {
  SourceFile source = ReadSourceFile(path, ite::kFlashSize);
  if (source.problem == SourceProblem::CannotOpen) {
    log(ite::text::kOpenFailed);
    view_.errorBox(std::string(ite::text::kOpenFailedBox));
    return false;
  }
  if (!source.ok()) {
    log(SourceProblemLine(path, source, ite::kFlashSize, kLanguage));
    return false;
  }
  if (!ConfirmImage(view_, path, source.bytes, ite::kFlashSize, kLanguage)) return false;
  image_.assign(ite::kFlashSize, 0xFF);
  std::copy(source.bytes.begin(), source.bytes.end(), image_.begin());
  return true;
}

bool IteOperations::beginWrite() {
  logTimeStamp();
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(writePath_, ec);
  log(Concat({ite::text::kWritingFrom, ec ? writePath_ : full.string()}));
  log(ite::text::kWriteStart);
  const ite::Reply connected = ite::Cmd_ITE(link_, ite::CmdKind::Connect, 0, bounds_.connectMs);
  if (!connected) logNoAnswer(bounds_.connectMs, ite::text::kCmdConnect);
  if (connected != ite::kDone) {
    logFailure(ite::kWriteConnectCode);
    return false;
  }
  return true;
}

void IteOperations::backupThenWrite(std::stop_token stop) {
  log(BackupStartLine(kLanguage));
  std::vector<std::uint8_t> backup;
  if (!readAgain(backup, stop)) {
    log(BackupReadFailedLine(kLanguage));
    return endWorker(false);
  }
  const SavedBackup saved = SaveBackup("ite", backup);
  for (const std::string& line : BackupLines(saved, kLanguage)) log(line);
  if (!saved.ok) return endWorker(false);
  // The documented write, from its own open on.
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  log("");
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) return endClickFailed(false, true, true);
  if (!beginWrite()) return endClickFailed(true, true, true);
  writeBody(stop);
}

void IteOperations::writeBody(std::stop_token stop) {
  auto fail = [this] {
    finish(ite::kEndFailure);
    logTimeStamp();
    endWorker(false);
  };
  // The register steps that follow start the chip erase: a stop that came before them (during
  // the backup, or while the click opened the programmer) calls the whole write off.
  if (stopAsked(stop) || !chipGate_.touch()) {
    log(ite::text::kStoppedBeforeWrite);
    return fail();
  }
  log(ite::text::kPreparing);
  const std::span<const ite::RegStep> sequence(ite::kWriteSequence);
  if (!runRegisterSteps(sequence.first(ite::kWritePreparationSteps))) return fail();
  log(ite::text::kPrepared);
  if (!runRegisterSteps(sequence.subspan(ite::kWritePreparationSteps))) return fail();
  log(ite::text::kEraseSent);

  // The image was read whole in the click, before the erase; its lines stay here.
  log(ite::text::kBuffered);
  const auto ffCount = std::count(image_.begin(), image_.end(), std::uint8_t{0xFF});
  log(Concat({ite::text::kFfCount, std::to_string(ffCount)}));
  log(ite::text::kWritingBytes);

  bool firstAddress = true;  // answered only once the chip erase is over
  if (!programImage(stop, firstAddress)) return fail();
  if (firstAddress && verifyThisWrite_ && !awaitEraseOfBlankImage()) return fail();
  log(ite::text::kWriteDone);
  finish(ite::kEndSuccess);
  logTimeStamp();
  if (!verifyThisWrite_) return endWorker(true);
  verifyWrite(stop);
}

bool IteOperations::sendFlashAddress(std::uint32_t position, bool& firstAddress) {
  const std::uint32_t bound = firstAddress ? bounds_.eraseMs : bounds_.answerMs;
  firstAddress = false;
  const ite::Reply accepted = ite::FlashAddress_ITE(link_, position, bound);
  if (!accepted)
    logNoAnswer(bound, Concat({ite::text::kCmdFlashAddress, Hex2(position >> 16), ite::text::kSpace, Hex2((position >> 8) & 0xFF),
                               ite::text::kSpace, Hex2(position & 0xFF), ite::text::kCloseBracket}));
  if (accepted == ite::kDone) return true;
  log(ite::text::kAddressError);
  return false;
}

bool IteOperations::programImage(std::stop_token stop, bool& firstAddress) {
  bool addressNeeded = true;
  for (std::uint32_t position = 0; position < ite::kFlashSize; ++position) {
    const std::uint8_t byte = image_[position];
    if (byte == 0xFF) {
      addressNeeded = true;
    } else {
      if (stopAsked(stop)) {
        log(ite::text::kStopped);
        return false;
      }
      if (addressNeeded) {
        if (!sendFlashAddress(position, firstAddress)) return false;
        addressNeeded = false;
      }
      if (ite::ProgramByte_ITE(link_, byte) != ite::kDone) {
        log(ite::text::kProgramError);
        return false;
      }
    }
    const std::uint32_t counter = position + 1;
    if ((counter & 0xFF) == 0) view_.setGauge(kGauge, static_cast<int>(counter / 256));
    view_.setGauge(kSpeedGauge, static_cast<int>(counter & 0xFF));
  }
  return true;
}

// An image of nothing but FFh sent no Flash address, so nothing has waited for the chip
// erase; the read-back would find a flash that ignores commands while it erases. One
// Flash address is answered once the erase is over.
bool IteOperations::awaitEraseOfBlankImage() {
  const ite::Reply ready = ite::FlashAddress_ITE(link_, 0, bounds_.eraseMs);
  if (!ready) {
    logNoAnswer(bounds_.eraseMs, Concat({ite::text::kCmdFlashAddress, ite::text::kAddressZero}));
    log(ite::text::kEraseNotOver);
    return false;
  }
  if (*ready != ite::kDone) {
    log(ite::text::kAddressError);
    return false;
  }
  return true;
}

// The write itself is not checked by the programmer: read the flash back and compare all
// 128 KiB, the FF padding of a short file too.
void IteOperations::verifyWrite(std::stop_token stop) {
  log(ite::text::kVerifyStart);
  std::vector<std::uint8_t> readBack;
  if (!readAgain(readBack, stop)) {
    log(ite::text::kVerifyNotDone);
    return endWorker(false);
  }
  const auto difference = CompareDumps(image_, readBack);
  log(VerifyLine(difference, kLanguage));
  endWorker(!difference);
}

}  // namespace jig
