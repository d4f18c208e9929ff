#include "Mec16xx/Mec16Operations.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <utility>

#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/Backups.h"
#include "link/DumpChecks.h"
#include "link/ImageQuestion.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"
#include "link/SourceFile.h"
#include "link/TimeStamp.h"

namespace jig {

using namespace mec16;

namespace {

std::string Lost(std::string_view code) { return std::string(kLostPrefix) + std::string(code); }

std::string Caption(std::string_view address) { return "Регистр " + std::string(address) + "h -> "; }

bool AllFF(const std::array<std::uint8_t, 4>& id) {
  return std::all_of(id.begin(), id.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// The window's log is Russian, and so are its read-back verdicts.
constexpr LogLanguage kLanguage = LogLanguage::Russian;

// The MAIN block of a dump: the firmware a technician may flash back, and so what the
// sanity check judges (a blank INFO block behind real firmware is normal).
std::span<const std::uint8_t> MainPart(const std::vector<std::uint8_t>& dump) {
  return std::span<const std::uint8_t>(dump).first(std::min(dump.size(), kMainBytes));
}

}  // namespace

std::string_view ModeText(Mec16Mode mode) {
  switch (mode) {
    case Mec16Mode::None: return "NONE";
    case Mec16Mode::Id: return "ID";
    case Mec16Mode::Erase: return "ERASE";
    case Mec16Mode::ReadMain: return "READ_MAIN";
    case Mec16Mode::ReadInfo: return "READ_INFO";
    case Mec16Mode::WriteMain: return "WRITE_MAIN";
  }
  return "NONE";
}

Mec16Operations::Mec16Operations(D2xx& d2xx, TaskView& view, Mec16Bounds bounds)
    : d2xx_(d2xx), view_(view), bounds_(bounds), link_(d2xx, kBufferSize) {}

Mec16Operations::~Mec16Operations() {
  Stop_MEC16 = true;
  joinWorker();
}

void Mec16Operations::joinWorker() {
  if (ReadThread_MEC16.joinable()) ReadThread_MEC16.join();
}

// ---------------------------------------------------------------------------------------
// The frame every operation shares.

bool Mec16Operations::Begin(Mec16Mode mode) {
  Mec16Mode idle = Mec16Mode::None;
  if (!Mode_MEC16.compare_exchange_strong(idle, mode)) return false;
  // The last worker set NONE as its last act and is ending; collect it.
  joinWorker();
  kind_ = mode;
  followUp_ = FollowUp::None;
  inFollowUp_ = false;
  followUpStarted_ = false;
  inBackup_ = false;
  streamToFile_ = false;
  cancel_ = false;
  writeRunning_ = false;
  writeStopNoted_ = false;
  received_.clear();
  expected_.clear();
  image_.clear();
  return true;
}

bool Mec16Operations::OpenLink() { return OpenProgrammer(link_, profiles::kMec16, view_) == OpenResult::Ready; }

void Mec16Operations::Log(std::string_view line) { view_.log(std::string(line)); }

void Mec16Operations::Log(std::string_view prefix, std::string_view rest) {
  view_.log(std::string(prefix) + std::string(rest));
}

void Mec16Operations::TimeStamp() { Log(kCurrentTimeRu, LongTimeOfDay()); }

void Mec16Operations::Send(std::uint8_t byte) { link_.writeByte(byte); }

Mec16Operations::StartResult Mec16Operations::SendStartAndId(std::array<std::uint8_t, 4>& id) {
  Send(kStart);
  if (AwaitStartAnswer(link_, bounds_.answerMs) != WaitResult::Ok) {
    Log(kNoAnswerTo1);
    return StartResult::NoAnswer;
  }
  Log(kAnswerTo1);
  Send(kReadId);
  DWORD gathered = 0;
  ReadId(link_, bounds_.answerMs, id, gathered);
  if (gathered == 0) {
    Log(kNoId);
    return StartResult::NoAnswer;
  }
  StartResult result = StartResult::Ok;
  if (gathered < 4) {
    Log(kShortId);
    result = StartResult::ShortId;
  }
  Log(kIdPrefix, RegisterValueText(id.data()));
  return result;
}

bool Mec16Operations::WriteLogged(std::string_view address, std::string_view value, std::string_view shown,
                                  std::string_view lossCode) {
  Result_MEC16 = WriteReg_MEC16(link_, address, value);
  if (Result_MEC16 == kMecLost) {
    Log(Lost(lossCode));
    return false;
  }
  Log(std::string(kWroteRegister) + std::string(address) + "h " + std::string(shown));
  return true;
}

void Mec16Operations::Release(std::string_view loss1, std::string_view loss2, std::string_view loss3) {
  WriteLogged(kFlashCommand, "00000100", "100h", loss1);
  WriteLogged(kFlashCommand, "00000000", "0", loss2);
  WriteLogged(kFlashEnable, "00000000", "0", loss3);
}

void Mec16Operations::Finish(bool success, bool logClosed) {
  if (logClosed) Log(kClosed);
  link_.close();
  TimeStamp();
  Log("");
  AfterOperation(success);
}

void Mec16Operations::EndAction(bool success) {
  // A dump not committed by now is not whole: its temporary file goes, the target stays.
  File_MEC16.reset();
  writeRunning_ = false;
  if (boxesHeld_) {
    view_.enable(kVerifyAfterWrite, true);
    view_.enable(kReadTwice, true);
    view_.enable(kBackup, true);
    boxesHeld_ = false;
  }
  Mode_MEC16 = Mec16Mode::None;
  view_.ended(success);
}

// The read-back checks come after the documented run has closed its handle, each as a
// run of its own; the click still ends once, successful only when the check agrees too.
void Mec16Operations::AfterOperation(bool success) {
  if (std::exchange(inBackup_, false)) {
    if (!success) {
      Log(BackupReadFailedLine(kLanguage));
      return EndAction(false);
    }
    const SavedBackup saved = SaveBackup("mec16", received_);
    for (const std::string& line : BackupLines(saved, kLanguage)) Log(line);
    received_.clear();
    if (!saved.ok) return EndAction(false);
    return ContinueWithWrite();
  }
  if (!success) return EndAction(false);
  if (!inFollowUp_) {
    if (kind_ == Mec16Mode::ReadMain) {
      Log(DumpPatternLine(CheckDumpPattern(MainPart(received_)), kLanguage));
      if (followUp_ == FollowUp::ReadTwice) {
        expected_ = std::move(received_);
        received_.clear();
        return StartFollowUpRead();
      }
    }
    if (kind_ == Mec16Mode::WriteMain && followUp_ == FollowUp::Verify) return StartFollowUpRead();
    return EndAction(true);
  }
  if (followUp_ == FollowUp::Verify) {
    // Only the pages sent are compared: a short file leaves the rest of MAIN as it was.
    const auto back = std::span<const std::uint8_t>(received_).first(std::min(received_.size(), expected_.size()));
    const auto difference = CompareDumps(expected_, back);
    Log(VerifyLine(difference, kLanguage));
    return EndAction(!difference);
  }
  const auto difference = CompareDumps(expected_, received_);
  Log(ReadTwiceLine(difference, kLanguage));
  if (difference) return EndAction(false);
  EndAction(SaveDump(received_));
}

void Mec16Operations::StartFollowUpRead() {
  inFollowUp_ = true;
  // A stop pressed during the first read of a pair is kept, so it ends the second at its
  // first block. A write never sets it: the verify runs whatever the exit button says.
  if (followUp_ == FollowUp::Verify) Scope_MEC16 = kScopeMainOnly;
  if (StartExtraRead(followUp_ == FollowUp::Verify ? kVerifyReadStarts : kSecondReadStarts)) followUpStarted_ = true;
}

bool Mec16Operations::StartExtraRead(std::string_view line) {
  received_.clear();
  // The mode never went back to NONE: the click is not over.
  Mode_MEC16 = Mec16Mode::ReadMain;
  view_.setGaugeColour(kGauge, colour::kLime);
  view_.setGauge(kGauge, 0);
  view_.setGaugeMax(kGauge, kMainBlocks);
  TimeStamp();
  Log(line);
  if (!OpenLink()) {
    AfterOperation(false);
    return false;
  }
  Log(kReadStarted);
  return StartMainStream();
}

bool Mec16Operations::SaveDump(const std::vector<std::uint8_t>& dump) {
  // Renamed over the chosen name only once it is whole on the disk.
  if (File_MEC16 && File_MEC16->write(dump) && File_MEC16->commit()) return true;
  Log(kFileWriteFailed);
  return false;
}

bool Mec16Operations::BeginTransfer(Mec16Mode mode, Rgb gaugeColour, int gaugeMaximum) {
  if (!Begin(mode)) return false;
  Stop_MEC16 = false;
  view_.enable(kVerifyAfterWrite, false);
  view_.enable(kReadTwice, false);
  view_.enable(kBackup, false);
  boxesHeld_ = true;
  view_.setGaugeColour(kGauge, gaugeColour);
  view_.setGauge(kGauge, 0);
  view_.setGaugeMax(kGauge, gaugeMaximum);
  if (OpenLink()) return true;
  EndAction(false);
  return false;
}

void Mec16Operations::RefuseSetUp(std::string_view line) {
  Log(line);
  RefuseAfterOpen();
}

void Mec16Operations::RefuseAfterOpen() {
  Send(kFailed);
  Log(kClosed);
  link_.close();
  EndAction(false);
}

void Mec16Operations::HandlerFailure() {
  Send(kFailed);
  Send(kClose);
  Finish(false, true);
}

// ---------------------------------------------------------------------------------------
// Probe, protection test, help, exit.

bool Mec16Operations::CheckProtection_MEC16(std::uint8_t status) {
  bool failed = false;
  if (status & kStatusFwp) {
    Log(kFwpSet);
    view_.paint(kShapeFwp, colour::kRed);
    failed = true;
  } else {
    Log(kFwpFree);
    view_.paint(kShapeFwp, colour::kLime);
  }
  if (status & kStatusBootLock) {
    Log(kBootLockSet);
    view_.paint(kShapeBootLock, colour::kRed);
    failed = true;
  } else {
    Log(kBootLockFree);
    view_.paint(kShapeBootLock, colour::kLime);
  }
  return failed;
}

void Mec16Operations::BitBtn_MEC16Click() {
  if (!Begin(Mec16Mode::Id)) return;
  view_.setGauge(kGauge, 0);
  view_.paint(kShapeBootLock, colour::kBlack);
  view_.paint(kShapeFwp, colour::kBlack);
  TimeStamp();
  bool failed = false;
  if (!OpenLink()) return EndAction(false);
  std::array<std::uint8_t, 4> id{};
  const StartResult start = SendStartAndId(id);
  if (start == StartResult::NoAnswer) {
    Send(kFailed);
    Send(kClose);
    Finish(false, true);
    return;
  }
  if (start == StartResult::ShortId) failed = true;

  struct Step {
    std::string_view address;
    std::string_view lossCode;
  };
  static constexpr Step kSteps[] = {
      {kDeviceRegister, "(I100)"}, {kFlashCommand, "(I101)"}, {kFlashEnable, "(I102)"}, {kFlashStatus, "(I103)"}};
  RegisterAnswer status;
  for (const Step& step : kSteps) {
    RegisterAnswer answer = ReadReg_MEC16(link_, step.address);
    Result_MEC16 = answer.text;
    if (answer.lost()) {
      Log(Lost(step.lossCode));
      failed = true;
    } else {
      Log(Caption(step.address), answer.text);
    }
    status = answer;
  }
  if (!status.lost() && CheckProtection_MEC16(status.low())) failed = true;
  Send(failed ? kFailed : kSucceeded);
  Send(kClose);
  Finish(!failed, true);
}

void Mec16Operations::BitBtn_MEC16_HELPClick() {
  if (Mode_MEC16.load() != Mec16Mode::None) return;
  for (std::string_view line : kHelp) Log(line);
  view_.ended(true);
}

void Mec16Operations::EXIT_MEC16Click() {
  if (Mode_MEC16.load() == Mec16Mode::None) {
    view_.showWindow("Form1", true);
    view_.showWindow("self", false);
    view_.ended(true);
    return;
  }
  // A write cannot be stopped midway: the chip would be left half written. Its verify
  // runs to its end too, so the window stays until the write's verdict is known.
  if (writeRunning_.load()) {
    if (!writeStopNoted_.exchange(true)) Log(kWriteCannotStop);
    return;
  }
  // Only a running MAIN read looks at it, between blocks.
  Stop_MEC16 = true;
}

// ---------------------------------------------------------------------------------------
// Erase: wholly in the click.

void Mec16Operations::BitBtn_MEC16_ERASEClick(bool eraseInfoToo) {
  if (!Begin(Mec16Mode::Erase)) return;
  view_.setGauge(kGauge, 0);
  view_.paint(kShapeBootLock, colour::kBlack);
  view_.paint(kShapeFwp, colour::kBlack);
  TimeStamp();
  bool failed = false;
  if (!OpenLink()) return EndAction(false);
  auto close = [this](bool success) {
    Send(kClose);
    Finish(success, true);
  };
  std::array<std::uint8_t, 4> id{};
  const StartResult start = SendStartAndId(id);
  if (start != StartResult::Ok) failed = true;
  if (start != StartResult::NoAnswer) {
    const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
    Result_MEC16 = status.text;
    if (status.lost()) {
      Log(Lost("(E100)"));
      failed = true;
    } else {
      Log(Caption(kFlashStatus), status.text);
      if (CheckProtection_MEC16(status.low())) failed = true;
    }
  }
  if (failed) {
    Send(kFailed);
    Log(kEraseCancelled);
    return close(false);
  }
  if (!WriteLogged(kFlashEnable, "00000001", "1", "(E101)")) return close(false);
  if (!WriteLogged(kFlashCommand, "00000107", "107h", "(E102)")) return close(false);
  Result_MEC16 = WriteReg_MEC16(link_, kFlashAddress, eraseInfoToo ? "00FC0000" : "00F80000");
  if (Result_MEC16 == kMecLost) {
    Log(Lost("(E103)"));
    return close(false);
  }
  Log(kEraseSent);

  // The busy bit stays set while the array erases; each read is bounded by the link's
  // read time-out and the whole poll by the erase bound.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bounds_.eraseMs);
  for (;;) {
    const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
    Result_MEC16 = status.text;
    if (status.lost()) {
      Log(Lost("(E104)"));
      return close(false);
    }
    if ((status.low() & kStatusBusy) == 0) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      Log(kEraseTooLong);
      return close(false);
    }
  }
  Log(kEraseDone);
  if (!WriteLogged(kFlashCommand, "00000100", "100h", "(E105)")) return close(false);
  if (!WriteLogged(kFlashCommand, "00000000", "0", "(E106)")) return close(false);
  if (!WriteLogged(kFlashEnable, "00000000", "0", "(E107)")) return close(false);
  Send(kSucceeded);
  close(true);
}

// ---------------------------------------------------------------------------------------
// Read: set-up in the click, the stream in the worker.

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

// ---------------------------------------------------------------------------------------
// Write: set-up in the click, the pages in the worker.

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
    Send(kEndStream);
    Send(kFailed);
    Finish(false, false);
    return false;
  }
  std::array<std::uint8_t, kPageBytes> page;
  page.fill(0xFF);
  const std::size_t offset = static_cast<std::size_t>(Counter_MEC16 - 1) * kPageBytes;
  const std::size_t got = offset < image_.size() ? std::min(kPageBytes, image_.size() - offset) : 0;
  if (got > 0) std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(offset), got, page.begin());

  auto awaitPageAnswer = [this]() -> std::optional<bool> {
    if (QueueWait(link_, 1, bounds_.pageMs) != WaitResult::Ok) return std::nullopt;
    return link_.buffer[0] == kPageDone;
  };

  // What the flash should hold afterwards, for the verify: the pages as sent.
  expected_.insert(expected_.end(), page.begin(), page.end());
  if (got < kPageBytes) {
    Log(kWarning);
    Log(kFileShorter);
    link_.write(page);
    const std::optional<bool> answer = awaitPageAnswer();
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
  link_.write(page);
  view_.setGauge(kGauge, Counter_MEC16);  // maximum 768: one step a page
  const std::optional<bool> answer = awaitPageAnswer();
  if (!answer.value_or(false)) {
    Log(answer ? Lost("(W103)") : std::string(kNoPageAnswer) + std::to_string(Counter_MEC16));
    Send(kEndStream);
    Send(kFailed);
    Finish(false, false);
    return false;
  }
  // Only the command line stops a write (a second Ctrl-C), between pages.
  if (Counter_MEC16 != kMainPages && cancel_.load()) {
    Log(kWriteStopped);
    Send(kEndStream);
    Send(kFailed);
    Finish(false, false);
    return false;
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

}  // namespace jig
