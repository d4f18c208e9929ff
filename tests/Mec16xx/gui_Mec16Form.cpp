// The MEC16xx window offscreen: real buttons, real widgets, the simulated MEC1609.
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <filesystem>

#include "Mec16xx/TMEC16_Form.h"
#include "sim/Mec16Sim.h"
#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/GuiLog.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowScript.h"

namespace jig::test {
namespace {

constexpr Mec16Bounds kBounds{300, 400, 400, 1500};

sim::SimOptions V42(std::map<std::string, std::string> faults = {}) {
  sim::SimOptions options;
  options.image = "V42";
  options.faults = std::move(faults);
  return options;
}

struct Window : WindowScript {
  explicit Window(sim::SimOptions options = V42()) : programmer(d2xx.attach(std::move(options))), form(d2xx, kBounds) {
    hook(form);
    form.show();
  }
  // Clicks and lets the event loop run until the operation ends.
  bool clickAndWait(QAbstractButton* button) {
    const std::size_t before = endings.size();
    QTest::mouseClick(button, Qt::LeftButton);
    return QTest::qWaitFor([&] { return endings.size() > before; }, 15000);
  }
  QStringList log() const { return DocumentedLines(form.Memo_MEC16); }
  // A check box takes a click on its box, at its left end.
  static void tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }
  sim::Mec16Sim& chip() { return dynamic_cast<sim::Mec16Sim&>(*programmer.commandSet("MEC16")); }

  ScratchBackupFolder backups;  // first: no backup of a test goes into the real home
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  TMEC16_Form form;
  TempDir dir;
};

TEST(Mec16Form, OpensWithItsControlsCaptionsAndLog) {
  Window w;
  EXPECT_EQ(w.form.windowTitle(), QString("Чтение и запись MEC16 09_06_16"));
  EXPECT_EQ(w.form.BitBtn_RD_MEC16->text(), QString("Чтение FLASH MEC16 "));
  EXPECT_EQ(w.form.EXIT_MEC16->text(), QString("СТОП или ВЫХОД"));
  EXPECT_EQ(w.form.Label_MEC16_FWP->text(), QString("Зеленый=запись/стирание разрешено"));
  EXPECT_FALSE(w.form.CheckBox_write_mec16->isEnabled());
  EXPECT_FALSE(w.form.CheckBox_MEC16_RD->isChecked());
  EXPECT_EQ(w.form.CGauge_MEC16->maximum(), 768);
  EXPECT_FALSE(w.form.windowFlags() & Qt::WindowCloseButtonHint);
  const QStringList log = w.log();
  ASSERT_GE(log.size(), 3);
  EXPECT_EQ(log[0], QString("Не готова запись INFO блока "));
  EXPECT_EQ(log[1], QString("Перед записью нужно стереть! Автоматом пока не делает. "));
  // The window verifies its writes: the note that it cannot is gone.
  EXPECT_FALSE(w.form.Memo_MEC16->toPlainText().contains("верификация"));
  EXPECT_EQ(w.form.VerifyAfterWrite->text(), QString("Проверить после записи"));
  EXPECT_TRUE(w.form.VerifyAfterWrite->isChecked());
  EXPECT_EQ(w.form.ReadTwice->text(), QString("Читать дважды и сравнить"));
  EXPECT_FALSE(w.form.ReadTwice->isChecked());
  EXPECT_EQ(w.form.Backup_MEC16->text(), QString("Резервная копия перед записью"));
  EXPECT_TRUE(w.form.Backup_MEC16->isChecked());
}

TEST(Mec16Form, ProbePaintsTheIndicatorsFromTheStatus) {
  Window w(V42({{"mec16-fwp", ""}}));
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16));
  EXPECT_EQ(w.endings, std::vector<bool>{false});
  EXPECT_TRUE(w.log().contains("--> СТОИТ ЗАЩИТА ЗАПИСИ ! (FWP ножка)"));
  EXPECT_TRUE(w.form.Shape_FWP_MEC16->styleSheet().contains("#ff0000"));
  EXPECT_TRUE(w.form.Shape_BootLock_MEC->styleSheet().contains("#00ff00"));
  EXPECT_EQ(w.d2xx.openHandles(), 0u);
}

