#include "Edid/EdidOperations.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>
#include <span>

#include "Edid/EdidDecode.h"
#include "Edid/EdidDump.h"
#include "link/DumpChecks.h"
#include "link/DumpFile.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"

namespace jig {

namespace {

// 256 image bytes and the two status characters.
constexpr std::size_t kReadAnswerSize = kEdidImageSize + 2;

enum class Status { Ok, Er, Other };

Status StatusOf(const std::uint8_t* two) {
  if (two[0] == 'O' && two[1] == 'K') return Status::Ok;
  if (two[0] == 'E' && two[1] == 'R') return Status::Er;
  return Status::Other;
}

// Re-entry guard: the window's thread can only come back here through a dialog's own
// event loop; such a click is ignored.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

}  // namespace

EdidOperations::EdidOperations(D2xx& d2xx, TaskView& view, EdidBounds bounds)
    : link_(d2xx, kReadAnswerSize), view_(view), bounds_(bounds) {}

FileDialog EdidOperations::SaveDialog1() {
  return {"Укажите имя файла для сохранения.", "BIN файлы EEPROM (*.bin)|*.bin", ".bin", "Noname", true};
}

FileDialog EdidOperations::OpenDialog1() {
  return {"Укажите файл за заливки.", "BIN файлы EEPROM (*.bin)|*.bin|Другие|*.*", "", "", false};
}

void EdidOperations::finish(std::uint8_t signal) {
  link_.writeByte(signal);
  link_.close();
}

void EdidOperations::failWithSignal(const char* line) {
  view_.log(line);
  finish('O');
  view_.ended(false);
}

void EdidOperations::failWithoutSignal(const char* line) {
  view_.log(line);
  link_.close();
  view_.ended(false);
}

void EdidOperations::logDump(const std::uint8_t* image) {
  for (auto& line : EdidDump(std::span<const std::uint8_t>(image, kEdidImageSize))) view_.log(std::move(line));
}

void EdidOperations::logSummary(std::span<const std::uint8_t> image) {
  for (auto& line : EdidSummary(DecodeEdid(image))) view_.log(std::move(line));
}

void EdidOperations::EDID_READClick() {
  if (busy_) return;
  BusyScope scope(busy_);
  view_.clearLog();
  if (OpenProgrammer(link_, profiles::kEdid, view_) != OpenResult::Ready) {
    view_.ended(false);
    return;
  }
  view_.log(edid_text::kReading);
  const std::uint8_t command[2] = {'E', 'r'};
  link_.write(command);
  DWORD gathered = 0;
  const WaitResult gather = Gather(link_, kReadAnswerSize, bounds_.readAnswerMs, gathered);
  if (gather == WaitResult::Gone) return failWithoutSignal(edid_text::kProgrammerGone);
  if (gather == WaitResult::TimedOut) {
    return failWithSignal(edid_text::kReadNoAnswer);
  }
  std::array<std::uint8_t, kEdidImageSize> image{};
  std::copy_n(link_.buffer.begin(), kEdidImageSize, image.begin());
  switch (StatusOf(link_.buffer.data() + kEdidImageSize)) {
    case Status::Er:
      view_.log(edid_text::kNoEepromRead);
      view_.log("");
      finish('O');
      view_.ended(false);
      return;
    case Status::Other:
      // Neither "OK" nor "ER": the programmer is closed without a signal, but the user is told.
      return failWithoutSignal(edid_text::kReadBadStatus);
    case Status::Ok:
      break;
  }
  view_.log(edid_text::kReadDone);
  logDump(image.data());
  view_.log("");
  finish('I');
  // What the image is, and whether it looks like an EEPROM at all, before it is saved.
  logSummary(image);
  view_.log(DumpPatternLine(CheckDumpPattern(image), LogLanguage::English));

  const auto name = view_.askSaveFile(SaveDialog1());
  if (!name) {
    view_.log(edid_text::kSaveInterrupted);
    view_.ended(false);
    return;
  }
  view_.repaint();
  auto file = DumpFile::Create(*name);
  if (!file) {
    view_.errorBox(edid_text::kCreateFailed);
    view_.log("");
    view_.ended(false);
    return;
  }
  view_.log(edid_text::kSaveFile);
  view_.log(*name);
  const bool written = file->write(image);
  const bool closed = file->close();
  if (!written || !closed) {
    view_.log(edid_text::kFileWriteFailed);
    view_.ended(false);
    return;
  }
  view_.ended(true);
}

void EdidOperations::EDID_WRITEClick() {
  if (busy_) return;
  BusyScope scope(busy_);
  view_.clearLog();
  if (OpenProgrammer(link_, profiles::kEdid, view_) != OpenResult::Ready) {
    view_.ended(false);
    return;
  }
  const auto name = view_.askOpenFile(OpenDialog1());
  if (!name) return failWithoutSignal(edid_text::kWriteInterrupted);
  view_.repaint();
  auto file = DumpFile::OpenForReading(*name);
  if (!file) {
    view_.errorBox(edid_text::kOpenFailed);
    view_.log("");
    link_.close();
    view_.ended(false);
    return;
  }
  view_.log(edid_text::kWriting);
  const auto image = ReadEdidImage(*file);
  file->close();

  logSummary(image);
  const EdidInfo info = DecodeEdid(image);
  if (info.base && !info.base->valid()) {
    // A panel with a wrong base-block checksum is usually ignored by the laptop: write only
    // when the technician says so. Nothing has been sent for the write yet.
    if (!view_.askYesNo(WrongChecksumQuestion(*info.base))) return failWithoutSignal(edid_text::kNotWritten);
    view_.log(edid_text::kWrittenAnyway);
  }

  const std::uint8_t command[2] = {'E', 'w'};
  link_.write(command);
  const WaitResult ready = QueueWait(link_, 1, bounds_.readyMs);
  if (ready == WaitResult::Gone) return failWithoutSignal(edid_text::kProgrammerGone);
  if (ready == WaitResult::TimedOut) {
    return failWithSignal(edid_text::kReadyNoAnswer);
  }
  logDump(image.data());
  view_.log("");

  link_.write(image);
  const WaitResult status = QueueWait(link_, 2, bounds_.writeStatusMs);
  if (status == WaitResult::Gone) return failWithoutSignal(edid_text::kProgrammerGone);
  if (status == WaitResult::TimedOut) {
    return failWithSignal(edid_text::kWriteNoAnswer);
  }
  switch (StatusOf(link_.buffer.data())) {
    case Status::Ok:
      view_.log(edid_text::kWriteDone);
      finish('I');
      view_.ended(true);
      return;
    case Status::Er:
      return failWithSignal(edid_text::kNoEepromWrite);
    case Status::Other:
      return failWithoutSignal(edid_text::kWriteBadStatus);
  }
}

void EdidOperations::FixChecksumClick() {
  if (busy_) return;
  BusyScope scope(busy_);
  view_.clearLog();
  const auto name = view_.askOpenFile(OpenDialog1());
  if (!name) {
    view_.log(edid_text::kFixInterrupted);
    view_.ended(false);
    return;
  }
  view_.repaint();
  // One byte more than an image holds tells a longer file from a whole one.
  std::array<std::uint8_t, kEdidImageSize + 1> bytes{};
  std::size_t size = 0;
  {
    auto file = DumpFile::OpenForReading(*name);
    if (!file) {
      view_.errorBox(edid_text::kOpenFailed);
      view_.log("");
      view_.ended(false);
      return;
    }
    while (size < bytes.size()) {
      const std::size_t got = file->read(std::span<std::uint8_t>(bytes).subspan(size));
      if (got == 0) break;
      size += got;
    }
    file->close();
  }
  // Only a whole base block or a base block and its extension have checksum bytes where
  // this fix puts them.
  if (size != kEdidBlockSize && size != kEdidImageSize) {
    view_.log(edid_text::kFixWrongSize);
    view_.ended(false);
    return;
  }
  const std::span<std::uint8_t> image(bytes.data(), size);
  if (!DecodeEdid(image).headerValid) {
    // A right checksum would make garbage look like a sound EDID to the write's check.
    view_.log(edid_text::kFixNotEdid);
    view_.ended(false);
    return;
  }
  const auto fixes = FixEdidChecksums(image);
  if (fixes.empty()) {
    view_.log(edid_text::kFixNothing);
    logSummary(image);
    view_.ended(true);
    return;
  }
  for (const auto& fix : fixes) view_.log(ChecksumFixLine(fix));
  // The corrected image goes to a file beside the original and replaces it only when
  // whole on the disk, so a failed save never leaves the technician without the image.
  const std::string temporary = *name + ".fix";
  auto out = DumpFile::Create(temporary);
  bool saved = false;
  if (out) {
    const bool written = out->write(image);
    const bool closed = out->close();
    std::error_code error;
    if (written && closed) std::filesystem::rename(temporary, *name, error);
    saved = written && closed && !error;
  }
  if (!saved) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    view_.errorBox(edid_text::kCreateFailed);
    view_.log("");
    view_.ended(false);
    return;
  }
  view_.log(edid_text::kFixSaved);
  view_.log(*name);
  logSummary(image);
  view_.ended(true);
}

void EdidOperations::EXIT_EDIDClick() {
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
}

}  // namespace jig
