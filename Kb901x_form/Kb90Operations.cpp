#include "Kb901x_form/Kb90Operations.h"

#include <algorithm>
#include <array>

#include "Kb901x_form/Kb90Family.h"
#include "Kb901x_form/Kb90Texts.h"
#include "link/Backups.h"
#include "link/CharFilter.h"
#include "link/DumpChecks.h"
#include "link/ImageQuestion.h"
#include "link/NoAnswerLine.h"
#include "link/OpenProgrammer.h"
#include "link/SourceFile.h"
#include "link/TimeStamp.h"

namespace jig {

namespace text = kb90::text;

namespace {
constexpr std::size_t kLinkBufferSize = kb90::kBlockSize + 4;
constexpr const char* kBackupTask = "kb90";

std::string TimeStampLine() { return std::string(kCurrentTime) + LongTimeOfDay(); }
std::string BlockOf(int block) { return NumberOf(block, kb90::kBlockCount); }
// A block of a read that did not come, or the programmer that went away before it.
constexpr NoAnswerWording kReadBlockWording{text::kReadDisconnectedAt, "", text::kReadBlock, text::kNotFromProgrammer};
}  // namespace

const char* ModeText(Kb90Mode mode) {
  switch (mode) {
    case Kb90Mode::Reading: return text::kModeReading;
    case Kb90Mode::Writing: return text::kModeWriting;
    case Kb90Mode::None: break;
  }
  return text::kModeNone;
}

namespace kb90 {
FileDialog SaveDialog() {
  return {text::kSaveTitle, text::kSaveFilter, text::kBinExtension, text::kDefaultName, true};
}
FileDialog OpenDialog() {
  return {text::kOpenTitle, text::kOpenFilter, {}, {}, false};
}
}  // namespace kb90

Kb90Operations::Kb90Operations(D2xx& d2xx, TaskView& view, Kb90Bounds bounds)
    : view_(view), bounds_(bounds), link_(d2xx, kLinkBufferSize) {}

Kb90Operations::~Kb90Operations() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
  link_.close();
}

bool Kb90Operations::openAndCheck() {
  if (OpenProgrammer(link_, profiles::kKb90, view_) != OpenResult::Ready) return false;
  if (!Kb90Handshake(link_, view_, bounds_)) {
    link_.close();
    return false;
  }
  return true;
}

void Kb90Operations::startWorker() {
  // The previous worker has set the mode back already; this only collects it.
  worker_ = std::jthread([this](std::stop_token stop) { ReadThread_KB90(stop); });
}

void Kb90Operations::release(Kb90Mode mode, std::uint8_t firstCommand) {
  Counter_KB90 = 1;
  // The first command goes out before the worker is let go, so the handle is never used by
  // two threads at once; on the wire the order is the same.
  link_.writeByte(firstCommand);
  {
    std::lock_guard lock(modeMutex_);
    Mode_KB90.store(mode);
  }
  modeChanged_.notify_all();
}

void Kb90Operations::disableDuring(const char* otherButton) {
  view_.enable(otherButton, false);
  view_.enable(kb90::kExitButton, false);
  view_.enable(kb90::kReadTwiceBox, false);
  view_.enable(kb90::kBackupBox, false);
}

void Kb90Operations::KB901X_READClick() {
  if (Mode_KB90.load() != Kb90Mode::None) return;
  const bool twice = readTwice_.load();
  view_.clearLog();
  if (!openAndCheck()) {
    view_.ended(false);
    return;
  }
  const auto path = view_.askSaveFile(kb90::SaveDialog());
  if (!path) {
    view_.log(text::kSaveInterrupted);
    link_.close();
    view_.ended(false);
    return;
  }
  view_.repaint();
  // The dump goes beside the chosen name and replaces it only when whole; reading twice,
  // the passes wait in memory until they agree.
  if (!capture_.open(*path, twice)) {
    view_.errorBox(text::kCreateFailed);
    view_.log(CreateFailedLine(*path, capture_.createError(), LogLanguage::English));
    link_.close();
    view_.ended(false);
    return;
  }
  view_.log(text::kSaveTheFile);
  view_.log(*path);
  view_.setGaugeMax(kb90::kGauge, kb90::kGaugeMax);
  view_.setGaugeColour(kb90::kGauge, colour::kGreen);
  view_.setGauge(kb90::kGauge, 0);
  view_.log(text::kReading);
  disableDuring(kb90::kWriteButton);
  startWorker();
  view_.log(TimeStampLine());
  release(Kb90Mode::Reading, kb90::kRead);
}

