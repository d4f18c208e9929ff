#pragma once
// What the EDID window's buttons do. Both operations are short and run in the click: the
// programmer is opened, the EEPROM image exchanged, the programmer closed again.
#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "link/ProgrammerLink.h"
#include "link/TaskView.h"
#include "link/limits.h"

namespace jig {

// How long each answer of the programmer is waited for (tests shorten them).
struct EdidBounds {
  std::uint32_t readAnswerMs = limits::kEdidReadTimeoutMs;
  std::uint32_t readyMs = limits::kEdidReadyTimeoutMs;
  std::uint32_t writeStatusMs = limits::kEdidWriteTimeoutMs;
};

// The log texts of the window.
namespace edid_text {
inline constexpr const char* kReading = "Reading EEPROM ...";
inline constexpr const char* kNoEepromRead = "EEPROM does not respond, check the connection !!!";
inline constexpr const char* kReadDone = "Reading from the EEPROM is completed successfully.";
inline constexpr const char* kSaveInterrupted = "Write to file is interrupted.";
inline constexpr const char* kCreateFailed = "Ошибка создания файла.";
inline constexpr const char* kSaveFile = "Save the file: ";
inline constexpr const char* kWriteInterrupted = "Write operation is interrupted.";
inline constexpr const char* kOpenFailed = "Ошибка открытия файла.";
inline constexpr const char* kWriting = "Writing EEPROM ...";
inline constexpr const char* kWriteDone = "Writing data to EEPROM is completed successfully.";
inline constexpr const char* kNoEepromWrite = "EEPROM does not respond, or write error! WP 7 pin = '0' ?";
// Beyond the documented texts: answers that never came or that make no sense.
inline constexpr const char* kReadNoAnswer = "The programmer does not answer the EEPROM read (timeout).";
inline constexpr const char* kReadyNoAnswer = "The programmer does not answer the EEPROM write command (timeout).";
inline constexpr const char* kWriteNoAnswer = "The programmer does not report the end of the EEPROM write (timeout).";
inline constexpr const char* kProgrammerGone = "The programmer is disconnected.";
inline constexpr const char* kReadBadStatus = "Unknown EEPROM read status from the programmer, the data is not kept.";
inline constexpr const char* kWriteBadStatus = "Unknown EEPROM write status from the programmer, the result is not known.";
inline constexpr const char* kFileWriteFailed = "The file could not be written completely.";
// The check of the image before a write and the checksum fix.
inline constexpr const char* kNotWritten = "The image is not written to the EEPROM: its checksum is wrong.";
inline constexpr const char* kWrittenAnyway = "The image is written with its wrong checksum, as confirmed.";
inline constexpr const char* kNotAnEdid = "The image is not written to the EEPROM: it does not look like an EDID.";
inline constexpr const char* kWrittenAsItIs = "The image is written as it is, as confirmed.";
inline constexpr const char* kFixInterrupted = "Fix checksum is interrupted: no file chosen.";
inline constexpr const char* kFixNothing = "Fix checksum: the checksums are already correct, the file is not changed.";
inline constexpr const char* kFixNotEdid =
    "Fix checksum: the EDID header is wrong, this is not an EDID image; the file is not changed.";
inline constexpr const char* kFixWrongSize = "Fix checksum: the file must be 128 or 256 bytes long; it is not changed.";
inline constexpr const char* kFixSaved = "Fix checksum: the corrected file is saved.";
}  // namespace edid_text

class EdidOperations {
 public:
  EdidOperations(D2xx& d2xx, TaskView& view, EdidBounds bounds = {});

  void EDID_READClick();
  void EDID_WRITEClick();
  void EXIT_EDIDClick();
  // Asks for an image file, corrects its block checksums and saves it in place.
  void FixChecksumClick();

  // Backup before write: taken when a write starts. Off, the write is the documented one.
  void setBackup(bool on) { backup_.store(on); }
  bool backup() const { return backup_.load(); }

  static FileDialog SaveDialog1();
  static FileDialog OpenDialog1();

 private:
  // 'I' after success, 'O' after failure, then the handle is closed.
  void finish(std::uint8_t signal);
  // Logs the line, sends 'O', closes and ends as a failure.
  void failWithSignal(const char* line);
  void failWithoutSignal(const char* line);
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
  std::atomic<bool> backup_{true};
};

}  // namespace jig
