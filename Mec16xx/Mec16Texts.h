#pragma once
// Every text the MEC16xx window shows, in one place.
#include <array>
#include <string>
#include <string_view>

#include "view/LogLanguage.h"

namespace jig::mec16::text {

// The window, its controls and dialogs.
inline constexpr std::string_view kCaption = "Чтение и запись MEC16 09_06_16";
inline constexpr std::string_view kProbeCaption = "Проверка отклика от MEC16";
inline constexpr std::string_view kBootLockLabel = "Зеленый=Boot_Lock не установлен";
inline constexpr std::string_view kFwpLabel = "Зеленый=запись/стирание разрешено";
inline constexpr std::string_view kReadInfoCheck = "INFO область тоже читать в файл";
inline constexpr std::string_view kReadCaption = "Чтение FLASH MEC16 ";
inline constexpr std::string_view kEraseInfoCheck = "INFO область тоже стирать";
inline constexpr std::string_view kEraseCaption = "Стирание FLASH MEC16";
inline constexpr std::string_view kWriteInfoCheck = "INFO область тоже записывать";
inline constexpr std::string_view kWriteCaption = "Запись FLASH MEC16";
inline constexpr std::string_view kExitCaption = "СТОП или ВЫХОД";
inline constexpr std::string_view kHelpCaption = "HELP";

// The window verifies a write itself now: the old note that it could not is gone.
inline constexpr std::array<std::string_view, 3> kInitialLog = {
    "Не готова запись INFO блока ",
    "Перед записью нужно стереть! Автоматом пока не делает. ",
    "",
};

inline constexpr std::string_view kSaveTitle = "Укажите имя файла для сохранения.";
inline constexpr std::string_view kSaveFilter = "BIN файл MEC16 (*.bin)|*.bin";
inline constexpr std::string_view kOpenTitle = "Укажите файл за заливки.";
inline constexpr std::string_view kOpenFilter = "BIN файл MEC16 (*.bin)|*.bin|Другие|*.*";

inline constexpr std::array<std::string_view, 16> kHelp = {
    "Распиновка для расширенной версии (PCB2):",
    "1-JRST mec16 (не обязательно!)",
    "2-TMS mec16",
    "3-TDO mec16",
    "5-TCLK mec16",
    "6-GND",
    "7-TDI mec16",
    "Для первой версии (PCB1) 1-JRST оставить без подключения. ",
    "",
    "Для ЗАПИСИ MEC нужно поставить R 2кОм на +3V с ножки nFWP. Снимать R на GND, не нужно.",
    "Проверить, что ножка JTAG_RESET не притянута на GND R 0Ом",
    "",
    "Один из выводов VCI_IN0(D2),VCI_IN1(F4),VCI_IN2(C2),VCI_IN3(E1) посадить перемычкой на землю - зависит от MB.",
    "Для MBX-237 нужно посадить на землю VCI_IN1(F4).",
    "Для работы с MEC, должно присутствовать +3V на всех VTR.",
    "Не тестировалось с MEC1619 - могут быть проблемы с записью.",
};

// The start and end of every operation.
inline constexpr std::string_view kAnswerTo1 = "получили ответ после команды 1";
inline constexpr std::string_view kShortId = "ID готово 4 байта но сняли меньше ОШИБКА";
inline constexpr std::string_view kIdPrefix = "Получен ID от MEC16 -> ";
inline constexpr std::string_view kClosed = "Закрыли VCOM порт";
inline constexpr std::string_view kBadId = "Неверный ID. Операция прервана!";
inline constexpr std::string_view kWroteRegister = "Записали в регистр ";
// A register answer: "Регистр " address "h -> " value.
inline constexpr std::string_view kRegisterPrefix = "Регистр ";
inline constexpr std::string_view kRegisterArrow = "h -> ";

// Bounds that ran out (the firmware's own texts say nothing about these waits).
inline constexpr std::string_view kNoAnswerTo1 = "Нет ответа от программатора на команду 1";
inline constexpr std::string_view kNoId = "Нет ответа от MEC16 на команду j (ID не получен)";
inline constexpr std::string_view kNoBlock = "Нет ответа от MEC16: не получен блок данных ";
inline constexpr std::string_view kNoStreamAnswer = "Нет ответа от программатора перед страницей ";
inline constexpr std::string_view kNoPageAnswer = "Нет ответа от MEC16 на запись страницы ";
inline constexpr std::string_view kEraseTooLong = "MEC16 не закончил стирание за отведенное время";
inline constexpr std::string_view kFileWriteFailed = "Ошибка записи в файл";

// The read-back checks around the documented read and write (their verdicts come from
// the dump checks every window shares).
inline constexpr std::string_view kVerifyCheck = "Проверить после записи";
inline constexpr std::string_view kReadTwiceCheck = "Читать дважды и сравнить";
inline constexpr std::string_view kVerifyReadStarts = "Проверка после записи: читаем MAIN блок обратно.";
inline constexpr std::string_view kSecondReadStarts = "Двойное чтение: читаем второй раз.";

// The copy of MAIN taken before a write (its log lines come from the backups every window
// shares).
inline constexpr std::string_view kBackupCheck = "Резервная копия перед записью";

// Protection test.
inline constexpr std::string_view kFwpSet = "--> СТОИТ ЗАЩИТА ЗАПИСИ ! (FWP ножка)";
inline constexpr std::string_view kFwpFree = "--> Стирание и запись разрешена (FWP ножка)";
inline constexpr std::string_view kBootLockSet = "--> Стоит Boot_Lock ! (защита загрузочного блока)";
inline constexpr std::string_view kBootLockFree = "--> Стирание и запись загрузочного блока разрешена";

// Read.
inline constexpr std::string_view kReadCancelled = "Операция чтения прервана";
inline constexpr std::string_view kCreateFailed = "Ошибка создания файла";
inline constexpr std::string_view kReadingInto = "Читаем в файл: ";
inline constexpr std::string_view kReadScopeBoth = "Выбрано чтение MAIN и INFO блоков";
inline constexpr std::string_view kReadScopeMain = "Выбрано чтение только MAIN блока";
inline constexpr std::string_view kReadStarted = "Начали чтение MEC16 main block ...";
inline constexpr std::string_view kUserStopped = "Пользователь прервал операцию чтения.";
inline constexpr std::string_view kMainReadDone = "Чтение MAIN блока завершено успешно.";
inline constexpr std::string_view kInfoReadStarts = "Запускаем чтение INFO блока.";
inline constexpr std::string_view kInfoReadDone = "Чтение INFO блока завершено успешно.";

// Erase.
inline constexpr std::string_view kEraseCancelled = "--> Каманда стирания отменена.";
inline constexpr std::string_view kEraseSent = "Отправили команду стирания.";
inline constexpr std::string_view kEraseDone = "Стирание завершено успешно.";

// Write.
inline constexpr std::string_view kWriteCancelled = "Операция записи прервана";
inline constexpr std::string_view kOpenFailed = "Ошибка открытия файла";
inline constexpr std::string_view kWritingFrom = "Записываем в файл: ";
inline constexpr std::string_view kWriteScopeBoth = "Выбрана запись MAIN и INFO блоков";
inline constexpr std::string_view kWriteScopeMain = "Выбрана запись только MAIN блока";
inline constexpr std::string_view kWriteStarted = "Начали запись MEC16 main block ...";
inline constexpr std::string_view kWriteRefused = "--> Команда записи отменена (nFWP или BOOT_LOCK)";
inline constexpr std::string_view kWarning = "-> Предупреждение!";
inline constexpr std::string_view kFileShorter = "-> Записываемый файл короче!";
inline constexpr std::string_view kMainWriteDone = "Запись MAIN блока завершена успешно.";
// Ours: the exit button during a write and its verify; a stop asked by the command line
// (a second Ctrl-C); a stop that came before the write began.
inline constexpr std::string_view kWriteCannotStop =
    "Запись не останавливается: прерванная запись оставит микросхему записанной наполовину. Дождитесь окончания "
    "записи и проверки.";
inline constexpr std::string_view kWriteStopped = "Запись прервана по запросу: микросхема записана не полностью.";
inline constexpr std::string_view kWriteNotStarted = "Запись не начата: операция прервана.";

// "Потеряна связь с MEC16" and the step's code, punctuation as each step has it.
inline constexpr std::string_view kLostPrefix = "Потеряна связь с MEC16 ";

// The dialogs' extension and name, the areas a block belongs to, and the pieces that join
// "Записали в регистр FF3910h 1" and "... 3 (MAIN)".
inline constexpr std::string_view kBinExtension = ".bin";
inline constexpr std::string_view kDefaultName = "Noname";
inline constexpr std::string_view kAreaMain = "MAIN";
inline constexpr std::string_view kAreaInfo = "INFO";
inline constexpr std::string_view kAddressSuffix = "h ";
inline constexpr std::string_view kOpenBracket = " (";
inline constexpr std::string_view kCloseBracket = ")";

// The window's log is Russian, and so are the lines the shared job adds to it.
inline constexpr LogLanguage kLanguage = LogLanguage::Russian;

inline std::string Lost(std::string_view code) { return std::string(kLostPrefix) + std::string(code); }
// "... перед страницей 2", "... блок данных 3 (MAIN)": a bound that ran out at this page or block.
inline std::string Numbered(std::string_view line, int number) { return std::string(line) + std::to_string(number); }
inline std::string NoBlock(int block, std::string_view area) {
  return Numbered(kNoBlock, block) + std::string(kOpenBracket) + std::string(area) + std::string(kCloseBracket);
}
inline std::string Wrote(std::string_view address, std::string_view value) {
  return std::string(kWroteRegister) + std::string(address) + std::string(kAddressSuffix) + std::string(value);
}
inline std::string Caption(std::string_view address) {
  return std::string(kRegisterPrefix) + std::string(address) + std::string(kRegisterArrow);
}

}  // namespace jig::mec16::text