bool Kb90Operations::takeImage(const std::string& path) {
  SourceFile source = ReadSourceFile(path, kb90::kImageSize);
  if (source.problem == SourceProblem::CannotOpen) {
    view_.errorBox(text::kOpenFailed);
    return false;
  }
  if (!source.ok()) {
    view_.log(SourceProblemLine(path, source, kb90::kImageSize, LogLanguage::English));
    return false;
  }
  if (!ConfirmImage(view_, path, source.bytes, kb90::kImageSize, LogLanguage::English)) return false;
  image_ = std::move(source.bytes);
  return true;
}

void Kb90Operations::announceWrite() {
  view_.log(text::kWriteFile);
  view_.log(sourcePath_);
  view_.setGaugeMax(kb90::kGauge, kb90::kGaugeMax);
  view_.setGaugeColour(kb90::kGauge, colour::kRed);
  view_.setGauge(kb90::kGauge, 0);
  view_.log(text::kWriting);
}

void Kb90Operations::KB901X_WRITEClick() {
  if (Mode_KB90.load() != Kb90Mode::None) return;
  chipGate_.reset();
  backupNow_ = backup_.load();
  view_.clearLog();
  if (!openAndCheck()) {
    view_.ended(false);
    return;
  }
  const auto path = view_.askOpenFile(kb90::OpenDialog());
  if (!path) {
    view_.log(text::kWriteInterrupted);
    link_.close();
    view_.ended(false);
    return;
  }
  // The image is taken whole before anything more is sent: a file that cannot be read to
  // its end is refused, never written half.
  if (!takeImage(*path)) {
    link_.close();
    view_.ended(false);
    return;
  }
  sourcePath_ = *path;
  if (backupNow_) {
    view_.log(BackupStartLine(LogLanguage::English));
    view_.setGaugeMax(kb90::kGauge, kb90::kGaugeMax);
    view_.setGaugeColour(kb90::kGauge, colour::kGreen);
    view_.setGauge(kb90::kGauge, 0);
  } else {
    announceWrite();
  }
  disableDuring(kb90::kReadButton);
  startWorker();
  view_.log(TimeStampLine());
  if (backupNow_) {
    // The copy of the chip is read on this open; the write opens the programmer again.
    capture_.collectOnly();
    backupRead_ = true;
    release(Kb90Mode::Writing, kb90::kRead);
    return;
  }
  sums_ = {};
  // Nothing can call the write off while the click itself runs: 'W' goes out now.
  chipGate_.touch();
  release(Kb90Mode::Writing, kb90::kWrite);
}

bool Kb90Operations::EXIT_KB901XClick() {
  if (Mode_KB90.load() != Kb90Mode::None) return false;
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
  view_.setGauge(kb90::kGauge, 0);
  return true;
}

void Kb90Operations::ReadThread_KB90(std::stop_token stop) {
  Kb90Mode mode;
  {
    std::unique_lock lock(modeMutex_);
    if (!modeChanged_.wait(lock, stop, [this] { return Mode_KB90.load() != Kb90Mode::None; })) return;
    mode = Mode_KB90.load();
  }
  if (mode == Kb90Mode::Reading) readAll(stop);
  else if (!backupNow_ || backupThenStartWrite(stop)) writeAll(stop);
}

void Kb90Operations::finish(bool success) {
  link_.close();
  capture_.abandon();
  backupRead_ = false;
  for (const char* control :
       {kb90::kReadButton, kb90::kWriteButton, kb90::kExitButton, kb90::kReadTwiceBox, kb90::kBackupBox})
    view_.enable(control, true);
  Mode_KB90.store(Kb90Mode::None);
  view_.ended(success);
}

