#include "Edid/EdidOperations.h"

#include <algorithm>
#include <ctime>
#include <array>
#include <filesystem>
#include <system_error>
#include <span>

#include "Edid/EdidDecode.h"
#include "Edid/EdidDump.h"
#include "Edid/EdidFamily.h"
#include "files/Backups.h"
#include "job/JobVerdict.h"
#include "files/DumpCapture.h"
#include "files/DumpChecks.h"
#include "files/DumpSink.h"
#include "files/ImageQuestion.h"
#include "link/NoAnswerLine.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"
#include "files/SourceFile.h"

namespace jig {

using namespace edid;

namespace {

// 256 image bytes and the two status characters.
constexpr std::size_t kReadAnswerSize = kEdidImageSize + 2;
// The answers that may not come: the image read, the write's ready byte, its status.
constexpr NoAnswerWording kReadAnswer{edid::text::kProgrammerGone, "", edid::text::kReadNoAnswer, ""};
constexpr NoAnswerWording kReadyAnswer{edid::text::kProgrammerGone, "", edid::text::kReadyNoAnswer, ""};
constexpr NoAnswerWording kWriteEnd{edid::text::kProgrammerGone, "", edid::text::kWriteNoAnswer, ""};

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
  return {edid::text::kSaveTitle, edid::text::kSaveFilter, edid::text::kBinExtension, edid::text::kDefaultName, true};
}

FileDialog EdidOperations::OpenDialog1() {
  return {edid::text::kOpenTitle, edid::text::kOpenFilter, {}, {}, false};
}

void EdidOperations::endJob(bool success) {
  report_.port = link_.port;
  report_.firmware = link_.firmware;
  EndJobReport(report_, success, view_, LogLanguage::English);
  view_.ended(success);
}

void EdidOperations::finish(std::uint8_t signal) {
  link_.writeByte(signal);
  link_.close();
}

void EdidOperations::failWithSignal(std::string_view line) {
  view_.log(std::string(line));
  finish('O');
  endJob(false);
}

void EdidOperations::failWithoutSignal(std::string_view line) {
  view_.log(std::string(line));
  link_.close();
  endJob(false);
}

void EdidOperations::failNoAnswer(const NoAnswerWording& wording, WaitResult result) {
  const std::string line = NoAnswerLine(wording, result);
  if (result == WaitResult::Gone) failWithoutSignal(line);  // nobody to take the end byte
  else failWithSignal(line);
}

void EdidOperations::logDump(const std::uint8_t* image) {
  for (auto& line : EdidDump(std::span<const std::uint8_t>(image, kEdidImageSize))) view_.log(std::move(line));
}

void EdidOperations::logSummary(std::span<const std::uint8_t> image) {
  for (auto& line : EdidSummary(DecodeEdid(image))) view_.log(std::move(line));
}

bool EdidOperations::readEeprom(std::array<std::uint8_t, kEdidImageSize>& image) {
  const std::uint8_t command[2] = {'E', 'r'};
  link_.write(command);
  DWORD gathered = 0;
  const WaitResult gather = Gather(link_, kReadAnswerSize, bounds_.readAnswerMs, gathered);
  if (gather != WaitResult::Ok) {
    view_.log(NoAnswerLine(kReadAnswer, gather));
    // A programmer that went away takes no end byte.
    if (gather == WaitResult::Gone) link_.close();
    else finish('O');
    return false;
  }
  std::copy_n(link_.buffer.begin(), kEdidImageSize, image.begin());
  switch (StatusOf(link_.buffer.data() + kEdidImageSize)) {
    case Status::Er:
      view_.log(edid::text::kNoEepromRead);
      view_.log("");
      finish('O');
      return false;
    case Status::Other:
      // Neither "OK" nor "ER": the programmer is closed without a signal, but the user is told.
      view_.log(edid::text::kReadBadStatus);
      link_.close();
      return false;
    case Status::Ok:
      break;
  }
  view_.log(edid::text::kReadDone);
  logDump(image.data());
  view_.log("");
  finish('I');
  return true;
}

void EdidOperations::read() {
  if (busy_) return;
  BusyScope scope(busy_);
  report_ = NewJobReport(kTask, "read", label_);
  view_.clearLog();
  if (OpenProgrammer(link_, profiles::kEdid, view_) != OpenResult::Ready) {
    endJob(false);
    return;
  }
  view_.log(edid::text::kReading);
  std::array<std::uint8_t, kEdidImageSize> image{};
  if (!readEeprom(image)) {
    endJob(false);
    return;
  }
  // What the image is, and whether it looks like an EEPROM at all, before it is saved.
  logSummary(image);
  view_.log(DumpPatternLine(CheckDumpPattern(image), LogLanguage::English));

  const auto name = view_.askSaveFile(SaveDialog1());
  if (!name) {
    view_.log(edid::text::kSaveInterrupted);
    report_.stage = JobStage::CalledOff;
    endJob(false);
    return;
  }
  view_.repaint();
  int createError = 0;
  auto file = DumpSink::Create(*name, &createError);
  if (!file) {
    view_.errorBox(edid::text::kCreateFailed);
    view_.log(CreateFailedLine(*name, createError, LogLanguage::English));
    view_.log("");
    endJob(false);
    return;
  }
  view_.log(edid::text::kSaveFile);
  view_.log(*name);
  if (!file->write(image) || !file->commit()) {
    view_.log(edid::text::kFileWriteFailed);
    endJob(false);
    return;
  }
  report_.file = *name;
  endJob(true);
}

bool EdidOperations::confirmWrite(const std::string& path, std::span<const std::uint8_t> file,
                                  std::span<const std::uint8_t> image) {
  if (!ConfirmImage(view_, path, file, kEdidImageSize, LogLanguage::English)) return false;
  // A whole image of nothing but FFh or 00h was asked about already.
  if (file.size() == kEdidImageSize && IsBlankImage(file)) return true;
  const auto question = EdidWriteQuestion(DecodeEdid(image), image);
  if (!question) return true;
  // A panel with a wrong header or checksum is usually ignored by the laptop: write only
  // when the technician says so. Nothing has been sent for the write yet.
  const bool checksumOnly = DecodeEdid(image).headerValid && !IsOneRepeatedByte(image);
  if (!view_.askYesNo(*question)) {
    view_.log(checksumOnly ? edid::text::kNotWritten : edid::text::kNotAnEdid);
    return false;
  }
  view_.log(checksumOnly ? edid::text::kWrittenAnyway : edid::text::kWrittenAsItIs);
  return true;
}

bool EdidOperations::backUp() {
  view_.log(BackupStartLine(LogLanguage::English));
  std::array<std::uint8_t, kEdidImageSize> old{};
  if (OpenProgrammer(link_, profiles::kEdid, view_) != OpenResult::Ready || !readEeprom(old)) {
    link_.close();
    view_.log(BackupReadFailedLine(LogLanguage::English));
    return false;
  }
  const SavedBackup saved = KeepBackup(view_, kTask, old, LogLanguage::English);
  if (saved.ok) {
    report_.backupPath = saved.path;
    report_.backupSha256 = saved.sha256;
  }
  return saved.ok;
}

void EdidOperations::write() {
  if (busy_) return;
  BusyScope scope(busy_);
  report_ = NewJobReport(kTask, "write", label_);
  view_.clearLog();
  if (OpenProgrammer(link_, profiles::kEdid, view_) != OpenResult::Ready) {
    endJob(false);
    return;
  }
  const auto name = view_.askOpenFile(OpenDialog1());
  if (!name) {
    report_.stage = JobStage::CalledOff;
    return failWithoutSignal(edid::text::kWriteInterrupted);
  }
  view_.repaint();
  std::array<std::uint8_t, kEdidImageSize> image{};
  if (!takeWriteImage(*name, image)) return;
  report_.file = *name;
  // The copy of the EEPROM is read through its own open; the write then opens anew.
  if (backup_.load()) {
    link_.close();
    if (!backUp() || OpenProgrammer(link_, profiles::kEdid, view_) != OpenResult::Ready) {
      link_.close();
      endJob(false);
      return;
    }
  }
  sendImage(image);
}

bool EdidOperations::takeWriteImage(const std::string& name, std::array<std::uint8_t, kEdidImageSize>& image) {
  const SourceFile source = ReadSourceFile(name, kEdidImageSize);
  if (source.problem == SourceProblem::CannotOpen) {
    view_.errorBox(edid::text::kOpenFailed);
    view_.log("");
    link_.close();
    endJob(false);
    return false;
  }
  if (!source.ok()) {
    failWithoutSignal(SourceProblemLine(name, source, kEdidImageSize, LogLanguage::English).c_str());
    return false;
  }
  view_.log(edid::text::kWriting);
  image = EdidWriteImage(source.bytes);

  logSummary(image);
  if (!confirmWrite(name, source.bytes, image)) {
    report_.stage = JobStage::CalledOff;
    link_.close();
    endJob(false);
    return false;
  }
  return true;
}

void EdidOperations::sendImage(const std::array<std::uint8_t, kEdidImageSize>& image) {
  const std::uint8_t command[2] = {'E', 'w'};
  link_.write(command);
  const WaitResult ready = QueueWait(link_, 1, bounds_.readyMs);
  if (ready != WaitResult::Ok) return failNoAnswer(kReadyAnswer, ready);
  logDump(image.data());
  view_.log("");

  // From here the EEPROM may hold part of the image.
  report_.stage = JobStage::Programming;
  link_.write(image);
  const WaitResult status = QueueWait(link_, 2, bounds_.writeStatusMs);
  if (status != WaitResult::Ok) return failNoAnswer(kWriteEnd, status);
  switch (StatusOf(link_.buffer.data())) {
    case Status::Ok:
      view_.log(edid::text::kWriteDone);
      finish('I');
      endJob(true);
      return;
    case Status::Er:
      // The EEPROM refused the write (write-protected, or not answering): it should hold
      // what it held.
      report_.stage = JobStage::Refused;
      return failWithSignal(edid::text::kNoEepromWrite);
    case Status::Other:
      return failWithoutSignal(edid::text::kWriteBadStatus);
  }
}

void EdidOperations::fixChecksum() {
  if (busy_) return;
  BusyScope scope(busy_);
  view_.clearLog();
  const auto name = view_.askOpenFile(OpenDialog1());
  if (!name) {
    view_.log(edid::text::kFixInterrupted);
    view_.ended(false);
    return;
  }
  view_.repaint();
  FixSource bytes{};
  const std::optional<std::size_t> read = readFixSource(*name, bytes);
  if (!read) return;
  const std::size_t size = *read;
  // Only a whole base block or a base block and its extension have checksum bytes where
  // this fix puts them.
  if (size != kEdidBlockSize && size != kEdidImageSize) {
    view_.log(edid::text::kFixWrongSize);
    view_.ended(false);
    return;
  }
  const std::span<std::uint8_t> image(bytes.data(), size);
  if (!DecodeEdid(image).headerValid) {
    // A right checksum would make garbage look like a sound EDID to the write's check.
    view_.log(edid::text::kFixNotEdid);
    view_.ended(false);
    return;
  }
  const auto fixes = FixEdidChecksums(image);
  if (fixes.empty()) {
    view_.log(edid::text::kFixNothing);
    logSummary(image);
    view_.ended(true);
    return;
  }
  for (const auto& fix : fixes) view_.log(ChecksumFixLine(fix));
  // The corrected image goes to a file beside the original and replaces it only when
  // whole on the disk, so a failed save never leaves the technician without the image. A
  // link stays a link: the file it names is the one fixed.
  std::error_code ec;
  const std::string target = std::filesystem::is_symlink(*name, ec) ? std::filesystem::canonical(*name, ec).string() : *name;
  int createError = 0;
  auto out = DumpSink::Create(ec ? *name : target, &createError);
  if (!out || !out->write(image) || !out->commit()) {
    view_.errorBox(edid::text::kCreateFailed);
    view_.log(CreateFailedLine(*name, out ? out->error() : createError, LogLanguage::English));
    view_.log("");
    view_.ended(false);
    return;
  }
  view_.log(edid::text::kFixSaved);
  view_.log(*name);
  logSummary(image);
  view_.ended(true);
}

std::optional<std::size_t> EdidOperations::readFixSource(const std::string& name, FixSource& bytes) {
  const SourceFile source = ReadSourceFile(name, bytes.size());
  if (source.problem == SourceProblem::CannotOpen) {
    view_.errorBox(edid::text::kOpenFailed);
    view_.log("");
    view_.ended(false);
    return std::nullopt;
  }
  // Too large is told by the size check that follows; anything else is no file to fix.
  if (!source.ok() && source.problem != SourceProblem::TooLarge) {
    view_.log(SourceProblemLine(name, source, bytes.size(), LogLanguage::English, ChipInvolved::No));
    view_.ended(false);
    return std::nullopt;
  }
  std::copy(source.bytes.begin(), source.bytes.end(), bytes.begin());
  return source.problem == SourceProblem::TooLarge ? bytes.size() : source.bytes.size();
}

void EdidOperations::EXIT_EDIDClick() {
  view_.clearLog();
  view_.showWindow("Form1", true);
  view_.showWindow("self", false);
}

}  // namespace jig