TEST(Mec16Form, EraseWriteReadByClicksGivesTheFileBack) {
  Window w;
  w.form.CheckBox_erase_mec16->setChecked(true);
  // The erase asks first; No leaves the chip as it was, with nothing sent.
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16_ERASE));
  ASSERT_EQ(w.questions.size(), 1u);
  EXPECT_TRUE(w.programmer.hostBytes().empty());
  EXPECT_EQ(VerdictLines(w.form.Memo_MEC16).last(), QString::fromUtf8("ИТОГ: стирание отменено, микросхема не тронута."));
  w.yes = true;
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16_ERASE));
  EXPECT_TRUE(w.programmer.hostBytes().size() > 0);
  w.yes = false;
  std::vector<std::uint8_t> source(196608);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>((i * 13) ^ (i >> 9));
  const std::string in = w.dir.file("in.bin");
  const std::string out = w.dir.file("out.bin");
  WriteFileBytes(in, source);
  w.answer = in;
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16_WRITE));
  // The verify read-back leaves its own block count on the gauge.
  EXPECT_EQ(w.form.CGauge_MEC16->value(), 192);
  EXPECT_TRUE(w.log().contains("Проверка после записи: OK, флеш совпадает с образом."));
  w.answer = out;
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_RD_MEC16));
  EXPECT_EQ(w.endings, (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(ReadFileBytes(out), source);
  EXPECT_EQ(w.form.CGauge_MEC16->value(), 192);
  EXPECT_TRUE(w.log().contains("Чтение MAIN блока завершено успешно."));
  EXPECT_EQ(w.form.operations().mode(), Mec16Mode::None);
}

TEST(Mec16Form, ExitStopsAMainReadAndOtherButtonsDoNothingMeanwhile) {
  Window w(V42({{"mec16-slow-blocks", "3000"}}));
  const std::string out = w.dir.file("stopped.bin");
  w.answer = out;
  QTest::mouseClick(w.form.BitBtn_RD_MEC16, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.form.CGauge_MEC16->value() >= 3; }, 10000));
  const QString logBefore = w.form.Memo_MEC16->toPlainText();
  const std::vector<QPushButton*> ignored = {w.form.BitBtn_MEC16, w.form.BitBtn_RD_MEC16, w.form.BitBtn_MEC16_ERASE,
                                             w.form.BitBtn_MEC16_WRITE, w.form.BitBtn_MEC16_HELP};
  for (QPushButton* button : ignored) {
    EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString() << ": ignored, so it looks it";
    button->click();
  }
  w.form.BitBtn_RD_MEC16Click();  // and the handler itself does nothing either
  QCoreApplication::processEvents();
  EXPECT_EQ(w.form.Memo_MEC16->toPlainText(), logBefore);
  EXPECT_EQ(w.dialogs.size(), 1u);
  EXPECT_TRUE(w.endings.empty());
  // The read-back check boxes are held while the transfer runs.
  EXPECT_FALSE(w.form.ReadTwice->isEnabled());
  EXPECT_FALSE(w.form.VerifyAfterWrite->isEnabled());
  EXPECT_FALSE(w.form.Backup_MEC16->isEnabled());

  QTest::mouseClick(w.form.EXIT_MEC16, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.endings.empty(); }, 10000));
  EXPECT_EQ(w.endings, std::vector<bool>{false});
  EXPECT_TRUE(w.form.isVisible());  // a stop, not an exit
  for (QPushButton* button : ignored) EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_TRUE(w.form.ReadTwice->isEnabled());
  EXPECT_TRUE(w.form.VerifyAfterWrite->isEnabled());
  EXPECT_TRUE(w.form.Backup_MEC16->isEnabled());
  EXPECT_TRUE(w.log().contains("Пользователь прервал операцию чтения."));
  // The blocks read before the stop are no dump: nothing under the chosen name.
  const int blocks = w.form.CGauge_MEC16->value();
  EXPECT_GE(blocks, 3);
  EXPECT_LT(blocks, 192);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(TemporaryDumps(w.dir.path()).empty());
  EXPECT_EQ(w.d2xx.openHandles(), 0u);
}