void Kb90Operations::fail(const std::string& line, bool linkAnswers) {
  // The chosen name keeps what it held: the part read so far goes with the temporary file.
  view_.log(line + (capture_.hasTarget() ? text::kFileNotWritten : text::kFullStop));
  capture_.abandon();
  if (linkAnswers) link_.writeByte(kb90::kFailure);
  if (backupRead_) view_.log(BackupReadFailedLine(LogLanguage::English));
  finish(false);
}

bool Kb90Operations::readPass(std::stop_token& stop) {
  capture_.startPass();
  for (;;) {
    if (stop.stop_requested()) {
      fail(text::kReadInterruptedAt + BlockOf(Counter_KB90), true);
      return false;
    }
    const BlockResult block = WaitBlock(link_, bounds_.blockMs);
    switch (block) {
      case BlockResult::Ok: break;
      case BlockResult::Surplus:
        fail(text::kReadSurplus + BlockOf(Counter_KB90), true);
        return false;
      case BlockResult::TimedOut:
      case BlockResult::Gone: {
        const WaitResult result = block == BlockResult::Gone ? WaitResult::Gone : WaitResult::TimedOut;
        // A programmer that went away takes no end byte.
        fail(NoAnswerLine(kReadBlockWording, result, BlockOf(Counter_KB90)), result != WaitResult::Gone);
        return false;
      }
    }
    if (!capture_.take(std::span(link_.buffer.data(), kb90::kBlockSize))) {
      fail(text::kReadDiskRefused + BlockOf(Counter_KB90), true);
      return false;
    }
    view_.setGauge(kb90::kGauge, kb90::kGaugePerBlock * Counter_KB90);
    if (Counter_KB90 == kb90::kBlockCount) break;
    link_.writeByte(kb90::kNext);
    ++Counter_KB90;
  }
  // Bytes after the last block mean the stream was out of step: the dump cannot be trusted.
  if (link_.getStatus() == FT_OK && link_.rxQueue > 0) {
    fail(text::kReadSurplus + BlockOf(Counter_KB90), true);
    return false;
  }
  link_.writeByte(kb90::kEndTransfer);
  view_.log(text::kReadingDone);
  view_.log(TimeStampLine());
  link_.writeByte(kb90::kSuccess);
  link_.close();
  return true;
}

void Kb90Operations::readAll(std::stop_token& stop) {
  if (!readPass(stop)) return;
  if (capture_.wantsAnotherPass() && (!startSecondRead(stop) || !readPass(stop))) return;
  auto ending = capture_.finish(LogLanguage::English);
  for (std::string& line : ending.lines) view_.log(std::move(line));
  finish(ending.saved);
}

bool Kb90Operations::startSecondRead(std::stop_token& stop) {
  if (stop.stop_requested()) {
    fail(text::kReadInterruptedBeforeSecond, false);
    return false;
  }
  view_.log(text::kReadingAgain);
  if (!openAndCheck()) {
    view_.log(text::kSecondReadNotStarted);
    finish(false);
    return false;
  }
  view_.setGaugeColour(kb90::kGauge, colour::kGreen);
  view_.setGauge(kb90::kGauge, 0);
  view_.log(TimeStampLine());
  Counter_KB90 = 1;
  link_.writeByte(kb90::kRead);
  return true;
}

bool Kb90Operations::backupThenStartWrite(std::stop_token& stop) {
  if (!readPass(stop)) return false;
  backupRead_ = false;
  if (!KeepBackup(view_, kBackupTask, capture_.firstPass(), LogLanguage::English)) {
    finish(false);
    return false;
  }
  if (stop.stop_requested() || !chipGate_.touch()) {
    view_.log(text::kWriteStoppedBeforeWrite);
    finish(false);
    return false;
  }
  if (!openAndCheck()) {
    view_.log(text::kWriteNotStarted);
    finish(false);
    return false;
  }
  announceWrite();
  view_.log(TimeStampLine());
  sums_ = {};
  Counter_KB90 = 1;
  link_.writeByte(kb90::kWrite);
  return true;
}

