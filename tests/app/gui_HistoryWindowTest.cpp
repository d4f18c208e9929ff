// The History window offscreen over a journal the test fills: its rows and their order, the
// filters, the result's colour, Open folder, and Restore, which only chooses the backup for
// the task window's next write and never writes by itself.
#include <QDateTime>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "gui/HistoryTexts.h"
#include "gui/THistoryWindow.h"
#include "journal/Journal.h"
#include "main/Form1Texts.h"
#include "sim/Kb90Sim.h"
#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/GuiWait.h"
#include "tests/support/JournalRecords.h"
#include "tests/support/TaskWindows.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kBase = 1796000000;  // a day in 2026
enum Col { kStarted, kTask, kAction, kResult, kLabel, kFile, kBackup, kVerdict };
// A hang guard for a window to open, not a timing.
constexpr int kOpenBoundMs = 5000;

// A job with the file it read or wrote and the backup taken before it.
JobRecord Job(std::string task, std::string action, std::time_t started, bool success, std::string label,
              std::string file = {}, std::string backup = {}) {
  JobRecord r = test::Record(std::move(task), std::move(action), started, success, std::move(label));
  r.file = std::move(file);
  r.backupPath = std::move(backup);
  return r;
}

// Jobs recorded in the scratch journal; the window reads them.
struct History {
  History() {
    window.openFolder = [this](const QString& folder) { opened << folder; };
    test::WriteFileBytes(backup(), std::vector<std::uint8_t>(64, 0x5A));
  }
  std::string file(const char* name) const { return dir.file(name); }
  std::string backup() const { return dir.file("backup.bin"); }
  // Four jobs, recorded out of their order in time.
  void recordFour() {
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.recordAll({Job("kb90", "read", kBase + 10, true, "T-1", file("a.bin")),
                                   Job("mec16", "write", kBase + 30, false, "T-2 board", file("img.bin"), backup()),
                                   Job("edid", "read", kBase + 5, false, ""),
                                   Job("kb90", "write", kBase + 20, true, "T-12", file("b.bin"), file("gone.bin"))}))
        << journal.error().text;
  }
  QStringList column(int col) const {
    QStringList cells;
    for (int row = 0; row < window.Jobs->rowCount(); ++row) cells << window.Jobs->item(row, col)->text();
    return cells;
  }
  void select(int row) { window.Jobs->selectRow(row); }

  test::ScratchBackupFolder home;  // first: the journal is this test's own
  test::TempDir dir;
  THistoryWindow window;
  QStringList opened;
};

TEST(HistoryWindow, ShowsTheJobsNewestFirstWithTheirFieldsAndTheResultColoured) {
  History h;
  h.recordFour();
  h.window.refresh();
  QStringList headers;
  for (int col = 0; col < h.window.Jobs->columnCount(); ++col) headers << h.window.Jobs->horizontalHeaderItem(col)->text();
  EXPECT_EQ(headers, (QStringList{"Started", "Task", "Action", "Result", "Label", "File", "Backup", "Verdict"}));
  EXPECT_EQ(h.column(kTask), (QStringList{"mec16", "kb90", "kb90", "edid"}));
  EXPECT_EQ(h.column(kAction), (QStringList{"write", "write", "read", "read"}));
  EXPECT_EQ(h.column(kResult), (QStringList{"FAILED", "ok", "ok", "FAILED"}));
  // The result alone is coloured: green when ok, red when failed.
  const QColor green(0, 255, 0), red(255, 0, 0);
  const QList<QColor> colours{red, green, green, red};
  for (int row = 0; row < h.window.Jobs->rowCount(); ++row) {
    EXPECT_EQ(h.window.Jobs->item(row, kResult)->background().color(), colours[row]) << row;
    EXPECT_NE(h.window.Jobs->item(row, kTask)->background().color(), colours[row]) << row;
  }
  EXPECT_EQ(h.column(kLabel), (QStringList{"T-2 board", "T-12", "T-1", ""}));
  EXPECT_EQ(h.column(kFile), (QStringList{QString::fromStdString(h.file("img.bin")), QString::fromStdString(h.file("b.bin")),
                                          QString::fromStdString(h.file("a.bin")), ""}));
  EXPECT_EQ(h.column(kBackup), (QStringList{QString::fromStdString(h.backup()), QString::fromStdString(h.file("gone.bin")), "", ""}));
  EXPECT_EQ(h.column(kVerdict), (QStringList{"RESULT: FAILED.", "RESULT: fine.", "RESULT: fine.", "RESULT: FAILED."}));
  // In the bench's local time, not the journal's UTC text.
  const QString started = h.column(kStarted).first();
  EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(started).hasMatch()) << started.toStdString();
  EXPECT_EQ(QDateTime::fromString(started, "yyyy-MM-dd HH:mm:ss").toSecsSinceEpoch(), kBase + 30);
  EXPECT_TRUE(h.window.Status->text().isEmpty());
  QStringList tasks;
  for (int i = 0; i < h.window.TaskFilter->count(); ++i) tasks << h.window.TaskFilter->itemText(i);
  EXPECT_EQ(tasks, (QStringList{"all", "edid", "kb90", "mec16"}));
}

