#include "job/JobVerdict.h"

#include <optional>

#include "journal/JobJournal.h"
#include "view/VerdictWord.h"

namespace jig {

namespace {

struct VerdictTexts {
  std::string_view prefix;
  const char* readOk;
  const char* readFailed;
  const char* readCalledOff;
  const char* writeOk;
  const char* writeUnverified;
  const char* writeCutShort;
  const char* writeFailed;
  const char* writeCalledOff;
  const char* eraseOk;
  const char* eraseFailed;
  const char* eraseCalledOff;
  const char* untouched;
  const char* erasedNotWritten;
  const char* halfWritten;
  const char* halfErased;
  const char* notTheImage;
  const char* refused;
  const char* howToVerify;
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
    "read called off, the file is not written.",
    "write OK, the chip holds the file: ",
    "write done but NOT verified (the check is off), the file: ",
    "write done but NOT verified (the verify was cut short), the file: ",
    "write FAILED, ",
    "write called off, the chip is not touched.",
    "erase OK, the chip is blank",
    "erase FAILED, ",
    "erase called off, the chip is not touched.",
    "the chip is not touched.",
    "the chip is erased (perhaps only partly) and the file is not written to it",
    "the chip is half written",
    "the chip is partly erased",
    "the chip does not hold the file",
    "the chip refused the write (write-protected?) and should hold what it held: read it to be sure",
    "; to verify it, read the chip and compare the dump with the file (compare DUMP FILE)",
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
    "чтение отменено, файл не записан.",
    "запись выполнена, в микросхеме файл: ",
    "запись выполнена, но НЕ проверена (проверка выключена), файл: ",
    "запись выполнена, но НЕ проверена (проверка прервана), файл: ",
    "запись НЕ выполнена, ",
    "запись отменена, микросхема не тронута.",
    "стирание выполнено, микросхема чистая",
    "стирание НЕ выполнено, ",
    "стирание отменено, микросхема не тронута.",
    "микросхема не тронута.",
    "микросхема стёрта (возможно, не полностью), образ в неё не записан",
    "микросхема записана наполовину",
    "микросхема стёрта не полностью",
    "микросхема не совпадает с файлом",
    "микросхема отказалась от записи (защита от записи?) и должна хранить прежнее: прочитайте её, чтобы убедиться",
    "; чтобы проверить, прочитайте микросхему и сравните дамп с файлом (compare ДАМП ФАЙЛ)",
    ": восстановите её из ",
    ", резервной копии нет.",
    "; резервная копия: ",
    "проверка пройдена, микросхема отвечает; в ней ничего не изменено.",
    "проверка НЕ пройдена (см. строки выше); микросхема не тронута.",
    "выводы переданы программатору.",
    "выводы НЕ переданы; микросхема не тронута.",
};

enum class Kind { Read, Write, Erase };

// What follows a verdict's words.
enum class Tail {
  None,
  File,         // the file's path
  Backup,       // "; its backup: PATH", or a full stop without one
  Restore,      // where the chip differs when known, then the backup to restore it from
  HowToVerify,  // the file's path, how to verify it, and the backup
};

// One way a job ends: (what it was, where it stood, whether it succeeded) -> (its verdict,
// its outcome in the journal). The first row that fits decides; a row without a stage fits
// any.
struct VerdictRow {
  Kind kind;
  std::optional<JobStage> stage;
  bool success;
  const char* VerdictTexts::*head;
  const char* VerdictTexts::*what;  // after the head; may be none
  Tail tail;
  JobOutcome outcome;
};

using T = VerdictTexts;
constexpr VerdictRow kVerdicts[] = {
    {Kind::Read, std::nullopt, true, &T::readOk, nullptr, Tail::File, JobOutcome::Ok},
    {Kind::Read, JobStage::CalledOff, false, &T::readCalledOff, nullptr, Tail::None, JobOutcome::Cancelled},
    {Kind::Read, std::nullopt, false, &T::readFailed, nullptr, Tail::None, JobOutcome::Failed},
    {Kind::Write, JobStage::Written, true, &T::writeUnverified, nullptr, Tail::File, JobOutcome::Ok},
    {Kind::Write, std::nullopt, true, &T::writeOk, nullptr, Tail::File, JobOutcome::Ok},
    {Kind::Write, JobStage::CalledOff, false, &T::writeCalledOff, nullptr, Tail::None, JobOutcome::Cancelled},
    {Kind::Write, JobStage::NotTouched, false, &T::writeFailed, &T::untouched, Tail::None, JobOutcome::Failed},
    {Kind::Write, JobStage::Erasing, false, &T::writeFailed, &T::erasedNotWritten, Tail::Restore, JobOutcome::Failed},
    {Kind::Write, JobStage::Programming, false, &T::writeFailed, &T::halfWritten, Tail::Restore, JobOutcome::Failed},
    {Kind::Write, JobStage::Written, false, &T::writeCutShort, nullptr, Tail::HowToVerify, JobOutcome::Failed},
    {Kind::Write, JobStage::Checked, false, &T::writeFailed, &T::notTheImage, Tail::Restore, JobOutcome::Failed},
    {Kind::Write, JobStage::Refused, false, &T::writeFailed, &T::refused, Tail::Backup, JobOutcome::Failed},
    {Kind::Erase, std::nullopt, true, &T::eraseOk, nullptr, Tail::Backup, JobOutcome::Ok},
    {Kind::Erase, JobStage::CalledOff, false, &T::eraseCalledOff, nullptr, Tail::None, JobOutcome::Cancelled},
    {Kind::Erase, JobStage::NotTouched, false, &T::eraseFailed, &T::untouched, Tail::None, JobOutcome::Failed},
    {Kind::Erase, std::nullopt, false, &T::eraseFailed, &T::halfErased, Tail::Restore, JobOutcome::Failed},
};

Kind KindOf(const JobReport& report) {
  return report.action == "erase" ? Kind::Erase : report.action == "write" ? Kind::Write : Kind::Read;
}

const VerdictRow& RowFor(const JobReport& report, bool success) {
  const Kind kind = KindOf(report);
  for (const VerdictRow& row : kVerdicts)
    if (row.kind == kind && row.success == success && (!row.stage || *row.stage == report.stage)) return row;
  // Every kind has a row without a stage for either result.
  return kVerdicts[0];
}

std::string Backup(const JobReport& report, const VerdictTexts& t) {
  return report.backupPath.empty() ? std::string(".") : t.backupAt + report.backupPath;
}

std::string TailText(Tail tail, const JobReport& report, const VerdictTexts& t, LogLanguage language) {
  switch (tail) {
    case Tail::None: return {};
    case Tail::File: return report.file;
    case Tail::Backup: return Backup(report, t);
    case Tail::Restore: {
      std::string text;
      if (report.difference) text = " (" + DifferenceText(*report.difference, language) + ")";
      return text + (report.backupPath.empty() ? std::string(t.noBackup) : t.restoreFrom + report.backupPath);
    }
    case Tail::HowToVerify: return report.file + t.howToVerify + Backup(report, t);
  }
  return {};
}

}  // namespace

std::string VerdictLine(const JobReport& report, LogLanguage language) {
  const VerdictTexts& t = language == LogLanguage::Russian ? kRussian : kEnglish;
  const VerdictRow& row = RowFor(report, report.success);
  std::string line(t.prefix);
  line += t.*row.head;
  if (row.what) line += t.*row.what;
  return line + TailText(row.tail, report, t, language);
}

JobOutcome VerdictOutcome(const JobReport& report, bool success) { return RowFor(report, success).outcome; }

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
  report.cancelled = VerdictOutcome(report, success) == JobOutcome::Cancelled;
  report.chipTouched = report.stage != JobStage::NotTouched && report.stage != JobStage::CalledOff;
  report.ended = std::time(nullptr);
  report.verdict = VerdictLine(report, language);
  for (std::string& line : RecordJob(RecordOf(report), language)) view.log(std::move(line));
  view.log(report.verdict);
}

}  // namespace jig
