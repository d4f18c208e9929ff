#include "Ite/IteOperations.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "Ite/IteControls.h"
#include "Ite/IteTexts.h"
#include "link/Backups.h"
#include "link/CharFilter.h"
#include "link/DumpChecks.h"
#include "link/ImageQuestion.h"
#include "link/OpenProgrammer.h"
#include "link/SourceFile.h"
#include "link/TimeStamp.h"

namespace jig {

namespace {
constexpr std::string_view kCheckButton = ite::control::kCheck;
constexpr std::string_view kExitButton = ite::control::kExit;
constexpr std::string_view kWriteButton = ite::control::kWrite;
constexpr std::string_view kSetupButton = ite::control::kSetup;
constexpr std::string_view kReadButton = ite::control::kRead;
constexpr std::string_view kCheckBox = ite::control::kCheckBox;
constexpr std::string_view kGauge = ite::control::kGauge;
constexpr std::string_view kSpeedGauge = ite::control::kSpeedGauge;
constexpr std::string_view kVerifyBox = ite::control::kVerifyAfterWrite;
constexpr std::string_view kReadTwiceBox = ite::control::kReadTwice;
constexpr std::string_view kBackupBox = ite::control::kBackup;
// The window's log speaks Russian; so do the lines about verify and the read pair.
constexpr LogLanguage kLanguage = LogLanguage::Russian;

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}
}  // namespace

std::string_view ModeText(IteMode mode) {
  switch (mode) {
    case IteMode::READ_ITE: return "READ_ITE";
    case IteMode::WRITE_ITE_step_one: return "WRITE_ITE_step_one";
    case IteMode::NONE: break;
  }
  return "NONE";
}

IteOperations::IteOperations(D2xx& d2xx, TaskView& view, ite::IteBounds bounds)
    : d2xx_(d2xx), view_(view), bounds_(bounds), link_(d2xx, ite::kBufferSize) {}

IteOperations::~IteOperations() {
  ReadThread_ITE.request_stop();
  joinWorker();
}

void IteOperations::joinWorker() {
  if (ReadThread_ITE.joinable()) ReadThread_ITE.join();
}

void IteOperations::log(std::string_view line) { view_.log(std::string(line)); }

void IteOperations::logTimeStamp() { log(Concat({kCurrentTimeRu, LongTimeOfDay()})); }

void IteOperations::logNoAnswer(std::uint32_t ms, std::string_view command) {
  log(Concat({ite::text::kNoAnswerPrefix, std::to_string(ms), ite::text::kNoAnswerMiddle, command, "."}));
}

void IteOperations::logFailure(std::string_view code) {
  log(Concat({ite::text::kFailurePrefix, code, ite::text::kFailureSuffix}));
}

// ---- Base, parse and mirror ----

void IteOperations::FormCreate(ite::IteBase base) {
  base_ = std::move(base);
  entry_ = 0;
}

bool IteOperations::selectedLine(std::string& line) const {
  if (!base_.found || entry_ < 1 || static_cast<std::size_t>(entry_) > base_.lines.size()) return false;
  line = base_.lines[static_cast<std::size_t>(entry_ - 1)];
  return true;
}

void IteOperations::showPins(const ite::PinAssignment& before) {
  for (std::size_t signal = 0; signal < pins_.size(); ++signal)
    if (pins_[signal] != before[signal]) view_.select(ite::kSignals[signal].box, pins_[signal]);
}

void IteOperations::ITE_ComboBox_MB_SWITCHSelect(int index) {
  const int entries = base_.found ? static_cast<int>(base_.lines.size()) : 0;
  if (index < 0 || index > entries) return;
  entry_ = index;
  std::string line;
  if (!selectedLine(line)) {
    checkEnabled_ = false;
    view_.enable(kCheckBox, false);
    view_.ended(true);
    return;
  }
  // A reset, not the user's click: the mirror does not run.
  checked_ = true;
  checkEnabled_ = false;
  view_.select(kCheckBox, 1);
  view_.enable(kCheckBox, false);

  const ite::PinAssignment before = pins_;
  const ite::ParseResult parsed = ite::ParseMbLine(line, pins_);
  pins_ = parsed.pins;
  showPins(before);
  const std::string_view name =
      parsed.signal >= 0 ? ite::kSignals[static_cast<std::size_t>(parsed.signal)].name : std::string_view{};
  switch (parsed.kind) {
    case ite::ParseResult::Ok:
      checkEnabled_ = true;
      view_.enable(kCheckBox, true);
      view_.ended(true);
      return;
    case ite::ParseResult::MissingKey:
      log(Concat({ite::text::kMissingPinPrefix, name, ite::text::kSignalSuffix}));
      break;
    case ite::ParseResult::BadPin:
      log(Concat({ite::text::kBadPinPrefix, name, ite::text::kSignalSuffix}));
      break;
    case ite::ParseResult::NotNumber:
      view_.errorBox(Concat({ite::text::kNotNumberPrefix, name, ite::text::kNotNumberSuffix}));
      break;
  }
  view_.ended(false);
}