TEST(HistoryWindow, FiltersByTaskLabelAndFailure) {
  struct Case {
    const char* task;  // as the list shows it
    const char* label;
    bool failedOnly;
    QStringList labels;  // of the rows left, in order
  };
  const Case cases[] = {
      {"all", "", false, {"T-2 board", "T-12", "T-1", ""}},
      {"kb90", "", false, {"T-12", "T-1"}},
      {"mec16", "", false, {"T-2 board"}},
      {"all", "T-1", false, {"T-12", "T-1"}},  // part of the label
      {"all", "board", false, {"T-2 board"}},
      {"all", "", true, {"T-2 board", ""}},
      {"kb90", "", true, {}},
      {"all", "T-", true, {"T-2 board"}},
  };
  History h;
  h.recordFour();
  h.window.refresh();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.task) + " / " + c.label + (c.failedOnly ? " / failed" : ""));
    h.window.TaskFilter->setCurrentText(c.task);
    h.window.LabelFilter->setText(c.label);
    h.window.FailedOnly->setChecked(c.failedOnly);
    EXPECT_EQ(h.column(kLabel), c.labels);
    if (c.failedOnly) {
      for (const QString& result : h.column(kResult)) EXPECT_EQ(result, "FAILED");
    }
  }
}

// A job called off is grey "cancelled", neither a green ok nor a red FAILED, and "failed
// only" leaves it out.
TEST(HistoryWindow, ACalledOffJobIsGreyAndNotAFailure) {
  History h;
  JobRecord cancelled = Job("npce", "write", kBase + 40, false, "T-3");
  cancelled.cancelled = true;
  {
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.recordAll({Job("npce", "write", kBase + 30, false, "T-2"), cancelled})) << journal.error().text;
  }
  h.window.refresh();
  EXPECT_EQ(h.column(kResult), (QStringList{"cancelled", "FAILED"}));
  const QList<QColor> colours{QColor(0xC0, 0xC0, 0xC0), QColor(255, 0, 0)};
  for (int row = 0; row < h.window.Jobs->rowCount(); ++row)
    EXPECT_EQ(h.window.Jobs->item(row, kResult)->background().color(), colours[row]) << row;
  h.window.FailedOnly->setChecked(true);
  EXPECT_EQ(h.column(kLabel), (QStringList{"T-2"}));
}

// A row the journal holds with control characters (a label from before labels were checked,
// a path with an escape sequence) shows them written out; a damaged field says so.
TEST(HistoryWindow, ShowsNoControlCharacterRawAndDamagedFieldsAsDamaged) {
  History h;
  {
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.record(Job("kb90", "read\x1b[2J", kBase, true, "T-1\nRESULT: ok", "/b/\a.bin")));
    ASSERT_TRUE(journal.record(Job("npce", "read", kBase + 10, true, "T-2")));
    SqliteDb db(JournalFile().string(), false, 100);
    ASSERT_TRUE(db.exec("UPDATE jobs SET started = 'garbage', success = 5 WHERE id = 2"));
  }
  h.window.refresh();
  ASSERT_EQ(h.window.Jobs->rowCount(), 2);
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < h.window.Jobs->columnCount(); ++col)
      for (const QChar c : h.window.Jobs->item(row, col)->text())
        EXPECT_FALSE(c.category() == QChar::Other_Control) << row << "," << col;
  const int kb90 = h.column(kTask).indexOf("kb90"), npce = 1 - kb90;
  EXPECT_EQ(h.window.Jobs->item(kb90, kLabel)->text(), "T-1\\x0ARESULT: ok");
  EXPECT_EQ(h.window.Jobs->item(kb90, kAction)->text(), "read\\x1B[2J");
  EXPECT_EQ(h.window.Jobs->item(kb90, kFile)->text(), "/b/\\x07.bin");
  EXPECT_EQ(h.window.Jobs->item(npce, kStarted)->text(), "(damaged)");
  EXPECT_EQ(h.window.Jobs->item(npce, kResult)->text(), "(damaged)");
  EXPECT_EQ(h.window.Jobs->item(npce, kLabel)->text(), "T-2");
}

