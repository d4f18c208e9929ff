#pragma once
// Every text the KB90xx operations show, in one place (the window's own captions stay
// with the window).
namespace jig::kb90::text {

// The file dialogs.
inline constexpr const char* kSaveTitle = "Укажите имя файла для сохранения.";
inline constexpr const char* kSaveFilter = "BIN файл KB901X (*.bin)|*.bin";
inline constexpr const char* kOpenTitle = "Укажите файл за заливки.";
inline constexpr const char* kOpenFilter = "BIN файл KB901X (*.bin)|*.bin|Другие|*.*";
inline constexpr const char* kBinExtension = ".bin";
inline constexpr const char* kDefaultName = "Noname";

// The read.
inline constexpr const char* kSaveInterrupted = "Write to file is interrupted.";
inline constexpr const char* kCreateFailed = "Ошибка создания файла.";
inline constexpr const char* kSaveTheFile = "Save the file: ";
inline constexpr const char* kReading = "Reading KB9012 ...";
inline constexpr const char* kReadingDone = "Reading completed successfully.";
inline constexpr const char* kReadingAgain = "Reading KB9012 again to compare ...";

// The write and its verify.
inline constexpr const char* kOpenFailed = "Ошибка открытия файла.";
inline constexpr const char* kWriteFile = "Write in KB901X file:";
inline constexpr const char* kWriting = "There is a writing KB901X...";
inline constexpr const char* kWriteInterrupted = "Write operation is interrupted.";
inline constexpr const char* kWarning = " __ Warning __";
inline constexpr const char* kFileShorter = "Recorded file is less than 128*1024 byte";
inline constexpr const char* kWritingDone = "Writing is completed successfully.";
inline constexpr const char* kStars = "**********************************";  // 34
inline constexpr const char* kFileSum = "SUMM of data from a file  -> ";
inline constexpr const char* kFileCrc = "CRC16 of data from a file -> ";
inline constexpr const char* kFlashSum = "SUMM FLASH KB90XX -> ";
inline constexpr const char* kFlashCrc = "CRC16 FLASH KB90XX-> ";
inline constexpr const char* kVerifyOk = "Writing and verify is OK !";
inline constexpr const char* kWrittenIncorrectly = "!!! Data is written incorrectly !!! ";
inline constexpr const char* kWriteStoppedBeforeWrite =
    "Writing stopped: the operation was interrupted before the write; the chip is not touched.";

// Where a run broke off: "<what> " + "N of 512" + "<rest>", then the file's fate.
inline constexpr const char* kFileNotWritten = "; the file is not written.";
inline constexpr const char* kFullStop = ".";
inline constexpr const char* kReadInterruptedAt = "Reading stopped: the operation was interrupted at block ";
inline constexpr const char* kReadBlock = "Reading stopped: block ";
inline constexpr const char* kNotFromProgrammer = " did not come from the programmer";
inline constexpr const char* kReadSurplus = "Reading stopped: the programmer sent more than 256 bytes for block ";
inline constexpr const char* kReadDisconnectedAt = "Reading stopped: the programmer was disconnected at block ";
inline constexpr const char* kReadDiskRefused = "Reading stopped: the disk did not take block ";
inline constexpr const char* kReadInterruptedBeforeSecond =
    "Reading stopped: the operation was interrupted before the second read";
inline constexpr const char* kWriteInterruptedAt = "Writing stopped: the operation was interrupted at block ";
inline constexpr const char* kWriteNotReady = "Writing stopped: the programmer was not ready for block ";
inline constexpr const char* kWriteNotConfirmed = "Writing stopped: the programmer did not confirm block ";
inline constexpr const char* kVerifyDisconnected = "Verify stopped: the programmer was disconnected";
inline constexpr const char* kVerifyMarkMissing = "Verify stopped: progress mark ";
inline constexpr const char* kVerifyNoChecksum = "Verify stopped: the checksum did not come from the programmer";

}  // namespace jig::kb90::text
