// The label field of the task windows: where it is, what it says while empty, and the label
// typed into it on the job the journal keeps. Never kept past the window's exit.
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "journal/Journal.h"
#include "sim/SimD2xx.h"
#include "tests/support/GuiWait.h"
#include "tests/support/TaskBench.h"
#include "tests/support/TaskWindows.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

// A hang guard, not a timing: a read of a whole chip under a sanitizer takes seconds.
constexpr int kJobBoundMs = 30000;

QLineEdit* LabelOf(const TTaskWindow& window) { return window.findChild<QLineEdit*>("JobLabel"); }

// Every window with jobs shows the field in its window's language; the keyboard tester has
// no jobs and no field.
TEST(JobLabel, EveryWindowWithJobsHasTheFieldInItsLanguage) {
  struct Case {
    const char* window;
    const char* hint;  // nullptr: no field
    const char* task;
  };
  const Case cases[] = {{"TKB901X_forms", "Ticket / board no.", "kb90"},
                        {"TNPCE_FORM", "Ticket / board no.", "npce"},
                        {"TEDID_form", "Ticket / board no.", "edid"},
                        {"TMEC16_Form", "Заявка / № платы", "mec16"},
                        {"TITE_FORM", "Заявка / № платы", "ite"},
                        {"TKeyboard_testing", nullptr, ""}};
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.window);
    TTaskWindow* window = TTaskWindow::Find(c.window);
    ASSERT_NE(window, nullptr);
    QLineEdit* label = LabelOf(*window);
    EXPECT_EQ(window->journalTask(), c.task);
    if (!c.hint) {
      EXPECT_EQ(label, nullptr);
      continue;
    }
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label, window->jobLabel());
    EXPECT_EQ(label->placeholderText(), QString::fromUtf8(c.hint));
    EXPECT_TRUE(label->text().isEmpty()) << "a label is never kept from an earlier run";
    EXPECT_EQ(TTaskWindow::FindByJournalTask(c.task), window);
    // The last row of the window, under everything the window documents.
    window->layout()->activate();
    const QRect field = label->geometry();
    for (QWidget* other : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (other == label || !other->isVisibleTo(window)) continue;
      EXPECT_LE(other->geometry().top(), field.top()) << other->objectName().toStdString();
    }
  }
}

// The field takes what the journal takes: an edit that brings in a control character, typed
// or pasted, is refused whole; at most 200 characters, Cyrillic ones as many as Latin.
TEST(JobLabel, TheFieldTakesNoControlCharacterAndAtMost200Characters) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  QLineEdit* label = LabelOf(*TTaskWindow::Find("TKB901X_forms"));
  ASSERT_NE(label, nullptr);
  struct Case {
    QString typed;
    QString kept;
  };
  const Case cases[] = {{"T-4711", "T-4711"},
                        {"T-1\nRESULT: ok", ""},
                        {QString("T-1") + QChar(0x1B) + "[2J", ""},
                        {QString("bell") + QChar(0x07), ""},
                        {QString("csi") + QChar(0x9B), ""},
                        {QString(250, QChar(0x416)), QString(200, QChar(0x416))},
                        {QString(201, 'x'), QString(200, 'x')}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    label->clear();
    QTest::keyClicks(label, "ok ");
    label->insert(c.typed);
    EXPECT_EQ(label->text(), c.kept.isEmpty() ? QString("ok ") : "ok " + c.kept.left(197));
  }
}

// A window on the simulated programmer, with the button that reads its chip.
struct LabelledRead {
  const char* name;
  const char* image;
  std::function<std::unique_ptr<TTaskWindow>(sim::SimD2xx&)> make;
  const char* readButton;
  const char* exitButton;
  const char* task;
  const char* action;
};

void PrintTo(const LabelledRead& c, std::ostream* out) { *out << c.name; }

class JobLabelFlow : public ::testing::TestWithParam<LabelledRead> {};

// The label typed before a click is the recorded job's label, trimmed; the exit forgets it.
TEST_P(JobLabelFlow, ReadIsRecordedWithTheLabel) {
  const LabelledRead& c = GetParam();
  test::TaskBench bench(test::Options(c.image));
  std::unique_ptr<TTaskWindow> window = c.make(bench.d2xx);
  test::WindowScript script;
  script.hook(*window);
  script.answer = bench.dir.file("dump.bin");
  window->show();
  QLineEdit* label = LabelOf(*window);
  ASSERT_NE(label, nullptr);
  QTest::keyClicks(label, "  T-4711 board 7 ");
  QTest::mouseClick(window->findChild<QPushButton*>(c.readButton), Qt::LeftButton);
  ASSERT_TRUE(test::RunEventsUntil([&] { return !script.endings.empty(); }, kJobBoundMs));
  EXPECT_EQ(script.endings, std::vector<bool>{true});

  Journal journal(JournalFile(), false);
  ASSERT_TRUE(journal.ok()) << journal.error().text;
  const auto jobs = journal.history({});
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].record.task, c.task);
  EXPECT_EQ(jobs[0].record.action, c.action);
  EXPECT_EQ(jobs[0].record.label, "T-4711 board 7");
  EXPECT_EQ(label->text(), "  T-4711 board 7 ") << "the field keeps the label for the board's next job";

  QTest::mouseClick(window->findChild<QPushButton*>(c.exitButton), Qt::LeftButton);
  ASSERT_FALSE(window->isVisible());
  EXPECT_TRUE(label->text().isEmpty()) << "the next board starts without the last one's label";
}

INSTANTIATE_TEST_SUITE_P(
    Windows, JobLabelFlow,
    ::testing::Values(
        LabelledRead{"Kb90", "",
                     [](sim::SimD2xx& d2xx) -> std::unique_ptr<TTaskWindow> {
                       return std::make_unique<TKB901X_forms>(d2xx, std::vector<std::filesystem::path>{});
                     },
                     "KB901X_READ", "EXIT_KB901X", "kb90", "read"},
        LabelledRead{"Mec16", "V42",
                     [](sim::SimD2xx& d2xx) -> std::unique_ptr<TTaskWindow> {
                       return std::make_unique<TMEC16_Form>(d2xx, Mec16Bounds{300, 400, 400, 1500});
                     },
                     "BitBtn_RD_MEC16", "EXIT_MEC16", "mec16", "read"},
        LabelledRead{"Edid", "",
                     [](sim::SimD2xx& d2xx) -> std::unique_ptr<TTaskWindow> {
                       return std::make_unique<TEDID_form>(d2xx, EdidBounds{300, 200, 300});
                     },
                     "EDID_READ", "EXIT_EDID", "edid", "read"}),
    [](const ::testing::TestParamInfo<LabelledRead>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace jig
