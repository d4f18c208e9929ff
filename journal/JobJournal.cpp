#include "journal/JobJournal.h"

#include <atomic>
#include <deque>
#include <mutex>

#include "files/PlatformFiles.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

std::mutex gPendingLock;
std::deque<JobRecord> gPending;
std::string gDefaultLabel;

std::string Reason(const SqliteError& error) { return error.text.empty() ? "unknown error" : error.text; }

// The records waiting, put on the opened journal in one transaction; false when they could
// not be (they still wait). The caller holds gPendingLock.
bool WritePending(const OpenedJournal& opened) {
  if (!opened.ok() || !opened.journal->recordAll({gPending.begin(), gPending.end()})) return false;
  gPending.clear();
  return true;
}

// journal.sqlite3 -> journal.sqlite3.corrupt-20261210T064256Z, with its WAL and shared-memory
// files beside it: kept for whoever wants to look into it, never deleted.
std::string MoveAside(const fs::path& file) {
  std::string stamp = UtcText(std::time(nullptr));
  std::erase(stamp, '-');
  std::erase(stamp, ':');
  fs::path aside = file;
  aside += ".corrupt-" + stamp;
  for (int n = 2; platform::PathExists(aside.string()) && n < 100; ++n) {
    aside = file;
    aside += ".corrupt-" + stamp + "-" + std::to_string(n);
  }
  std::error_code ec;
  fs::rename(file, aside, ec);
  if (ec) return {};
  for (const char* suffix : {"-wal", "-shm"}) {
    fs::path from = file, to = aside;
    from += suffix;
    to += suffix;
    fs::rename(from, to, ec);
  }
  return aside.string();
}

bool IsLink(const fs::path& file) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(file, ec));
}

std::string LinkLine(const fs::path& file, bool ru) {
  return ru ? "Журнал работ " + file.string() + " - символическая ссылка; по ней не переходят."
            : "The job journal " + file.string() + " is a symbolic link, which is not followed.";
}

std::atomic<BackupsRecovery> gRecovery = nullptr;

// A path as it goes on record: absolute and in one spelling, whatever folder the command ran in.
std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

}  // namespace

OpenedJournal OpenJournal(const fs::path& file, LogLanguage language, bool create) {
  const bool ru = language == LogLanguage::Russian;
  OpenedJournal opened;
  if (file.empty()) {
    opened.lines.push_back(ru ? "Нет папки для журнала работ; работа не записана."
                              : "There is no folder for the job journal; the job is not on record.");
    return opened;
  }
  if (IsLink(file)) {
    opened.lines.push_back(LinkLine(file, ru));
    return opened;
  }
  opened.journal = std::make_unique<Journal>(file, create);
  if (opened.journal->ok() || !opened.journal->error().corrupt()) return opened;
  const std::string reason = Reason(opened.journal->error());
  opened.journal.reset();
  const std::string aside = MoveAside(file);
  if (aside.empty()) {
    opened.lines.push_back(ru ? "Журнал работ " + file.string() + " повреждён (" + reason +
                                    ") и не может быть отложен в сторону."
                              : "The job journal " + file.string() + " is damaged (" + reason +
                                    ") and could not be moved aside.");
    // The damaged file again, so that its error stands and no record goes anywhere else.
    opened.journal = std::make_unique<Journal>(file, false);
    return opened;
  }
  opened.lines.push_back(ru ? "Журнал работ повреждён (" + reason + "); он сохранён как " + aside +
                                  ", начат новый."
                            : "The job journal was damaged (" + reason + "); it is kept as " + aside +
                                  " and a new one is begun.");
  // Begun: made even where the caller would only open an existing one.
  opened.journal = std::make_unique<Journal>(file, JournalAccess::Create);
  if (!opened.journal->ok() || !gRecovery) return opened;
  const fs::path backups = BackupFolderFor(file);
  if (const std::size_t taken = gRecovery(*opened.journal, backups))
    opened.lines.push_back(ru ? "Копии микросхем в " + backups.string() + " снова внесены в журнал (" +
                                    std::to_string(taken) + ")."
                              : "The backups in " + backups.string() + " are on the new journal's record again (" +
                                    std::to_string(taken) + ").");
  return opened;
}

