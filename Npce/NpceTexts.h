#pragma once
// Every text the NPCE operations show, in one place (the window's own captions stay with
// the window).
namespace jig::npce::text {

// The window's log lines as the firmware's program shows them.
inline constexpr const char* kIdOk = "Communication with NPCE installed.";
inline constexpr const char* kIdLine = "ID FLASH EFh 4012h ";
inline constexpr const char* kNoConnection = "No connection to the NPCE!";
inline constexpr const char* kCheckSoldering = "Check soldering NPCE or chip damaged.";
inline constexpr const char* kSaveInterrupted = "Write to file is interrupted.";
inline constexpr const char* kCreateFailed = "Ошибка создания файла.";
inline constexpr const char* kSaveTheFile = "Save the file: ";
inline constexpr const char* kReading = "Reading ...";
inline constexpr const char* kReadingComplete = "Reading complete ...";
inline constexpr const char* kCorrupted = "ERROR timeout. Corrupted data !? ";
inline constexpr const char* kWriteInterrupted = "Write operation is interrupted.";
inline constexpr const char* kOpenFailed = "Ошибка открытия файла.";
inline constexpr const char* kWriteFile = "Write to NPCE file:";
inline constexpr const char* kErase = "Erase ...";
inline constexpr const char* kEraseFailed = "** Lost contact with the chip or ERROR timeout **";
inline constexpr const char* kCheckClear = "Check clear data ...";
inline constexpr const char* kAllClear = "All data is clear!";
inline constexpr const char* kWrite = "Write ...";
inline constexpr const char* kNotClear = "** Data not clear !**";
inline constexpr const char* kProtocolError = "** HOST/Q27 Protocol ERROR **";
inline constexpr const char* kBlockFailed = "** ERROR write or ERROR timeout **";
inline constexpr const char* kVerify = "Verify ...";
inline constexpr const char* kShortBlock = "Принято не 512 байт  ";
inline constexpr const char* kProgrammed = "Nuvoton chip is programmed succesfully!";
inline constexpr const char* kWrittenIncorrectly = "*** Data is written incorrectly ***";

// The file dialogs.
inline constexpr const char* kSaveTitle = "Укажите имя файла для сохранения.";
inline constexpr const char* kSaveFilter = "BIN файл NPCE (*.bin)|*.bin";
inline constexpr const char* kOpenTitle = "Укажите файл за заливки.";
inline constexpr const char* kOpenFilter = "BIN файл NPCE (*.bin)|*.bin|Другие|*.*";
inline constexpr const char* kBinExtension = ".bin";
inline constexpr const char* kDefaultName = "Noname";

// What did not answer: "No answer from the programmer: <what> did not come within N ms."
inline constexpr const char* kGonePrefix = "The programmer is gone (unplugged?) while waiting for ";
inline constexpr const char* kNoAnswerPrefix = "No answer from the programmer: ";
inline constexpr const char* kNoAnswerMiddle = " did not come within ";
inline constexpr const char* kNoAnswerSuffix = " ms.";
inline constexpr const char* kFullStop = ".";
inline constexpr const char* kWhatSignalAnswer = "the answer to the signal 'I'";
inline constexpr const char* kWhatEndAnswer = "the answer to '-'";
inline constexpr const char* kWhatEraseEnd = "the end of the erase";
inline constexpr const char* kWhatBlankCheck = "the answer of the blank check";
inline constexpr const char* kWhatReadyByte = "the ready byte '*'";
inline constexpr const char* kWhatTransmission = "the transmission";
inline constexpr const char* kWhatStatus = "the status";
inline constexpr const char* kWhatEndWriting = "the answer to 07h";
// Before "N of M": "block N of 256", "read-back block N of 256", " of block N of 512".
inline constexpr const char* kBlock = "block ";
inline constexpr const char* kReadBackBlock = "read-back block ";
inline constexpr const char* kOfBlock = " of block ";

// Where a run broke off.
inline constexpr const char* kFilePrefix = "The file ";
inline constexpr const char* kFileRefusedAt = " cannot be written; the read is stopped at block ";
inline constexpr const char* kReadInterruptedAt = "The read is stopped: the operation was interrupted at block ";
inline constexpr const char* kEraseAnswerLength = "The answer to the erase came with ";
inline constexpr const char* kEraseAnswerLengthEnd = " bytes instead of 2.";
inline constexpr const char* kWriteInterruptedAt = "The write is stopped: the operation was interrupted at block ";
inline constexpr const char* kVerifyInterrupted = "The verify is stopped: the operation was interrupted.";

}  // namespace jig::npce::text
