#pragma once
// Every text the EDID operations show, in one place (the window's own captions stay with
// the window).
namespace jig::edid::text {

// The log lines.
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

// The file dialogs.
inline constexpr const char* kSaveTitle = "Укажите имя файла для сохранения.";
inline constexpr const char* kSaveFilter = "BIN файлы EEPROM (*.bin)|*.bin";
inline constexpr const char* kOpenTitle = "Укажите файл за заливки.";
inline constexpr const char* kOpenFilter = "BIN файлы EEPROM (*.bin)|*.bin|Другие|*.*";
inline constexpr const char* kBinExtension = ".bin";
inline constexpr const char* kDefaultName = "Noname";

}  // namespace jig::edid::text