bool Kb90Operations::writeAll(std::stop_token& stop) {
  std::size_t offset = 0;
  for (;;) {
    if (stop.stop_requested()) {
      fail(text::kWriteInterruptedAt + BlockOf(Counter_KB90), true);
      return false;
    }
    const WaitResult ready = WaitAckByte(link_, bounds_.readyMs);
    if (ready != WaitResult::Ok) {
      fail(text::kWriteNotReady + BlockOf(Counter_KB90),
           ready != WaitResult::Gone);
      return false;
    }
    std::array<std::uint8_t, kb90::kBlockSize> block;
    block.fill(0xFF);
    const std::size_t n = std::min(kb90::kBlockSize, image_.size() - offset);
    std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(offset), n, block.begin());
    offset += n;
    if (n < kb90::kBlockSize) {
      view_.log(text::kWarning);
      view_.log(text::kFileShorter);
      link_.write(block);
      const WaitResult done = WaitAckByte(link_, bounds_.doneMs);
      if (done != WaitResult::Ok) {
        fail(text::kWriteNotConfirmed + BlockOf(Counter_KB90),
             done != WaitResult::Gone);
        return false;
      }
      link_.writeByte(kb90::kEndTransfer);
      link_.writeByte(kb90::kSuccess);
      link_.close();
      view_.log(TimeStampLine());
      // Written but not verified: the command line must not call that a success.
      finish(false);
      return false;
    }
    link_.write(block);
    sums_.add(block);
    view_.setGauge(kb90::kGauge, kb90::kGaugePerBlock * Counter_KB90);
    ++Counter_KB90;
    const WaitResult done = WaitAckByte(link_, bounds_.doneMs);
    if (done != WaitResult::Ok) {
      fail(text::kWriteNotConfirmed + BlockOf(Counter_KB90 - 1),
           done != WaitResult::Gone);
      return false;
    }
    if (Counter_KB90 == kb90::kBlockCount + 1) return verify(stop);
    link_.writeByte(kb90::kNext);
  }
}

bool Kb90Operations::verify(std::stop_token&) {
  link_.writeByte(kb90::kEndTransfer);
  view_.log(text::kWritingDone);
  view_.log(text::kStars);
  view_.log(text::kFileSum + Hex4(sums_.SUMM_KB90));
  view_.log(text::kFileCrc + Hex4(sums_.CRC16_KB90));
  view_.log(text::kStars);
  view_.setGauge(kb90::kGauge, 0);
  view_.setGaugeColour(kb90::kGauge, colour::kYellow);
  Counter_KB90 = 0;
  link_.writeByte(kb90::kChecksum);
  const ChecksumAnswer answer = WaitChecksum(link_, bounds_.markMs, bounds_.checksumMs, [this](int marks) {
    Counter_KB90 = marks;
    view_.setGauge(kb90::kGauge, kb90::kGaugePerBlock * marks);
  });
  if (answer.result != WaitResult::Ok) {
    const bool gone = answer.result == WaitResult::Gone;
    if (gone) fail(text::kVerifyDisconnected, false);
    else if (answer.marks < kb90::kBlockCount)
      fail(text::kVerifyMarkMissing + BlockOf(answer.marks + 1) + text::kNotFromProgrammer, true);
    else fail(text::kVerifyNoChecksum, true);
    return false;
  }
  const auto& b = answer.bytes;
  view_.log(text::kFlashSum + Hex2(b[1]) + Hex2(b[0]));
  view_.log(text::kFlashCrc + Hex2(b[3]) + Hex2(b[2]));
  const bool match = (b[1] * 256 + b[0]) == sums_.SUMM_KB90 && (b[3] * 256 + b[2]) == sums_.CRC16_KB90;
  if (match) {
    view_.log(text::kStars);
    view_.log(text::kVerifyOk);
    link_.writeByte(kb90::kSuccess);
  } else {
    view_.log(text::kWrittenIncorrectly);
    link_.writeByte(kb90::kFailure);
  }
  view_.log(TimeStampLine());
  finish(match);
  return match;
}

}  // namespace jig