TEST(Mec16Form, ReadBackCheckBoxesByClicks) {
  Window w(V42({{"mec16-unstable-first-block", ""}, {"mec16-flip-bit", "100"}}));
  // Read twice by a click: the chip's second MAIN read since power-on (the second of this
  // pair) comes changed in its first block; no file.
  Window::tick(w.form.ReadTwice);
  ASSERT_TRUE(w.form.ReadTwice->isChecked());
  const std::string out = w.dir.file("out.bin");
  w.answer = out;
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_RD_MEC16));
  EXPECT_EQ(w.endings.back(), false);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(w.log().contains("Двойное чтение: чтения различаются, первое отличие по адресу 00000200, различных байт: "
                               "4. Файл не записан."));

  // No backup read in front of the writes: only the look whether MAIN is blank.
  Window::tick(w.form.Backup_MEC16);
  ASSERT_FALSE(w.form.Backup_MEC16->isChecked());
  w.chip().setMainArray(std::vector<std::uint8_t>(196608, 0xFF));
  std::vector<std::uint8_t> source(196608);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>((i * 5) ^ (i >> 10));
  const std::string in = w.dir.file("in.bin");
  WriteFileBytes(in, source);

  // Verify on, as the window opens: the flipped bit fails the click.
  w.answer = in;
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16_WRITE));
  EXPECT_EQ(w.endings.back(), false);
  EXPECT_TRUE(w.log().contains("Проверка после записи: ОШИБКА, первое отличие по адресу 00000100, различных байт: 1."));

  // Verify off by a click: no read-back, the write alone succeeds.
  Window::tick(w.form.VerifyAfterWrite);
  ASSERT_FALSE(w.form.VerifyAfterWrite->isChecked());
  w.chip().setMainArray(std::vector<std::uint8_t>(196608, 0xFF));
  const std::size_t wire = w.programmer.hostBytes().size();
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16_WRITE));
  EXPECT_EQ(w.endings.back(), true);
  const auto host = w.programmer.hostBytes();
  const std::string sent(host.begin() + static_cast<std::ptrdiff_t>(wire), host.end());
  // The one read is the look before the write; none follows it.
  EXPECT_EQ(sent.find("wFF390800000105R000000"), sent.rfind("wFF390800000105R000000"));
  EXPECT_LT(sent.find("wFF390800000105R000000"), sent.find("wFF390800000106"));
  EXPECT_TRUE(sent.ends_with("wFF391000000000I0"));
  EXPECT_EQ(w.dialogs.size(), 3u);
  EXPECT_EQ(w.form.operations().mode(), Mec16Mode::None);
  EXPECT_EQ(w.d2xx.openHandles(), 0u);
}

TEST(Mec16Form, ExitWhenIdleShowsTheMainWindow) {
  TTaskWindow mainWindow("Form1", "Holbrenik_JIG");
  Window w;
  QTest::mouseClick(w.form.EXIT_MEC16, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.form.isVisible(); }, 5000));
  EXPECT_TRUE(mainWindow.isVisible());
  EXPECT_TRUE(w.programmer.hostBytes().empty());
}

// The simulated board arrives with old firmware: the backup shows MAIN is not blank, and the
// window asks on its own thread before anything else is sent. Нет leaves the chip as it was;
// Да erases after the backup, then writes.
TEST(Mec16Form, BackupBoxIsOnAndAWriteOverOldFirmwareAsksToEraseFirst) {
  Window w;
  std::vector<bool> askedOnWindowThread;
  w.form.yesNoAnswer = [&w, &askedOnWindowThread](const std::string& question) {
    askedOnWindowThread.push_back(QThread::currentThread() == w.form.thread());
    w.questions.push_back(question);
    return w.yes;
  };
  const auto old = w.chip().mainArray();
  Window::tick(w.form.VerifyAfterWrite);  // the backup and the write alone
  std::vector<std::uint8_t> source(196608);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 8));
  const std::string in = w.dir.file("in.bin");
  WriteFileBytes(in, source);
  w.answer = in;
  // The write's open, then the documented MAIN read on its own open.
  const std::string read = "BB1jwFF391000000001wFF390800000105R000000" + std::string(191, 'N') + "X" +
                           "wFF390800000100wFF390800000000wFF391000000000I0";

  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16_WRITE));
  EXPECT_EQ(w.endings, std::vector<bool>{false});
  EXPECT_EQ(w.questions, std::vector<std::string>{"Стереть и записать?"});
  const auto declined = w.programmer.hostBytes();
  EXPECT_EQ(std::string(declined.begin(), declined.end()), read);
  EXPECT_EQ(w.chip().mainArray(), old);
  EXPECT_TRUE(w.log().contains("Запись отменена: микросхема не стёрта и не тронута."));
  EXPECT_TRUE(w.form.BitBtn_MEC16_WRITE->isEnabled());

  w.yes = true;
  ASSERT_TRUE(w.clickAndWait(w.form.BitBtn_MEC16_WRITE));
  EXPECT_EQ(w.endings, (std::vector<bool>{false, true}));
  EXPECT_EQ(askedOnWindowThread, (std::vector<bool>{true, true}));
  const auto host = w.programmer.hostBytes();
  const std::string wire(host.begin() + static_cast<std::ptrdiff_t>(declined.size()), host.end());
  // The read, then the erase of MAIN on its own open, then the write on another.
  EXPECT_EQ(wire.rfind(read, 0), 0u);
  const std::size_t erase = wire.find("wFF390800000107wFF390400F80000", read.size());
  EXPECT_NE(erase, std::string::npos);
  EXPECT_LT(erase, wire.find("wFF390800000106", read.size()));
  EXPECT_EQ(w.chip().mainArray(), source);
  const auto files = w.backups.files();
  ASSERT_EQ(files.size(), 2u);
  for (const auto& file : files) EXPECT_EQ(ReadFileBytes(file), old);
  EXPECT_TRUE(w.log().filter(QString::fromStdString("Копия микросхемы: " + files[1])).size() == 1);
  EXPECT_TRUE(w.form.Backup_MEC16->isEnabled());
  EXPECT_EQ(w.d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig::test