void IteOperations::ITE_CheckBoxClick(bool checked) {
  checked_ = checked;
  std::string line;
  if (!selectedLine(line)) {
    view_.ended(false);
    return;
  }
  const ite::MirrorResult mirrored = ite::MirrorPins(line, pins_);
  switch (mirrored.kind) {
    case ite::MirrorResult::Ok: {
      const ite::PinAssignment before = pins_;
      pins_ = mirrored.pins;
      showPins(before);
      view_.ended(true);
      return;
    }
    case ite::MirrorResult::MissingCount: log(ite::text::kMissingCount); break;
    case ite::MirrorResult::BadCount: log(ite::text::kBadCount); break;
    case ite::MirrorResult::PinOutside: {
      const int pin = pins_[static_cast<std::size_t>(mirrored.signal)];
      log(Concat({ite::text::kPinOutsidePrefix, ite::kSignals[static_cast<std::size_t>(mirrored.signal)].name, " (",
                  std::to_string(pin), ")", ite::text::kPinOutsideMiddle, std::to_string(mirrored.count),
                  ite::text::kPinOutsideSuffix}));
      break;
    }
  }
  view_.ended(false);
}

void IteOperations::setPin(int signal, int pin) {
  if (signal < 0 || signal >= ite::kSignalCount || pin < 0 || pin > ite::kMaxPin) return;
  pins_[static_cast<std::size_t>(signal)] = pin;
}

// ---- APPLY ----

void IteOperations::ITE_SETUP_BitBtnClick() {
  // The handle belongs to a running transfer; its button is disabled meanwhile.
  if (Mode_ITE.load() != IteMode::NONE) return;
  logTimeStamp();
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) {
    view_.ended(false);
    return;
  }
  log(ite::text::kSendingSettings);
  const ite::Reply entered = ite::Cmd_ITE(link_, ite::CmdKind::EnterSettings, 0, bounds_.answerMs);
  if (!entered) logNoAnswer(bounds_.answerMs, ite::text::kCmdEnterSettings);
  if (entered != ite::kSettingsEntered) {
    log(ite::text::kSettingsError);
    link_.close();
    view_.ended(false);
    return;
  }
  auto send = [this](std::uint8_t code1, std::uint8_t code2, std::uint8_t pin) {
    const ite::StepResult result = ite::PinCmd_ITE(link_, code1, code2, pin, bounds_.answerMs);
    if (result == ite::StepResult::NoAnswer)
      logNoAnswer(bounds_.answerMs, Concat({ite::text::kCmdPinSetting, std::string(1, static_cast<char>(code1)),
                                            std::string(1, static_cast<char>(code2)), ")"}));
    return result == ite::StepResult::Ok;
  };
  bool accepted = true;
  for (const int signal : ite::kApplyOrder) {
    const ite::IteSignal& s = ite::kSignals[static_cast<std::size_t>(signal)];
    if (!(accepted = send(s.code1, s.code2, static_cast<std::uint8_t>(pins_[static_cast<std::size_t>(signal)]))))
      break;
  }
  if (accepted) accepted = send(ite::kSettingsEnd, ite::kSettingsEnd, ite::kSettingsEnd);
  if (!accepted) {
    log(ite::text::kPinProtocolError);
    link_.close();
    view_.ended(false);
    return;
  }
  log(ite::text::kSettingsSent);
  for (std::string_view button : {kCheckButton, kExitButton, kWriteButton, kReadButton}) view_.enable(button, true);
  link_.close();
  view_.ended(true);
}

// ---- Link check ----

void IteOperations::ITE_CHECK_CON_BitBtnClick() {
  if (Mode_ITE.load() != IteMode::NONE) return;
  log("");
  log(ite::text::kCheckStart);
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) {
    view_.ended(false);
    return;
  }
  log(ite::text::kProgrammerReady);
  log("");
  log(ite::text::kPlugNow);
  auto fail = [this](std::string_view code) {
    logFailure(code);
    finish(ite::kEndFailure);
    view_.ended(false);
  };
  const ite::Reply connected = ite::Cmd_ITE(link_, ite::CmdKind::Connect, 0, bounds_.connectMs);
  if (!connected) logNoAnswer(bounds_.connectMs, ite::text::kCmdConnect);
  if (connected != ite::kDone) return fail("00");
  std::uint8_t id[3] = {};
  static constexpr std::string_view kCodes[3] = {"01", "02", "03"};
  for (std::uint8_t address = 0; address < 3; ++address) {
    const ite::Reply set = ite::Cmd_ITE(link_, ite::CmdKind::SetAddress, address, bounds_.answerMs);
    if (!set) logNoAnswer(bounds_.answerMs, Concat({ite::text::kCmdSetAddress, Hex2(address), ")"}));
    if (!set || *set == ite::kNoController) return fail(kCodes[address]);
    const ite::Reply value = ite::Cmd_ITE(link_, ite::CmdKind::ReadRegister, 0, bounds_.answerMs);
    if (!value) {
      logNoAnswer(bounds_.answerMs, ite::text::kCmdReadRegister);
      return fail(kCodes[address]);
    }
    id[address] = *value;
  }
  log(Concat({ite::text::kFoundId, Hex2(id[0]), Hex2(id[1]), ite::text::kRevision, Hex2(id[2])}));
  finish(ite::kEndSuccess);
  view_.ended(true);
}