// No journal yet: an empty table and the line that says so. A damaged one: its lines, no rows.
TEST(HistoryWindow, MissingOrDamagedJournalShowsALineAndNoRows) {
  History h;
  h.window.refresh();
  EXPECT_EQ(h.window.Jobs->rowCount(), 0);
  EXPECT_EQ(h.window.Status->text(), history::text::kNoJobsYet);
  EXPECT_EQ(h.window.TaskFilter->count(), 1);

  fs::create_directories(JournalFile().parent_path());
  test::WriteFileBytes(JournalFile().string(), std::vector<std::uint8_t>(8192, 'x'));
  h.window.refresh();
  EXPECT_EQ(h.window.Jobs->rowCount(), 0);
  EXPECT_TRUE(h.window.Status->text().contains("damaged")) << h.window.Status->text().toStdString();
  EXPECT_NE(h.window.Status->text(), history::text::kNoJobsYet);
  EXPECT_EQ(test::ReadFileBytes(JournalFile().string()), std::vector<std::uint8_t>(8192, 'x'))
      << "the window reads; the next job moves a damaged journal aside";
  EXPECT_EQ(std::distance(fs::directory_iterator(JournalFile().parent_path()), fs::directory_iterator()), 1);
}

#ifdef __linux__
// The journal is opened for each reading and closed after it: another program may move,
// back up or replace it while the window stays open.
TEST(HistoryWindow, KeepsNoJournalOpenBetweenRefreshes) {
  History h;
  h.recordFour();
  h.window.refresh();
  ASSERT_EQ(h.window.Jobs->rowCount(), 4);
  int open = 0;
  for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (fs::read_symlink(fd.path(), ec).string().find(kJournalName) != std::string::npos) ++open;
  }
  EXPECT_EQ(open, 0);
}
#endif

TEST(HistoryWindow, OpenFolderOpensTheFolderOfTheJobsFile) {
  struct Case {
    int row;
    bool enabled;
    const char* name;  // the file whose folder opens
  };
  const Case cases[] = {{0, true, "img.bin"}, {2, true, "a.bin"}, {3, false, nullptr}};
  History h;
  h.recordFour();
  h.window.refresh();
  EXPECT_FALSE(h.window.OpenFolder->isEnabled()) << "no row selected";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    h.opened.clear();
    h.select(c.row);
    EXPECT_EQ(h.window.OpenFolder->isEnabled(), c.enabled);
    QTest::mouseClick(h.window.OpenFolder, Qt::LeftButton);
    const QStringList expected =
        c.name ? QStringList{QString::fromStdString(fs::path(h.file(c.name)).parent_path().string())} : QStringList{};
    EXPECT_EQ(h.opened, expected);
  }
}

// Restore is offered only where the backup is still there, and passes the row's job on.
TEST(HistoryWindow, RestoreIsOfferedOnlyForABackupThatIsThere) {
  struct Case {
    int row;
    bool enabled;
  };
  const Case cases[] = {{0, true}, {1, false} /* its backup is gone */, {2, false} /* no backup */, {3, false}};
  History h;
  std::vector<std::string> asked;
  h.window.restore = [&](const JournalEntry& job) {
    asked.push_back(job.record.backupPath);
    return std::string();
  };
  h.recordFour();
  h.window.refresh();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    h.select(c.row);
    EXPECT_EQ(h.window.RestoreBackup->isEnabled(), c.enabled);
  }
  h.select(0);
  QTest::mouseClick(h.window.RestoreBackup, Qt::LeftButton);
  EXPECT_EQ(asked, std::vector<std::string>{h.backup()});
  EXPECT_EQ(h.window.Status->text(), history::text::kRestoreChosen);
  // Gone between the refresh and the click: nothing is asked, the line says why.
  fs::remove(h.backup());
  QTest::mouseClick(h.window.RestoreBackup, Qt::LeftButton);
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_TRUE(h.window.Status->text().startsWith(history::text::kBackupGone));
  EXPECT_FALSE(h.window.RestoreBackup->isEnabled());
}