JournalToRead OpenJournalToRead(const fs::path& file, LogLanguage language) {
  JournalToRead read;
  std::error_code ec;
  if (IsLink(file)) {
    read.problem = language == LogLanguage::Russian ? "символическая ссылка; по ней не переходят"
                                                    : "it is a symbolic link, which is not followed";
    return read;
  }
  if (file.empty() || !fs::exists(file, ec)) {
    read.missing = true;
    return read;
  }
  // Read as it is: a damaged file stays where it is (the next job moves it aside), an older
  // schema is brought up to date in memory only.
  auto journal = std::make_unique<Journal>(file, JournalAccess::Read);
  const bool ru = language == LogLanguage::Russian;
  if (journal->ok()) read.journal = std::move(journal);
  else if (!journal->error().corrupt()) read.problem = Reason(journal->error());
  else read.problem = (ru ? "повреждён: " : "damaged: ") + Reason(journal->error()) +
                      (ru ? "; следующая работа отложит его в сторону и начнёт новый"
                          : "; the next job moves it aside and begins a new one");
  return read;
}

std::vector<std::string> RecordJob(const JobRecord& record, LogLanguage language, const fs::path& file) {
  const bool ru = language == LogLanguage::Russian;
  std::lock_guard lock(gPendingLock);
  gPending.push_back(record);
  JobRecord& added = gPending.back();
  if (added.label.empty()) added.label = gDefaultLabel;
  added.file = AbsolutePath(added.file);
  added.backupPath = AbsolutePath(added.backupPath);
  OpenedJournal opened = OpenJournal(file, language);
  std::vector<std::string> lines = std::move(opened.lines);
  if (WritePending(opened)) return lines;
  if (!opened.journal) {
    gPending.pop_back();
    return lines;
  }
  const std::string reason = Reason(opened.journal->error());
  if (gPending.size() > kMaxPendingRecords) {
    gPending.pop_front();
    lines.push_back(ru ? "Журнал работ не записан (" + reason + "); самая старая незаписанная работа отброшена."
                       : "The job journal could not be written (" + reason +
                             "); the oldest record waiting for it is dropped.");
  }
  lines.push_back(ru ? "Журнал работ не записан (" + reason + "); запись сохранена до следующей работы."
                     : "The job journal could not be written (" + reason + "); the record is kept for the next job.");
  return lines;
}

std::string FlushPendingRecords(const fs::path& file) {
  std::lock_guard lock(gPendingLock);
  if (gPending.empty()) return {};
  OpenedJournal opened = OpenJournal(file, LogLanguage::English);
  if (WritePending(opened)) return {};
  const std::string reason = opened.journal ? Reason(opened.journal->error()) : std::string("no folder for it");
  std::string line = std::to_string(gPending.size()) + " job record(s) could not be put on the job journal (" +
                     reason + ") and are dropped.";
  // Their backups could not go on its record of backups either: rotation will never remove them.
  std::string backups;
  for (const JobRecord& record : gPending)
    if (!record.backupPath.empty()) backups += (backups.empty() ? "" : ", ") + record.backupPath;
  if (!backups.empty())
    line += " The backups made meanwhile are not on record and will never be removed to make room: " + backups + ".";
  gPending.clear();
  return line;
}

void SetBackupsRecovery(BackupsRecovery recover) { gRecovery = recover; }

void SetDefaultJobLabel(std::string label) {
  std::lock_guard lock(gPendingLock);
  gDefaultLabel = std::move(label);
}

std::size_t PendingRecords() {
  std::lock_guard lock(gPendingLock);
  return gPending.size();
}

}  // namespace jig
