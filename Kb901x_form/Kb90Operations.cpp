#include "Kb901x_form/Kb90Operations.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include <unistd.h>

#include "link/CharFilter.h"
#include "link/DumpChecks.h"
#include "link/OpenProgrammer.h"
#include "link/TimeStamp.h"

namespace jig {

namespace {
constexpr const char* kStars = "**********************************";  // 34
constexpr std::size_t kLinkBufferSize = kb90::kBlockSize + 4;

std::string TimeStampLine() { return std::string(kCurrentTime) + LongTimeOfDay(); }
std::string BlockOf(int block) { return std::to_string(block) + " of " + std::to_string(kb90::kBlockCount); }

// A read that keeps its dump in memory until both reads agree creates the file only then;
// this asks beforehand whether it could, so a folder that cannot take it is told at once.
bool CouldCreate(const std::string& path) {
  std::error_code error;
  const std::filesystem::path target(path);
  if (std::filesystem::exists(target, error)) return std::filesystem::is_regular_file(target, error) && ::access(path.c_str(), W_OK) == 0;
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}
}  // namespace

const char* ModeText(Kb90Mode mode) {
  switch (mode) {
    case Kb90Mode::Reading: return "Reading";
    case Kb90Mode::Writing: return "Writing";
    case Kb90Mode::None: break;
  }
  return "NONE";
}

namespace kb90 {
FileDialog SaveDialog() {
  return {"Укажите имя файла для сохранения.", "BIN файл KB901X (*.bin)|*.bin", ".bin", "Noname", true};
}
FileDialog OpenDialog() {
  return {"Укажите файл за заливки.", "BIN файл KB901X (*.bin)|*.bin|Другие|*.*", "", "", false};
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

void Kb90Operations::KB901X_READClick() {
  if (Mode_KB90.load() != Kb90Mode::None) return;
  readTwiceNow_ = readTwice_.load();
  view_.clearLog();
  if (!openAndCheck()) {
    view_.ended(false);
    return;
  }
  const auto path = view_.askSaveFile(kb90::SaveDialog());
  if (!path) {
    view_.log("Write to file is interrupted.");
    link_.close();
    view_.ended(false);
    return;
  }
  view_.repaint();
  dumpPath_ = *path;
  // Reading twice, both reads go to memory: the file is created only from a matching pair.
  bool fileReady = false;
  if (readTwiceNow_) {
    fileReady = CouldCreate(*path);
  } else {
    File_KB90 = DumpFile::Create(*path);
    fileReady = File_KB90.has_value();
  }
  if (!fileReady) {
    view_.errorBox("Ошибка создания файла.");
    link_.close();
    view_.ended(false);
    return;
  }
  view_.log("Save the file: ");
  view_.log(*path);
  view_.setGaugeMax(kb90::kGauge, kb90::kGaugeMax);
  view_.setGaugeColour(kb90::kGauge, colour::kGreen);
  view_.setGauge(kb90::kGauge, 0);
  view_.log("Reading KB9012 ...");
  view_.enable(kb90::kWriteButton, false);
  view_.enable(kb90::kExitButton, false);
  view_.enable(kb90::kReadTwiceBox, false);
  startWorker();
  view_.log(TimeStampLine());
  release(Kb90Mode::Reading, kb90::kRead);
}

void Kb90Operations::KB901X_WRITEClick() {
  if (Mode_KB90.load() != Kb90Mode::None) return;
  view_.clearLog();
  if (!openAndCheck()) {
    view_.ended(false);
    return;
  }
  const auto path = view_.askOpenFile(kb90::OpenDialog());
  if (!path) {
    view_.log("Write operation is interrupted.");
    link_.close();
    view_.ended(false);
    return;
  }
  File_KB90 = DumpFile::OpenForReading(*path);
  // The image is taken whole before anything is sent: a file that cannot be read to its
  // end (or to 128 KiB) is refused, never written half.
  bool readable = File_KB90.has_value();
  if (readable) {
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(*path, error);
    const auto size = std::filesystem::file_size(*path, error);
    readable = regular && !error;
    if (readable) {
      const std::size_t expected = std::min<std::uintmax_t>(size, kb90::kImageSize);
      image_.assign(kb90::kImageSize, 0xFF);
      std::size_t got = 0;
      while (got < expected) {
        const std::size_t n = File_KB90->read(std::span(image_).subspan(got, kb90::kImageSize - got));
        if (n == 0) break;
        got += n;
      }
      image_.resize(std::min(got, kb90::kImageSize));
      readable = got >= expected;
    }
  }
  if (!readable) {
    if (File_KB90) File_KB90->close();
    File_KB90.reset();
    view_.errorBox("Ошибка открытия файла.");
    link_.close();
    view_.ended(false);
    return;
  }
  view_.log("Write in KB901X file:");
  view_.log(*path);
  view_.setGaugeMax(kb90::kGauge, kb90::kGaugeMax);
  view_.setGaugeColour(kb90::kGauge, colour::kRed);
  view_.setGauge(kb90::kGauge, 0);
  view_.log("There is a writing KB901X...");
  view_.enable(kb90::kReadButton, false);
  view_.enable(kb90::kExitButton, false);
  view_.enable(kb90::kReadTwiceBox, false);
  startWorker();
  view_.log(TimeStampLine());
  sums_ = {};
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
  else writeAll(stop);
}

void Kb90Operations::finish(bool success, const char* enableButton) {
  link_.close();
  if (File_KB90) File_KB90->close();
  File_KB90.reset();
  view_.enable(enableButton, true);
  view_.enable(kb90::kExitButton, true);
  view_.enable(kb90::kReadTwiceBox, true);
  Mode_KB90.store(Kb90Mode::None);
  view_.ended(success);
}

void Kb90Operations::fail(const std::string& line, bool linkAnswers) {
  const bool reading = Mode_KB90.load() == Kb90Mode::Reading;
  std::string text = line;
  if (File_KB90) {
    const std::string path = File_KB90->path();
    File_KB90->close();
    File_KB90.reset();
    // A dump that stops part-way is not a dump: leaving it would invite writing it back.
    std::error_code error;
    if (reading && std::filesystem::remove(path, error)) text += "; the incomplete file was deleted";
  }
  view_.log(text + ".");
  if (linkAnswers) link_.writeByte(kb90::kFailure);
  finish(false, reading ? kb90::kWriteButton : kb90::kReadButton);
}

bool Kb90Operations::readPass(std::stop_token& stop, std::vector<std::uint8_t>& pass) {
  pass.clear();
  pass.reserve(kb90::kImageSize);
  for (;;) {
    if (stop.stop_requested()) {
      fail("Reading stopped: the window was closed", true);
      return false;
    }
    const BlockResult block = WaitBlock(link_, bounds_.blockMs);
    switch (block) {
      case BlockResult::Ok: break;
      case BlockResult::TimedOut:
        fail("Reading stopped: block " + BlockOf(Counter_KB90) + " did not come from the programmer", true);
        return false;
      case BlockResult::Surplus:
        fail("Reading stopped: the programmer sent more than 256 bytes for block " + BlockOf(Counter_KB90), true);
        return false;
      case BlockResult::Gone:
        fail("Reading stopped: the programmer was disconnected at block " + BlockOf(Counter_KB90), false);
        return false;
    }
    const auto bytes = std::span(link_.buffer.data(), kb90::kBlockSize);
    if (File_KB90 && !File_KB90->write(bytes)) {
      fail("Reading stopped: the file cannot be written", true);
      return false;
    }
    pass.insert(pass.end(), bytes.begin(), bytes.end());
    view_.setGauge(kb90::kGauge, kb90::kGaugePerBlock * Counter_KB90);
    if (Counter_KB90 == kb90::kBlockCount) break;
    link_.writeByte(kb90::kNext);
    ++Counter_KB90;
  }
  // Bytes after the last block mean the stream was out of step: the dump cannot be trusted.
  if (link_.getStatus() == FT_OK && link_.rxQueue > 0) {
    fail("Reading stopped: the programmer sent more than 256 bytes for block " + BlockOf(Counter_KB90), true);
    return false;
  }
  // The dump must be on the disk before it is reported saved.
  if (File_KB90 && !File_KB90->close()) {
    fail("Reading stopped: the file cannot be written", true);
    return false;
  }
  link_.writeByte(kb90::kEndTransfer);
  view_.log("Reading completed successfully.");
  view_.log(TimeStampLine());
  link_.writeByte(kb90::kSuccess);
  link_.close();
  return true;
}

void Kb90Operations::readAll(std::stop_token& stop) {
  if (!readPass(stop, dump_)) return;
  if (!readTwiceNow_) {
    view_.log(DumpPatternLine(CheckDumpPattern(dump_), LogLanguage::English));
    finish(true, kb90::kWriteButton);
    return;
  }
  if (!startSecondRead(stop) || !readPass(stop, second_)) return;
  compareAndSave();
}

bool Kb90Operations::startSecondRead(std::stop_token& stop) {
  if (stop.stop_requested()) {
    fail("Reading stopped: the window was closed", false);
    return false;
  }
  view_.log("Reading KB9012 again to compare ...");
  if (!openAndCheck()) {
    view_.log("The second read did not start; the file is not written.");
    finish(false, kb90::kWriteButton);
    return false;
  }
  view_.setGaugeColour(kb90::kGauge, colour::kGreen);
  view_.setGauge(kb90::kGauge, 0);
  view_.log(TimeStampLine());
  Counter_KB90 = 1;
  link_.writeByte(kb90::kRead);
  return true;
}

void Kb90Operations::compareAndSave() {
  const auto difference = CompareDumps(dump_, second_);
  view_.log(ReadTwiceLine(difference, LogLanguage::English));
  if (difference) {
    finish(false, kb90::kWriteButton);
    return;
  }
  auto file = DumpFile::Create(dumpPath_);
  const bool saved = file && file->write(dump_) && file->close();
  if (!saved) {
    std::error_code error;
    if (file) {
      file->close();
      std::filesystem::remove(dumpPath_, error);  // a part of a dump is no dump
    }
    view_.log("The file " + dumpPath_ + " cannot be written; the dump is not saved.");
    finish(false, kb90::kWriteButton);
    return;
  }
  view_.log(DumpPatternLine(CheckDumpPattern(dump_), LogLanguage::English));
  finish(true, kb90::kWriteButton);
}

bool Kb90Operations::writeAll(std::stop_token& stop) {
  std::size_t offset = 0;
  for (;;) {
    if (stop.stop_requested()) {
      fail("Writing stopped: the window was closed", true);
      return false;
    }
    const WaitResult ready = WaitAckByte(link_, bounds_.readyMs);
    if (ready != WaitResult::Ok) {
      fail("Writing stopped: the programmer was not ready for block " + BlockOf(Counter_KB90),
           ready != WaitResult::Gone);
      return false;
    }
    std::array<std::uint8_t, kb90::kBlockSize> block;
    block.fill(0xFF);
    const std::size_t n = std::min(kb90::kBlockSize, image_.size() - offset);
    std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(offset), n, block.begin());
    offset += n;
    if (n < kb90::kBlockSize) {
      view_.log(" __ Warning __");
      view_.log("Recorded file is less than 128*1024 byte");
      link_.write(block);
      const WaitResult done = WaitAckByte(link_, bounds_.doneMs);
      if (done != WaitResult::Ok) {
        fail("Writing stopped: the programmer did not confirm block " + BlockOf(Counter_KB90),
             done != WaitResult::Gone);
        return false;
      }
      link_.writeByte(kb90::kEndTransfer);
      link_.writeByte(kb90::kSuccess);
      link_.close();
      view_.log(TimeStampLine());
      // Written but not verified: the command line must not call that a success.
      finish(false, kb90::kReadButton);
      return false;
    }
    link_.write(block);
    sums_.add(block);
    view_.setGauge(kb90::kGauge, kb90::kGaugePerBlock * Counter_KB90);
    ++Counter_KB90;
    const WaitResult done = WaitAckByte(link_, bounds_.doneMs);
    if (done != WaitResult::Ok) {
      fail("Writing stopped: the programmer did not confirm block " + BlockOf(Counter_KB90 - 1),
           done != WaitResult::Gone);
      return false;
    }
    if (Counter_KB90 == kb90::kBlockCount + 1) return verify(stop);
    link_.writeByte(kb90::kNext);
  }
}

bool Kb90Operations::verify(std::stop_token&) {
  link_.writeByte(kb90::kEndTransfer);
  view_.log("Writing is completed successfully.");
  view_.log(kStars);
  view_.log("SUMM of data from a file  -> " + Hex4(sums_.SUMM_KB90));
  view_.log("CRC16 of data from a file -> " + Hex4(sums_.CRC16_KB90));
  view_.log(kStars);
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
    if (gone) fail("Verify stopped: the programmer was disconnected", false);
    else if (answer.marks < kb90::kBlockCount)
      fail("Verify stopped: progress mark " + BlockOf(answer.marks + 1) + " did not come from the programmer", true);
    else fail("Verify stopped: the checksum did not come from the programmer", true);
    return false;
  }
  const auto& b = answer.bytes;
  view_.log("SUMM FLASH KB90XX -> " + Hex2(b[1]) + Hex2(b[0]));
  view_.log("CRC16 FLASH KB90XX-> " + Hex2(b[3]) + Hex2(b[2]));
  const bool match = (b[1] * 256 + b[0]) == sums_.SUMM_KB90 && (b[3] * 256 + b[2]) == sums_.CRC16_KB90;
  if (match) {
    view_.log(kStars);
    view_.log("Writing and verify is OK !");
    link_.writeByte(kb90::kSuccess);
  } else {
    view_.log("!!! Data is written incorrectly !!! ");
    link_.writeByte(kb90::kFailure);
  }
  view_.log(TimeStampLine());
  finish(match, kb90::kReadButton);
  return match;
}

}  // namespace jig
