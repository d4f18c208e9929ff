#include "job/JobVerdict.h"

#include "journal/JobJournal.h"
#include "view/VerdictWord.h"

namespace jig {

namespace {

struct VerdictTexts {
  std::string_view prefix;
  const char* readOk;
  const char* readFailed;
  const char* writeOk;
  const char* writeUnverified;
  const char* writeFailed;
  const char* eraseOk;
  const char* eraseFailed;
  const char* untouched;
  const char* halfWritten;
  const char* halfErased;
  const char* notTheImage;
  const char* restoreFrom;
  const char* noBackup;
  const char* backupAt;
  const char* checkPassed;
  const char* checkFailed;
  const char* pinsSent;
  const char* pinsNotSent;
};

constexpr VerdictTexts kEnglish{
    kVerdictWordEnglish,
    "read OK, the dump is saved: ",
    "read FAILED, the file is not written.",
    "write OK, the chip holds the file: ",
    "write done but NOT verified (the check is off), the file: ",
    "write FAILED, ",
    "erase OK, the chip is blank",
    "erase FAILED, ",
    "the chip is not touched.",
    "the chip is half written",
    "the chip is partly erased",
    "the chip does not hold the file",
    ": restore it from ",
    ", and no backup of it was taken.",
    "; its backup: ",
    "check passed, the chip answers; nothing on it was changed.",
    "check FAILED (see the lines above); the chip is not touched.",
    "the pins are sent to the programmer.",
    "the pins are NOT sent; the chip is not touched.",
};

constexpr VerdictTexts kRussian{
    kVerdictWordRussian,
    "чтение выполнено, дамп сохранён: ",
    "чтение НЕ выполнено, файл не записан.",
    "запись выполнена, в микросхеме файл: ",
    "запись выполнена, но НЕ проверена (проверка выключена), файл: ",
    "запись НЕ выполнена, ",
    "стирание выполнено, микросхема чистая",
    "стирание НЕ выполнено, ",
    "микросхема не тронута.",
    "микросхема записана наполовину",
    "микросхема стёрта не полностью",
    "микросхема не совпадает с файлом",
    ": восстановите её из ",
    ", резервной копии нет.",
    "; резервная копия: ",
    "проверка пройдена, микросхема отвечает; в ней ничего не изменено.",
    "проверка НЕ пройдена (см. строки выше); микросхема не тронута.",
    "выводы переданы программатору.",
    "выводы НЕ переданы; микросхема не тронута.",
};

// What a failed write or erase leaves, and how to get the chip back.
std::string Damage(const JobReport& report, const VerdictTexts& t, LogLanguage language) {
  if (!report.chipTouched) return t.untouched;
  std::string what = report.action == "erase" ? t.halfErased : report.verifyFailed ? t.notTheImage : t.halfWritten;
  if (report.difference) what += " (" + DifferenceText(*report.difference, language) + ")";
  return what + (report.backupPath.empty() ? std::string(t.noBackup) : t.restoreFrom + report.backupPath);
}

}  // namespace

std::string VerdictLine(const JobReport& report, LogLanguage language) {
  const VerdictTexts& t = language == LogLanguage::Russian ? kRussian : kEnglish;
  std::string line(t.prefix);
  if (report.action == "erase") {
    if (!report.success) return line + t.eraseFailed + Damage(report, t, language);
    line += t.eraseOk;
    return report.backupPath.empty() ? line + "." : line + t.backupAt + report.backupPath;
  }
  if (report.action == "write") {
    if (!report.success) return line + t.writeFailed + Damage(report, t, language);
    return line + (report.unverified ? t.writeUnverified : t.writeOk) + report.file;
  }
  return line + (report.success ? t.readOk + report.file : std::string(t.readFailed));
}

std::string CheckVerdictLine(CheckKind kind, bool success, LogLanguage language) {
  const VerdictTexts& t = language == LogLanguage::Russian ? kRussian : kEnglish;
  if (kind == CheckKind::PinsSent) return std::string(t.prefix) + (success ? t.pinsSent : t.pinsNotSent);
  return std::string(t.prefix) + (success ? t.checkPassed : t.checkFailed);
}

bool IsVerdictLine(std::string_view line) {
  return line.starts_with(kEnglish.prefix) || line.starts_with(kRussian.prefix);
}

const ComparisonLabels& ComparisonLabelsFor(LogLanguage language) {
  static const ComparisonLabels kEnglish{"First read", "Second read", "Image: ", "The chip, read back after the write"};
  static const ComparisonLabels kRussian{"Первое чтение", "Второе чтение", "Образ: ",
                                         "Микросхема, прочитанная после записи"};
  return language == LogLanguage::Russian ? kRussian : kEnglish;
}

void EndJobReport(JobReport& report, bool success, TaskView& view, LogLanguage language) {
  report.success = success;
  report.ended = std::time(nullptr);
  report.verdict = VerdictLine(report, language);
  for (std::string& line : RecordJob(RecordOf(report), language)) view.log(std::move(line));
  view.log(report.verdict);
}

}  // namespace jig
