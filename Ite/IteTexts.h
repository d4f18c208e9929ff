#pragma once
// Every text of the ITE window: captions, log lines and messages, in one place.
#include <array>
#include <string_view>

namespace jig::ite::text {

inline constexpr std::string_view kCaption = "ITE 20_06_2016";
inline constexpr std::string_view kSelectBoard = "Please select MOTHERBOARD";
inline constexpr std::string_view kBaseNotFound = "File [MB connection ITE.txt] not found. Please read manual!";
inline constexpr std::string_view kCheckBox =
    "1 pin программатора соединен с 1 pin разьема клавиатуры на MB (прямой или обратный шлейф)";
inline constexpr std::string_view kGroupBox = " Ножка ITE -> ножка разъёма клавиатуры ";
inline constexpr std::string_view kSetupButton = "Применить APPLY";
inline constexpr std::string_view kCheckButton = "Проверка связи check connection";
inline constexpr std::string_view kReadButton = "Чтение READ";
inline constexpr std::string_view kWriteButton = "Запись WRITE";
inline constexpr std::string_view kExitButton = "Выход EXIT";
inline constexpr std::string_view kNotConnected = "NC";

// The how-to text the log starts with, one row a line.
inline constexpr std::array<std::string_view, 17> kHowTo = {
    "Порядок подключения:",
    "1 Подключить нужным шлейфом программатор и MB. ",
    "Кол-во контактов в шлейфе должно быть равно количеству контактов разьема клавиатуры.",
    "На программаторе шлейф \"загоняем\" к первому выводу! MB не запитывать! ",
    "Программатор подключить к PC. Не забудьте про землю между программатором и MB!",
    "2 Настроить управляющие сигналы и нажать \"Применить\".  ",
    "3 Нажать \"Проверка связи\". И в течении 5 секунд  ",
    "подключить адаптер к MB. Можно попробовать подключить ",
    "адаптер и потом нажать \"Проверка связи\". Чаще всего все получится.",
    "5 Теперь \"Чтение\" или \"Запись\". По окончании - обесточить ",
    "MB и отключить шлейф.",
    "",
    "Чтение всех 128КБ около 20 сек. ",
    "Запись до 10 минут и напрямую зависит от \"содержимого\" прошивки. ",
    "Память мультиконтроллера, на большинстве плат, используется на 50%, ",
    "поэтому время записи около 5 минут.",
    "",
};

// Base and mirror.
inline constexpr std::string_view kMissingPinPrefix = "Не найдена информация по номеру ножки для ";
inline constexpr std::string_view kBadPinPrefix = "Неверный номер ножки для ";
inline constexpr std::string_view kSignalSuffix = " !";
inline constexpr std::string_view kMissingCount =
    "Не найдена информация по количеству контактов разьема клавиатуры на MB !";
inline constexpr std::string_view kBadCount = "Неверное количество контактов разьема клавиатуры (23 < допустимо < 33)!";
// Ours: a value that is not a decimal number; a pin beyond the connector for the mirror.
inline constexpr std::string_view kNotNumberPrefix = "В строке базы значение для ";
inline constexpr std::string_view kNotNumberSuffix =
    " не является номером ножки (1-32). Исправьте строку в файле MB connection ITE.txt.";
inline constexpr std::string_view kPinOutsidePrefix = "Ножка ";
inline constexpr std::string_view kPinOutsideMiddle = " стоит на контакте вне разъёма из ";
inline constexpr std::string_view kPinOutsideSuffix = " контактов. Зеркальная замена не сделана.";

// APPLY.
inline constexpr std::string_view kSendingSettings = "Отправляем настройки под MB.";
inline constexpr std::string_view kSettingsError = "Ошибка при входе в режим настроек.";
inline constexpr std::string_view kPinProtocolError = "Ошибка протокола при настройке выводов.";
inline constexpr std::string_view kSettingsSent = "Настройки все отправлены.";

// Link check.
inline constexpr std::string_view kCheckStart = "Проверка связи ...";
inline constexpr std::string_view kProgrammerReady = "Программатор найден и готов к работе.";
inline constexpr std::string_view kPlugNow = "Теперь, как можно быстрее, подключите адаптер (5 сек) ! ";
inline constexpr std::string_view kFoundId = "Найден ID мульта -> ";
inline constexpr std::string_view kRevision = " ревизия -> ";
inline constexpr std::string_view kFailurePrefix =
    "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? (";
inline constexpr std::string_view kFailureSuffix = ")";

// Read.
inline constexpr std::string_view kSaveTitle = "Укажите имя файла для сохранения.";
inline constexpr std::string_view kSaveFilter = "BIN файл (*.bin)|*.bin";
inline constexpr std::string_view kSaveName = "ITE_";
inline constexpr std::string_view kReadCancelled = "Чтение отмененено пользователем. Все сворачиваем. (RD_DLG)";
inline constexpr std::string_view kCreateFailed = "Ошибка при создании файла. (RD_CRT_DLG)";
inline constexpr std::string_view kCreateFailedBox = "Ошибка создания файла.";
inline constexpr std::string_view kReadStart = "Начинаем чтение ITE ...";
inline constexpr std::string_view kPreparing = "Преподготовка ITE ...";
inline constexpr std::string_view kPrepared = "Закончили преподготовку ...";
inline constexpr std::string_view kReading = "Читаю, пожалуйста ждите ...";
inline constexpr std::string_view kBlockErrorPrefix = "Ошибка при чтении блока ->";
inline constexpr std::string_view kReadDone = "Мы все прочитали ";

// Write.
inline constexpr std::string_view kOpenTitle = "Укажите файл за заливки.";
inline constexpr std::string_view kOpenFilter = "BIN файл  (*.bin)|*.bin|Другие|*.*";
inline constexpr std::string_view kWriteCancelled = "Запись отмененена пользователем. Все сворачиваем. (WR_DLG)";
inline constexpr std::string_view kOpenFailed = "Ошибка при открытии файла. (WR_OPN_DLG)";
inline constexpr std::string_view kOpenFailedBox = "Ошибка открытия файла.";
inline constexpr std::string_view kWritingFrom = "Пишем из файла: ";
inline constexpr std::string_view kWriteStart = "Начинаем запись ITE ...";
inline constexpr std::string_view kEraseSent = "Команда стирания чипа отправлена (0x60/0xC7)...";
inline constexpr std::string_view kBuffered = "Считали 131072 байта в буфер ...";
inline constexpr std::string_view kFfCount = "Количество байт равных 0xFF в файле -> ";
inline constexpr std::string_view kWritingBytes = "Начинаем писать байты ...";
inline constexpr std::string_view kAddressError = "Ошибка протокола при отправке адреса во флеш.";
inline constexpr std::string_view kProgramError = "Ошибка записи во флеш или потеряна связь с ITE";
inline constexpr std::string_view kWriteDone = "Мы все записали. ";

// Ours: a bound ran out. Says which command went unanswered and for how long.
inline constexpr std::string_view kNoAnswerPrefix = "Программатор не ответил за ";
inline constexpr std::string_view kNoAnswerMiddle = " мс на команду ";
inline constexpr std::string_view kShortBlockMiddle = " мс пришло байт блока: ";
// The commands those lines name ("... на команду соединения (T).").
inline constexpr std::string_view kCmdEnterSettings = "входа в режим настроек (S)";
inline constexpr std::string_view kCmdPinSetting = "настройки ножки (";
inline constexpr std::string_view kCmdConnect = "соединения (T)";
inline constexpr std::string_view kCmdSetAddress = "установки адреса (A ";
inline constexpr std::string_view kCmdReadRegister = "чтения регистра (R)";
inline constexpr std::string_view kCmdWriteRegister = "записи регистра ";
inline constexpr std::string_view kCmdFlashAddress = "адреса во флеш (Y ";
inline constexpr std::string_view kNotDrained = "Программатор не принял последний байт (очередь передачи не опустела).";
inline constexpr std::string_view kFileWriteFailed = "Ошибка записи в файл: ";
// The window closing or a Ctrl-C on the command line.
inline constexpr std::string_view kStopped = "Операция прервана: получен запрос на остановку.";
inline constexpr std::string_view kStoppedBeforeWrite =
    "Запись отменена: запрос на остановку пришёл до записи; микросхема не тронута.";

// Ours: the read-back after a write and the second read, and why they ended early.
inline constexpr std::string_view kVerifyBox = "Проверить после записи";
inline constexpr std::string_view kReadTwiceBox = "Читать дважды и сравнить";
inline constexpr std::string_view kBackupBox = "Резервная копия перед записью";
inline constexpr std::string_view kVerifyStart = "Проверка после записи: читаем флеш обратно ...";
// An image of nothing but FFh sends no Flash address, so nothing has waited for the chip
// erase when the read-back would start.
inline constexpr std::string_view kEraseNotOver = "Стирание чипа не закончилось: проверка после записи не начата.";
inline constexpr std::string_view kVerifyNotDone =
    "Проверка после записи не выполнена: флеш не удалось прочитать обратно. Запись не подтверждена.";
inline constexpr std::string_view kSecondReadStart = "Двойное чтение: читаем флеш второй раз ...";
inline constexpr std::string_view kSecondReadNotDone =
    "Двойное чтение: второе чтение не удалось, сравнивать не с чем. Файл не записан.";

// The operation texts (Mode_ITE).
inline constexpr std::string_view kModeNone = "NONE";
inline constexpr std::string_view kModeRead = "READ_ITE";
inline constexpr std::string_view kModeWrite = "WRITE_ITE_step_one";

// The pieces that join a line's parts: "Ножка PD0 (5) ...", "(A 01)", "записи регистра 27h = 80h",
// "адреса во флеш (Y 01 02 03)", "... пришло байт блока: 100 из 257.".
inline constexpr std::string_view kOpenBracket = " (";
inline constexpr std::string_view kCloseBracket = ")";
inline constexpr std::string_view kFullStop = ".";
inline constexpr std::string_view kSpace = " ";
inline constexpr std::string_view kRegisterEquals = "h = ";
inline constexpr std::string_view kHexSuffix = "h";
inline constexpr std::string_view kAddressZero = "00 00 00)";
inline constexpr std::string_view kOfBlockBytes = " из 257.";
inline constexpr std::string_view kBinExtension = ".bin";

}  // namespace jig::ite::text
