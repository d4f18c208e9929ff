// Every window's operations end with one verdict line after the documented ones, in the
// window's language, and a failed one leaves the window's gauges red: one table over the
// windows, their checks and transfers, clean and with the programmer's faults.
#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <map>
#include <memory>

#include "gui/TGauge.h"
#include "sim/SimD2xx.h"
#include "tests/support/GuiLog.h"
#include "tests/support/GuiWait.h"
#include "tests/support/TaskWindows.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

struct Opened {
  std::unique_ptr<TTaskWindow> window;
  QPlainTextEdit* log = nullptr;
  std::vector<QAbstractButton*> clicks;  // in order; each waited for to its end
};

struct VerdictCase {
  const char* name;
  const char* image;
  std::map<std::string, std::string> faults;
  std::function<Opened(sim::SimD2xx&)> open;
  bool success;        // of the last click
  const char* verdict;  // the last click's verdict line, or how it begins
};

template <class Window>
Opened Open(sim::SimD2xx& d2xx, std::function<std::vector<QAbstractButton*>(Window&)> clicks) {
  auto window = std::make_unique<Window>(d2xx);
  Opened opened;
  opened.log = window->template findChild<QPlainTextEdit*>();
  opened.clicks = clicks(*window);
  opened.window = std::move(window);
  return opened;
}

const std::string kIteBase = std::string(JIG_SOURCE_DIR) + "/packaging/data/MB connection ITE.txt";

Opened OpenIte(sim::SimD2xx& d2xx, bool apply) {
  auto window = std::make_unique<TITE_FORM>(d2xx, kIteBase);
  Opened opened;
  opened.log = window->ITE_Memo1;
  window->ITE_ComboBox_MB_SWITCH->setCurrentIndex(1);
  window->ITE_ComboBox_MB_SWITCHSelect();
  opened.clicks = {window->ITE_SETUP_BitBtn};
  if (!apply) opened.clicks = {window->ITE_CHECK_CON_BitBtn};
  opened.window = std::move(window);
  return opened;
}

const VerdictCase kCases[] = {
    {"EdidRead", "V41", {}, [](sim::SimD2xx& d) { return Open<TEDID_form>(d, [](auto& w) { return std::vector<QAbstractButton*>{w.EDID_READ}; }); },
     true, "RESULT: read OK, the dump is saved: "},
    {"EdidReadWithoutAnEeprom", "V41", {{"edid-absent", ""}},
     [](sim::SimD2xx& d) { return Open<TEDID_form>(d, [](auto& w) { return std::vector<QAbstractButton*>{w.EDID_READ}; }); },
     false, "RESULT: read FAILED, the file is not written."},
    {"Mec16Probe", "V42", {}, [](sim::SimD2xx& d) { return Open<TMEC16_Form>(d, [](auto& w) { return std::vector<QAbstractButton*>{w.BitBtn_MEC16}; }); },
     true, "ИТОГ: проверка пройдена, микросхема отвечает; в ней ничего не изменено."},
    {"Mec16ProbeOfAProtectedChip", "V42", {{"mec16-fwp", ""}},
     [](sim::SimD2xx& d) { return Open<TMEC16_Form>(d, [](auto& w) { return std::vector<QAbstractButton*>{w.BitBtn_MEC16}; }); },
     false, "ИТОГ: проверка НЕ пройдена (см. строки выше); микросхема не тронута."},
    {"Mec16ReadOfASilentBlock", "V42", {{"mec16-silent-block", "3"}},
     [](sim::SimD2xx& d) { return Open<TMEC16_Form>(d, [](auto& w) { return std::vector<QAbstractButton*>{w.BitBtn_RD_MEC16}; }); },
     false, "ИТОГ: чтение НЕ выполнено, файл не записан."},
    {"IteApply", "ITE", {{"ite-connect-window-ms", "300"}}, [](sim::SimD2xx& d) { return OpenIte(d, true); },
     true, "ИТОГ: выводы переданы программатору."},
    {"IteCheckBeforeApply", "ITE", {{"ite-connect-window-ms", "300"}}, [](sim::SimD2xx& d) { return OpenIte(d, false); },
     false, "ИТОГ: проверка НЕ пройдена (см. строки выше); микросхема не тронута."},
    {"NpceRead", "NPCE", {}, [](sim::SimD2xx& d) { return Open<TNPCE_FORM>(d, [](auto& w) { return std::vector<QAbstractButton*>{w.NPCE_READ}; }); },
     true, "RESULT: read OK, the dump is saved: "},
    {"NpceReadOfAShortBlock", "NPCE", {{"npce-short-block", "100"}},
     [](sim::SimD2xx& d) { return Open<TNPCE_FORM>(d, [](auto& w) { return std::vector<QAbstractButton*>{w.NPCE_READ}; }); },
     false, "RESULT: read FAILED, the file is not written."},
};

class WindowVerdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(WindowVerdicts, TheLastLineIsTheVerdictAndAFailureTurnsTheGaugesRed) {
  const VerdictCase& c = GetParam();
  test::TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  options.image = c.image;
  options.faults = c.faults;
  d2xx.attach(options);
  Opened opened = c.open(d2xx);
  test::WindowScript script;
  script.answer = dir.file("dump.bin");
  script.hook(*opened.window);
  opened.window->show();
  for (QAbstractButton* button : opened.clicks) {
    const std::size_t before = script.endings.size();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(test::RunEventsUntil([&] { return script.endings.size() > before; }, 30000)) << c.name;
  }
  ASSERT_EQ(script.endings.size(), opened.clicks.size());
  EXPECT_EQ(script.endings.back(), c.success);
  // One verdict for each click, the last line of the log the last click's.
  const QStringList verdicts = test::VerdictLines(opened.log);
  ASSERT_EQ(verdicts.size(), static_cast<qsizetype>(opened.clicks.size())) << opened.log->toPlainText().toStdString();
  const QString last = opened.log->toPlainText().split('\n', Qt::SkipEmptyParts).last();
  EXPECT_EQ(last, verdicts.last());
  EXPECT_TRUE(last.startsWith(QString::fromUtf8(c.verdict))) << last.toStdString();
  for (TGauge* gauge : opened.window->findChildren<TGauge*>())
    EXPECT_EQ(gauge->showsFailure(), !c.success) << gauge->objectName().toStdString();
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowVerdicts, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace jig