void IteOperations::finish(std::uint8_t endByte) {
  if (!ite::Finish_ITE(link_, endByte, bounds_.drainMs)) log(ite::text::kNotDrained);
}

bool IteOperations::connectForRead() {
  const ite::Reply connected = ite::Cmd_ITE(link_, ite::CmdKind::Connect, 0, bounds_.connectMs);
  if (!connected) logNoAnswer(bounds_.connectMs, ite::text::kCmdConnect);
  if (connected != ite::kDone) {
    logFailure("2F");
    return false;
  }
  log(ite::text::kPreparing);
  if (!runRegisterSteps(ite::kReadPreparation)) return false;
  log(ite::text::kPrepared);
  return true;
}

bool IteOperations::runRegisterSteps(std::span<const ite::RegStep> steps) {
  for (const ite::RegStep& step : steps) {
    const ite::StepResult result = ite::RegWrite_ITE(link_, step.reg, step.value, bounds_.answerMs);
    if (result == ite::StepResult::Ok) continue;
    if (result == ite::StepResult::NoAnswer)
      logNoAnswer(bounds_.answerMs, Concat({ite::text::kCmdWriteRegister, Hex2(step.reg), "h = ", Hex2(step.value), "h"}));
    logFailure(step.code);
    return false;
  }
  return true;
}

void IteOperations::endClickFailed(bool sendEnd, bool enableRead, bool enableWrite) {
  file_.reset();
  if (sendEnd) finish(ite::kEndFailure);
  link_.close();
  Mode_ITE.store(IteMode::NONE);
  for (std::string_view button : {kCheckButton, kExitButton, kSetupButton}) view_.enable(button, true);
  if (enableRead) view_.enable(kReadButton, true);
  if (enableWrite) view_.enable(kWriteButton, true);
  for (std::string_view box : {kVerifyBox, kReadTwiceBox, kBackupBox}) view_.enable(box, true);
  view_.ended(false);
}

// ---- Read ----

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
  FileDialog dialog{std::string(ite::text::kSaveTitle), std::string(ite::text::kSaveFilter), ".bin",
                    std::string(ite::text::kSaveName), true};
  const auto path = view_.askSaveFile(dialog);
  if (!path) {
    log(ite::text::kReadCancelled);
    return endClickFailed(true, false, true);
  }
  // The dump goes to a temporary file beside the chosen name and replaces it only when
  // whole. Read twice keeps both reads in memory and writes only a matching pair, so an
  // older dump under that name outlives a pair that differs.
  file_ = DumpSink::Create(*path);
  if (!file_) {
    log(ite::text::kCreateFailed);
    view_.errorBox(std::string(ite::text::kCreateFailedBox));
    return endClickFailed(true, false, true);
  }
  logTimeStamp();
  log(ite::text::kReadStart);
  if (!connectForRead()) return endClickFailed(true, false, true);
  ReadThread_ITE = std::jthread([this](std::stop_token stop) { threadMain(stop); });
}

// ---- Write ----

void IteOperations::ITE_WRITE_BitBtnClick() {
  IteMode idle = IteMode::NONE;
  if (!Mode_ITE.compare_exchange_strong(idle, IteMode::WRITE_ITE_step_one)) return;
  joinWorker();
  cancel_.store(false);
  verifyThisWrite_ = verifyAfterWrite_.load();
  backupThisWrite_ = backup_.load();
  for (std::string_view button :
       {kCheckButton, kExitButton, kReadButton, kSetupButton, kVerifyBox, kReadTwiceBox, kBackupBox})
    view_.enable(button, false);
  view_.setGaugeColour(kGauge, colour::kRed);
  view_.setGauge(kGauge, 0);
  log("");
  if (OpenProgrammer(link_, profiles::kIte, view_) != OpenResult::Ready) return endClickFailed(false, true, true);
  FileDialog dialog{std::string(ite::text::kOpenTitle), std::string(ite::text::kOpenFilter), "", "", false};
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
    logFailure("3F");
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

// ---- ReadThread_ITE ----

void IteOperations::threadMain(std::stop_token stop) {
  switch (Mode_ITE.load()) {
    case IteMode::READ_ITE: readBody(stop); break;
    case IteMode::WRITE_ITE_step_one:
      if (backupThisWrite_) backupThenWrite(stop);
      else writeBody(stop);
      break;
    case IteMode::NONE: break;
  }
}

void IteOperations::endWorker(bool success) {
  for (std::string_view button :
       {kCheckButton, kExitButton, kWriteButton, kSetupButton, kReadButton, kVerifyBox, kReadTwiceBox, kBackupBox})
    view_.enable(button, true);
  Mode_ITE.store(IteMode::NONE);
  view_.ended(success);
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
                  std::to_string(gathered), " из 257."}));
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

