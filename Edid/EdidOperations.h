#pragma once
// What the EDID window's buttons do. Both operations are short and run in the click: the
// programmer is opened, the EEPROM image exchanged, the programmer closed again.
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Edid/EdidDump.h"
#include "Edid/EdidTexts.h"
#include "job/JobReport.h"
#include "link/NoAnswerLine.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "Edid/EdidBounds.h"

namespace jig {

// How long each answer of the programmer is waited for (tests shorten them).
struct EdidBounds {
  std::uint32_t readAnswerMs = limits::kEdidReadTimeoutMs;
  std::uint32_t readyMs = limits::kEdidReadyTimeoutMs;
  std::uint32_t writeStatusMs = limits::kEdidWriteTimeoutMs;
};

class EdidOperations {
 public:
  EdidOperations(D2xx& d2xx, TaskView& view, EdidBounds bounds = {});

  // The read and the write (the window's EDID_READClick and EDID_WRITEClick).
  void read();
  void write();
  void EXIT_EDIDClick();
  // A read, a write or a fix runs (they run in the click, but their dialogs let events in).
  bool busy() const { return busy_; }
  // The journal's and the backups' name for these jobs.
  static constexpr const char* kTask = "edid";
  // The technician's label for the jobs to come (a ticket or board number).
  void setLabel(std::string label) { label_ = std::move(label); }
  // Asks for an image file, corrects its block checksums and saves it in place.
  void fixChecksum();

  // Backup before write: taken when a write starts. Off, the write is the documented one.
  void setBackup(bool on) { backup_.store(on); }
  bool backup() const { return backup_.load(); }

  static FileDialog SaveDialog1();
  static FileDialog OpenDialog1();

 private:
  // The file to write, checked, summarised and confirmed, into image; false when the
  // click has ended.
  bool takeWriteImage(const std::string& name, std::array<std::uint8_t, edid::kEdidImageSize>& image);
  // "Ew", the image, its status and the end of the click.
  void sendImage(const std::array<std::uint8_t, edid::kEdidImageSize>& image);
  // One byte more than an image holds tells a longer file from a whole one.
  using FixSource = std::array<std::uint8_t, edid::kEdidImageSize + 1>;
  // The file to fix and its size (the array's size when longer); nullopt when the click
  // has ended.
  std::optional<std::size_t> readFixSource(const std::string& name, FixSource& bytes);
  // 'I' after success, 'O' after failure, then the handle is closed.
  // The read's or write's verdict line, then its end.
  void endJob(bool success);
  void finish(std::uint8_t signal);
  // Logs the line, sends 'O', closes and ends as a failure.
  void failWithSignal(std::string_view line);
  void failWithoutSignal(std::string_view line);
  // The line for an answer that did not come; 'O' only when the programmer is still there.
  void failNoAnswer(const NoAnswerWording& wording, WaitResult result);
  void logDump(const std::uint8_t* image);
  // The decoded summary of an image; the dump-pattern line too after a read.
  void logSummary(std::span<const std::uint8_t> image);
  // On an open link: 'E' 'r', the image and its status, 'I' or 'O', closed. True with the
  // image when the EEPROM answered "OK".
  bool readEeprom(std::array<std::uint8_t, 256>& image);
  // The questions before a write; false (logged) when the answer was No.
  bool confirmWrite(const std::string& path, std::span<const std::uint8_t> file, std::span<const std::uint8_t> image);
  // Reads the EEPROM through its own open and keeps the copy; false when the write must not start.
  bool backUp();

  ProgrammerLink link_;
  TaskView& view_;
  EdidBounds bounds_;
  bool busy_ = false;
  // The read or write under way, for its verdict line.
  JobReport report_;
  std::string label_;
  std::atomic<bool> backup_{true};
};

}  // namespace jig