// "Compare with its backup": offered only for a job whose file and backup are both there,
// and it asks for exactly those two.
TEST(HistoryWindow, CompareWithItsBackupIsOfferedOnlyWhereBothAreThere) {
  History h;
  std::vector<std::pair<std::string, std::string>> asked;
  h.window.compareRequested = [&](const std::string& file, const std::string& backup) { asked.emplace_back(file, backup); };
  h.recordFour();
  test::WriteFileBytes(h.file("img.bin"), {1, 2});
  test::WriteFileBytes(h.file("b.bin"), {1, 2});
  h.window.refresh();
  const bool enabled[] = {true, false /* its backup is gone */, false /* no backup */, false};
  for (int row = 0; row < 4; ++row) {
    h.select(row);
    EXPECT_EQ(h.window.CompareWithBackup->isEnabled(), enabled[row]) << row;
  }
  h.select(2);
  EXPECT_FALSE(h.window.compareSelected());
  h.select(0);
  QTest::mouseClick(h.window.CompareWithBackup, Qt::LeftButton);
  EXPECT_EQ(asked, (std::vector<std::pair<std::string, std::string>>{{h.file("img.bin"), h.backup()}}));
}

// From the main window's History button to the KB90xx window the way Start opens it: the
// backup is chosen for the next write and nothing reaches the chip until the technician
// presses the write button and answers its dialog.
TEST(HistoryWindow, RestoreOpensTheTaskWindowWithTheBackupChosenAndWritesNothing) {
  test::ScratchBackupFolder home;
  test::TempDir dir;
  const std::string backup = dir.file("kb90-backup.bin");
  test::WriteFileBytes(backup, std::vector<std::uint8_t>(131072, 0xA5));
  {
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.recordAll({Job("kb90", "write", kBase, true, "T-9", dir.file("new.bin"), backup)}));
  }
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer = d2xx.attach();  // runs the KB90xx firmware: no switch
  auto& chip = dynamic_cast<sim::Kb90Sim&>(*programmer.commandSet("KB90"));
  const auto flashBefore = chip.flash();
  TWindows windows(d2xx);
  TForm1& main = *windows.Form1;
  TKB901X_forms& kb90 = *windows.window<TKB901X_forms>();
  test::WindowScript script;
  script.hook(kb90);
  std::vector<FileDialog> dialogs;
  kb90.dialogAnswer = [&](const FileDialog& dialog) {
    dialogs.push_back(dialog);
    return std::optional<std::string>();  // the technician cancels
  };
  main.show();

  QTest::mouseClick(main.HistoryButton, Qt::LeftButton);
  THistoryWindow& history = *main.historyWindow();
  ASSERT_TRUE(history.isVisible());
  ASSERT_EQ(history.Jobs->rowCount(), 1);
  history.Jobs->selectRow(0);
  ASSERT_TRUE(history.RestoreBackup->isEnabled());
  QTest::mouseClick(history.RestoreBackup, Qt::LeftButton);
  ASSERT_TRUE(test::RunEventsUntil([&] { return kb90.isVisible(); }, kOpenBoundMs)) << "the task window did not open";
  EXPECT_EQ(main.MAIN_SELECTOR->currentText(), "KB9010/12/16/22");
  EXPECT_EQ(kb90.chosenForNextWrite(), backup);
  EXPECT_TRUE(script.endings.empty()) << "no job started by itself";
  EXPECT_TRUE(dialogs.empty());
  EXPECT_EQ(kb90.mode(), Kb90Mode::None);
  EXPECT_EQ(chip.flash(), flashBefore);

  // With a task window open, Start is not the way: the line says so and nothing is chosen.
  kb90.chooseForNextWrite({});
  QTest::mouseClick(history.RestoreBackup, Qt::LeftButton);
  EXPECT_EQ(history.Status->text(), form1::text::kRestoreTaskOpen);
  EXPECT_TRUE(kb90.chosenForNextWrite().empty());
  kb90.chooseForNextWrite(backup);

  // The write's own dialog starts on the backup; cancelled, the chip keeps what it holds.
  QTest::mouseClick(kb90.KB901X_WRITE, Qt::LeftButton);
  ASSERT_TRUE(test::RunEventsUntil([&] { return script.endings.size() == 1; }, kOpenBoundMs));
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].selected, backup);
  EXPECT_EQ(fs::path(dialogs[0].folder), fs::path(backup).parent_path());
  EXPECT_EQ(chip.flash(), flashBefore);
  // Chosen for one write only.
  QTest::mouseClick(kb90.KB901X_WRITE, Qt::LeftButton);
  ASSERT_TRUE(test::RunEventsUntil([&] { return script.endings.size() == 2; }, kOpenBoundMs));
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_TRUE(dialogs[1].selected.empty());
  history.close();
}

}  // namespace
}  // namespace jig