void IteOperations::writeBody(std::stop_token stop) {
  auto fail = [this] {
    finish(ite::kEndFailure);
    logTimeStamp();
    endWorker(false);
  };
  log(ite::text::kPreparing);
  const std::span<const ite::RegStep> sequence(ite::kWriteSequence);
  if (!runRegisterSteps(sequence.first(ite::kWritePreparationSteps))) return fail();
  log(ite::text::kPrepared);
  if (!runRegisterSteps(sequence.subspan(ite::kWritePreparationSteps))) return fail();
  log(ite::text::kEraseSent);

  // The image was read whole in the click, before the erase; its lines stay here.
  const std::vector<std::uint8_t>& image = image_;
  log(ite::text::kBuffered);
  const auto ffCount = std::count(image.begin(), image.end(), std::uint8_t{0xFF});
  log(Concat({ite::text::kFfCount, std::to_string(ffCount)}));
  log(ite::text::kWritingBytes);

  bool addressNeeded = true;
  bool firstAddress = true;  // answered only once the chip erase is over
  auto sendAddress = [&](std::uint32_t position) {
    const std::uint32_t bound = firstAddress ? bounds_.eraseMs : bounds_.answerMs;
    firstAddress = false;
    const ite::Reply accepted = ite::FlashAddress_ITE(link_, position, bound);
    if (!accepted)
      logNoAnswer(bound, Concat({ite::text::kCmdFlashAddress, Hex2(position >> 16), " ", Hex2((position >> 8) & 0xFF), " ",
                                 Hex2(position & 0xFF), ")"}));
    if (accepted == ite::kDone) return true;
    log(ite::text::kAddressError);
    return false;
  };
  for (std::uint32_t position = 0; position < ite::kFlashSize; ++position) {
    const std::uint8_t byte = image[position];
    if (byte == 0xFF) {
      addressNeeded = true;
    } else {
      if (stopAsked(stop)) {
        log(ite::text::kStopped);
        return fail();
      }
      if (addressNeeded) {
        if (!sendAddress(position)) return fail();
        addressNeeded = false;
      }
      if (ite::ProgramByte_ITE(link_, byte) != ite::kDone) {
        log(ite::text::kProgramError);
        return fail();
      }
    }
    const std::uint32_t counter = position + 1;
    if ((counter & 0xFF) == 0) view_.setGauge(kGauge, static_cast<int>(counter / 256));
    view_.setGauge(kSpeedGauge, static_cast<int>(counter & 0xFF));
  }
  // An image of nothing but FFh sent no Flash address, so nothing has waited for the chip
  // erase; the read-back would find a flash that ignores commands while it erases. One
  // Flash address is answered once the erase is over.
  if (firstAddress && verifyThisWrite_) {
    const ite::Reply ready = ite::FlashAddress_ITE(link_, 0, bounds_.eraseMs);
    if (!ready) {
      logNoAnswer(bounds_.eraseMs, Concat({ite::text::kCmdFlashAddress, "00 00 00)"}));
      log(ite::text::kEraseNotOver);
      return fail();
    }
    if (*ready != ite::kDone) {
      log(ite::text::kAddressError);
      return fail();
    }
  }
  log(ite::text::kWriteDone);
  finish(ite::kEndSuccess);
  logTimeStamp();
  if (!verifyThisWrite_) return endWorker(true);

  // The write itself is not checked by the programmer: read the flash back and compare
  // all 128 KiB, the FF padding of a short file too.
  log(ite::text::kVerifyStart);
  std::vector<std::uint8_t> readBack;
  if (!readAgain(readBack, stop)) {
    log(ite::text::kVerifyNotDone);
    return endWorker(false);
  }
  const auto difference = CompareDumps(image, readBack);
  log(VerifyLine(difference, kLanguage));
  endWorker(!difference);
}

// ---- EXIT ----

void IteOperations::ITE_EXIT_BitBtnClick() {
  if (Mode_ITE.load() != IteMode::NONE) return;
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
  view_.setGauge(kGauge, 0);
  view_.ended(true);
}

}  // namespace jig
