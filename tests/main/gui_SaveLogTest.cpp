// "Save log..." on every window's log: the program's version on top, then the log as shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <filesystem>

#include "tests/support/TaskWindows.h"
#include "sim/SimD2xx.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

QAction* SaveAction(QMenu& menu) {
  for (QAction* action : menu.actions())
    if (action->objectName() == "SaveLogAction") return action;
  return nullptr;
}

TEST(SaveLog, EveryWindowWithALogSavesItWithTheVersionOnTop) {
  EXPECT_TRUE(QRegularExpression("^Holbrenik_JIG \\d+\\.\\d+$").match(TTaskWindow::ProgramVersion()).hasMatch())
      << TTaskWindow::ProgramVersion().toStdString();
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  test::TempDir dir;
  const std::vector<TTaskWindow*> withLog = {windows.window<TEDID_form>(),  windows.window<TKB901X_forms>(),
                                             windows.window<TKeyboard_testing>(), windows.window<TMEC16_Form>(),
                                             windows.window<TITE_FORM>(),   windows.window<TNPCE_FORM>(),
                                             windows.UPDATE_FORM.get()};
  for (TTaskWindow* window : withLog) {
    SCOPED_TRACE(window->objectName().toStdString());
    auto* memo = window->findChild<QPlainTextEdit*>();
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->contextMenuPolicy(), Qt::CustomContextMenu);
    window->log("Текущее время  12:00:00");
    window->log("Reading completed successfully.");

    const std::string path = dir.file(window->objectName().toStdString() + ".txt");
    std::vector<FileDialog> asked;
    window->dialogAnswer = [&](const FileDialog& dialog) -> std::optional<std::string> {
      asked.push_back(dialog);
      return path;
    };
    std::unique_ptr<QMenu> menu(window->logMenu());
    QAction* save = SaveAction(*menu);
    ASSERT_NE(save, nullptr);
    // The MEC16xx and ITE windows speak Russian.
    const bool russian = window == windows.window<TMEC16_Form>() || window == windows.window<TITE_FORM>();
    EXPECT_EQ(save->text(), russian ? QString("Сохранить журнал...") : QString("Save log..."));
    EXPECT_TRUE(save->isEnabled());
    save->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].promptOverwrite);

    const auto bytes = test::ReadFileBytes(path);
    // A text file on Windows ends its lines with CR LF; what is read here is the lines.
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()))
                             .remove('\r');
    const QStringList lines = text.split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], TTaskWindow::ProgramVersion());
    EXPECT_EQ(lines[1], window->windowTitle());
    EXPECT_TRUE(lines[3].isEmpty());
    // The log follows whole, UTF-8, ending in one line end.
    EXPECT_TRUE(text.endsWith(memo->toPlainText() + "\n"));
    EXPECT_TRUE(text.contains("Текущее время  12:00:00\nReading completed successfully.\n"));
    window->dialogAnswer = nullptr;
  }
}

TEST(SaveLog, ACancelledDialogWritesNothingAndAnUnwritableFileSaysSo) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  TTaskWindow& window = *windows.window<TNPCE_FORM>();
  window.log("line");
  window.dialogAnswer = [](const FileDialog&) -> std::optional<std::string> { return std::nullopt; };
  std::vector<std::string> boxes;
  window.errorBoxSeen = [&](const std::string& text) { boxes.push_back(text); };
  EXPECT_FALSE(window.saveLogAs());
  EXPECT_TRUE(boxes.empty());

  test::TempDir dir;
  const std::string inMissingFolder = dir.file("no/such/folder/log.txt");
  window.dialogAnswer = [&](const FileDialog&) -> std::optional<std::string> { return inMissingFolder; };
  EXPECT_FALSE(window.saveLogAs());
  ASSERT_EQ(boxes.size(), 1u);
  // The box names the file as the system writes paths.
  EXPECT_NE(boxes[0].find(QDir::toNativeSeparators(QString::fromStdString(inMissingFolder)).toStdString()), std::string::npos)
      << boxes[0];
  EXPECT_FALSE(std::filesystem::exists(inMissingFolder));
}

}  // namespace
}  // namespace jig
