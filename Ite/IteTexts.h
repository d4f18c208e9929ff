#pragma once
// Every text of the ITE window: captions, log lines and messages, in one place.
#include <array>
#include <string_view>

namespace jig::ite::text {

inline constexpr const char* kCaption = "ITE 20_06_2016";
inline constexpr const char* kSelectBoard = "Please select MOTHERBOARD";
inline constexpr const char* kBaseNotFound = "File [MB connection ITE.txt] not found. Please read manual!";
inline constexpr const char* kCheckBox =
    "1 pin программатора соединен с 1 pin разьема клавиатуры на MB (прямой или обратный шлейф)";
inline constexpr const char* kGroupBox = " Ножка ITE -> ножка разъёма клавиатуры ";
inline constexpr const char* kSetupButton = "Применить APPLY";
inline constexpr const char* kCheckButton = "Проверка связи check connection";
inline constexpr const char* kReadButton = "Чтение READ";
inline constexpr const char* kWriteButton = "Запись WRITE";
inline constexpr const char* kExitButton = "Выход EXIT";
inline constexpr const char* kNotConnected = "NC";
// Ours: the stop of a running read or write, and what each gauge counts.
inline constexpr const char* kStopButton = "Стоп STOP";
inline constexpr const char* kGaugeLabel = "Прочитано блоков / записано страниц по 256 байт (из 512):";
inline constexpr const char* kSpeedGaugeLabel = "Запись: позиция в текущей странице (из 256):";

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
inline constexpr const char* kMissingPinPrefix = "Не найдена информация по номеру ножки для ";
inline constexpr const char* kBadPinPrefix = "Неверный номер ножки для ";
inline constexpr const char* kSignalSuffix = " !";
inline constexpr const char* kMissingCount =
    "Не найдена информация по количеству контактов разьема клавиатуры на MB !";
inline constexpr const char* kBadCount = "Неверное количество контактов разьема клавиатуры (23 < допустимо < 33)!";
// Ours: a value that is not a decimal number; a pin beyond the connector for the mirror.
inline constexpr const char* kNotNumberPrefix = "В строке базы значение для ";
inline constexpr const char* kNotNumberSuffix =
    " не является номером ножки (1-32). Исправьте строку в файле MB connection ITE.txt.";
inline constexpr const char* kPinOutsidePrefix = "Ножка ";
inline constexpr const char* kPinOutsideMiddle = " стоит на контакте вне разъёма из ";
inline constexpr const char* kPinOutsideSuffix = " контактов. Зеркальная замена не сделана.";

// APPLY.
inline constexpr const char* kSendingSettings = "Отправляем настройки под MB.";
inline constexpr const char* kSettingsError = "Ошибка при входе в режим настроек.";
inline constexpr const char* kPinProtocolError = "Ошибка протокола при настройке выводов.";
inline constexpr const char* kSettingsSent = "Настройки все отправлены.";

// Link check.
inline constexpr const char* kCheckStart = "Проверка связи ...";
inline constexpr const char* kProgrammerReady = "Программатор найден и готов к работе.";
inline constexpr const char* kPlugNow = "Теперь, как можно быстрее, подключите адаптер (5 сек) ! ";
inline constexpr const char* kFoundId = "Найден ID мульта -> ";
inline constexpr const char* kRevision = " ревизия -> ";
inline constexpr const char* kFailurePrefix =
    "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? (";
inline constexpr const char* kFailureSuffix = ")";
// Ours: Connect failed while no APPLY has gone through since the window was opened; the
// programmer may hold no pins at all. After the failure lines above.
inline constexpr const char* kApplyFirst = "Сначала нажмите APPLY: выводы программатору ещё не переданы.";
// The same on the command line, where the pins come with --board or --pins.
inline constexpr const char* kApplyFirstCommandLine =
    "Выводы программатору в этом запуске не переданы: добавьте --board N или --pins (или сначала ite apply).";

// Read.
inline constexpr const char* kSaveTitle = "Укажите имя файла для сохранения.";
inline constexpr const char* kSaveFilter = "BIN файл (*.bin)|*.bin";
inline constexpr const char* kSaveName = "ITE_";
inline constexpr const char* kReadCancelled = "Чтение отмененено пользователем. Все сворачиваем. (RD_DLG)";
inline constexpr const char* kCreateFailed = "Ошибка при создании файла. (RD_CRT_DLG)";
inline constexpr const char* kCreateFailedBox = "Ошибка создания файла.";
inline constexpr const char* kReadStart = "Начинаем чтение ITE ...";
inline constexpr const char* kPreparing = "Преподготовка ITE ...";
inline constexpr const char* kPrepared = "Закончили преподготовку ...";
inline constexpr const char* kReading = "Читаю, пожалуйста ждите ...";
inline constexpr const char* kBlockErrorPrefix = "Ошибка при чтении блока ->";
inline constexpr const char* kReadDone = "Мы все прочитали ";

// Write.
inline constexpr const char* kOpenTitle = "Укажите файл за заливки.";
inline constexpr const char* kOpenFilter = "BIN файл  (*.bin)|*.bin|Другие|*.*";
inline constexpr const char* kWriteCancelled = "Запись отмененена пользователем. Все сворачиваем. (WR_DLG)";
inline constexpr const char* kOpenFailed = "Ошибка при открытии файла. (WR_OPN_DLG)";
inline constexpr const char* kOpenFailedBox = "Ошибка открытия файла.";
inline constexpr const char* kWritingFrom = "Пишем из файла: ";
inline constexpr const char* kWriteStart = "Начинаем запись ITE ...";
inline constexpr const char* kEraseSent = "Команда стирания чипа отправлена (0x60/0xC7)...";
inline constexpr const char* kBuffered = "Считали 131072 байта в буфер ...";
inline constexpr const char* kFfCount = "Количество байт равных 0xFF в файле -> ";
inline constexpr const char* kWritingBytes = "Начинаем писать байты ...";
inline constexpr const char* kAddressError = "Ошибка протокола при отправке адреса во флеш.";
inline constexpr const char* kProgramError = "Ошибка записи во флеш или потеряна связь с ITE";
inline constexpr const char* kWriteDone = "Мы все записали. ";

// Ours: a bound ran out. Says which command went unanswered and for how long.
inline constexpr const char* kNoAnswerPrefix = "Программатор не ответил за ";
inline constexpr const char* kNoAnswerMiddle = " мс на команду ";
inline constexpr const char* kShortBlockMiddle = " мс пришло байт блока: ";
// The commands those lines name ("... на команду соединения (T).").
inline constexpr const char* kCmdEnterSettings = "входа в режим настроек (S)";
inline constexpr const char* kCmdPinSetting = "настройки ножки (";
inline constexpr const char* kCmdConnect = "соединения (T)";
inline constexpr const char* kCmdSetAddress = "установки адреса (A ";
inline constexpr const char* kCmdReadRegister = "чтения регистра (R)";
inline constexpr const char* kCmdWriteRegister = "записи регистра ";
inline constexpr const char* kCmdFlashAddress = "адреса во флеш (Y ";
inline constexpr const char* kNotDrained = "Программатор не принял последний байт (очередь передачи не опустела).";
inline constexpr const char* kFileWriteFailed = "Ошибка записи в файл: ";
// The window closing or a Ctrl-C on the command line.
inline constexpr const char* kStopped = "Операция прервана: получен запрос на остановку.";
inline constexpr const char* kStoppedBeforeWrite =
    "Запись отменена: запрос на остановку пришёл до записи; микросхема не тронута.";
// Ours: the stop asked while the chip is being programmed, and where a write was stopped.
inline constexpr const char* kStopQuestion = "Остановить запись? Микросхема останется записанной наполовину.";
inline constexpr const char* kStoppedInErase =
    "Запись остановлена во время стирания чипа: флеш стёрта, образ в неё не записан.";
inline constexpr const char* kStoppedHalfWritten = "Запись остановлена: микросхема записана наполовину.";

// Ours: the read-back after a write and the second read, and why they ended early.
inline constexpr const char* kVerifyBox = "Проверить после записи";
inline constexpr const char* kReadTwiceBox = "Читать дважды и сравнить";
inline constexpr const char* kBackupBox = "Резервная копия перед записью";
inline constexpr const char* kVerifyStart = "Проверка после записи: читаем флеш обратно ...";
// An image of nothing but FFh sends no Flash address, so nothing has waited for the chip
// erase when the read-back would start.
inline constexpr const char* kEraseNotOver = "Стирание чипа не закончилось: проверка после записи не начата.";
inline constexpr const char* kVerifyNotDone =
    "Проверка после записи не выполнена: флеш не удалось прочитать обратно. Запись не подтверждена.";
inline constexpr const char* kSecondReadStart = "Двойное чтение: читаем флеш второй раз ...";
inline constexpr const char* kSecondReadNotDone =
    "Двойное чтение: второе чтение не удалось, сравнивать не с чем. Файл не записан.";

// The pieces that join a line's parts: "Ножка PD0 (5) ...", "(A 01)", "записи регистра 27h = 80h",
// "адреса во флеш (Y 01 02 03)", "... пришло байт блока: 100 из 257.".
inline constexpr const char* kOpenBracket = " (";
inline constexpr const char* kCloseBracket = ")";
inline constexpr const char* kFullStop = ".";
inline constexpr const char* kSpace = " ";
inline constexpr const char* kRegisterEquals = "h = ";
inline constexpr const char* kHexSuffix = "h";
inline constexpr const char* kOfBlockBytes = " из 257.";
inline constexpr const char* kBinExtension = ".bin";

}  // namespace jig::ite::text
