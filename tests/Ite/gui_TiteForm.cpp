// The ITE window on the offscreen platform: real widgets, real clicks, the simulated bench.
#include <QElapsedTimer>
#include <algorithm>
#include <filesystem>
#include <tuple>
#include <QEventLoop>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "Ite/IteTexts.h"
#include "Ite/TITE_FORM.h"
#include "files/Backups.h"
#include "gui/TGauge.h"
#include "tests/Ite/IteTestSupport.h"
#include "tests/support/GuiWait.h"
#include "tests/support/GuiLog.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

class IteWindow : public ::testing::Test, public test::WindowScript {
 protected:
  void SetUp() override {
    sim::SimOptions options;
    options.image = "ITE";
    options.faults["ite-connect-window-ms"] = "300";  // a wrong board is told at once
    options.faults["version"] = test::kIteVersion;    // no open waits for the rest of the text
    adjust(options);
    programmer = &d2xx.attach(options);
    chip = dynamic_cast<sim::IteSim*>(programmer->commandSet("ITE"));
    // The base as the bench keeps it: Windows-1251, CR LF.
    std::vector<std::uint8_t> base = test::Bytes(test::kBoard1 + "\r\n" + test::kBoard2 + "\r\n");
    const std::vector<std::uint8_t> russian = {0xCF, 0xEB, 0xE0, 0xF2, 0xE0, ' ', 'X', '\r', '\n'};
    base.insert(base.end(), russian.begin(), russian.end());
    test::WriteFileBytes(dir.file("base.txt"), base);
    form = std::make_unique<TITE_FORM>(d2xx, dir.file("base.txt"));
    hook(*form, [this](bool) {
      if (loop) loop->quit();
    });
  }

  // A suite's own bench.
  virtual void adjust(sim::SimOptions&) {}

  // Lets queued reports from the worker arrive until the count of endings is reached.
  bool waitEndings(std::size_t count, int ms = 20000) {
    QTimer timer;
    timer.setSingleShot(true);
    QEventLoop events;
    loop = &events;
    QObject::connect(&timer, &QTimer::timeout, &events, &QEventLoop::quit);
    timer.start(ms);
    while (endings.size() < count && timer.isActive()) events.exec();
    loop = nullptr;
    return endings.size() >= count;
  }

  QStringList logLines() const { return test::DocumentedLines(form->ITE_Memo1); }

  void chooseBoard(int entry) {
    form->ITE_ComboBox_MB_SWITCH->setFocus();
    while (form->ITE_ComboBox_MB_SWITCH->currentIndex() < entry)
      QTest::keyClick(form->ITE_ComboBox_MB_SWITCH, Qt::Key_Down);
  }

  test::ScratchBackupFolder backups;  // first: no backup of a test goes into the real home
  test::TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimProgrammer* programmer = nullptr;
  sim::IteSim* chip = nullptr;
  std::unique_ptr<TITE_FORM> form;
  QEventLoop* loop = nullptr;
};

TEST_F(IteWindow, StartsWithTheHowToTextTheBaseAndAllButtonsEnabled) {
  EXPECT_EQ(form->windowTitle(), "ITE 20_06_2016");
  QStringList expected;
  for (std::string_view row : ite::text::kHowTo) expected << QString::fromUtf8(row.data(), static_cast<int>(row.size()));
  EXPECT_EQ(form->ITE_Memo1->toPlainText(), expected.join('\n'));
  EXPECT_EQ(logLines().size(), 17);
  EXPECT_EQ(logLines()[5], "2 Настроить управляющие сигналы и нажать \"Применить\".  ");

  auto* list = form->ITE_ComboBox_MB_SWITCH;
  ASSERT_EQ(list->count(), 4);
  EXPECT_EQ(list->itemText(0), "Please select MOTHERBOARD");
  EXPECT_EQ(list->itemText(3), "Плата X");
  EXPECT_EQ(list->maxVisibleItems(), 30);
  EXPECT_TRUE(form->ITE_CheckBox->isChecked());
  EXPECT_FALSE(form->ITE_CheckBox->isEnabled());
  for (QComboBox* box : form->pinBoxes) {
    EXPECT_EQ(box->count(), 33);
    EXPECT_EQ(box->currentText(), "NC");
  }
  for (QPushButton* button : {form->ITE_SETUP_BitBtn, form->ITE_CHECK_CON_BitBtn, form->ITE_READ_BitBtn,
                              form->ITE_WRITE_BitBtn, form->ITE_EXIT_BitBtn})
    EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(form->ITE_CGauge1->maximum(), 512);
  EXPECT_EQ(form->SPEED_ITE_CGauge->maximum(), 256);
  EXPECT_EQ(form->Backup_ITE->objectName(), "Backup_ITE");
  EXPECT_EQ(form->Backup_ITE->text(), "Резервная копия перед записью");
  EXPECT_TRUE(form->Backup_ITE->isChecked());

  TITE_FORM missing(d2xx, dir.file("none.txt"));
  ASSERT_EQ(missing.ITE_ComboBox_MB_SWITCH->count(), 1);
  EXPECT_EQ(missing.ITE_ComboBox_MB_SWITCH->itemText(0), "File [MB connection ITE.txt] not found. Please read manual!");
  // Where it was looked for, in the window's language.
  EXPECT_TRUE(missing.ITE_Memo1->toPlainText().endsWith(
      QString::fromStdString("none.txt: искали в: " + dir.path().string())))
      << missing.ITE_Memo1->toPlainText().toStdString();
}

TEST_F(IteWindow, BoardChoiceFillsTheBoxesAndTheCheckBoxMirrors) {
  chooseBoard(1);
  EXPECT_EQ(form->findChild<QComboBox*>("ComboBox13")->currentText(), "10");  // BUSY
  EXPECT_TRUE(form->ITE_CheckBox->isEnabled());
  QTest::mouseClick(form->ITE_CheckBox, Qt::LeftButton);
  EXPECT_FALSE(form->ITE_CheckBox->isChecked());
  EXPECT_EQ(form->findChild<QComboBox*>("ComboBox1")->currentText(), "30");
  // A box set to "NC" by hand stays "NC" through the mirror.
  auto* ksi4 = form->findChild<QComboBox*>("ComboBox14");
  ksi4->setFocus();
  while (ksi4->currentIndex() > 0) QTest::keyClick(ksi4, Qt::Key_Up);
  QTest::mouseClick(form->ITE_CheckBox, Qt::LeftButton);
  EXPECT_EQ(form->findChild<QComboBox*>("ComboBox1")->currentText(), "1");
  EXPECT_EQ(ksi4->currentText(), "NC");
  EXPECT_EQ(form->operations().pins()[13], 0);
}

TEST_F(IteWindow, ApplyCheckWriteAndReadByClicks) {
  chooseBoard(1);
  QTest::mouseClick(form->ITE_SETUP_BitBtn, Qt::LeftButton);
  EXPECT_EQ(logLines().last(), "Настройки все отправлены.");
  QTest::mouseClick(form->ITE_CHECK_CON_BitBtn, Qt::LeftButton);
  EXPECT_TRUE(logLines().contains("Найден ID мульта -> 8502 ревизия -> 07"));

  std::vector<std::uint8_t> image(131072, 0xFF);
  for (std::size_t i = 0; i < 4096; ++i) image[i * 16] = static_cast<std::uint8_t>(i);
  test::WriteFileBytes(dir.file("in.bin"), image);
  // What the flash held before: the backup box is on as the window opens.
  std::vector<std::uint8_t> old(131072);
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<std::uint8_t>(i * 11 + (i >> 9));
  chip->flash() = old;
  std::vector<FileDialog> asked;
  std::vector<std::string> answers = {dir.file("in.bin"), dir.file("out.bin")};
  form->dialogAnswer = [&](const FileDialog& dialog) -> std::optional<std::string> {
    asked.push_back(dialog);
    return answers.at(asked.size() - 1);
  };
  const std::size_t before = endings.size();
  QTest::mouseClick(form->ITE_WRITE_BitBtn, Qt::LeftButton);
  EXPECT_FALSE(form->ITE_READ_BitBtn->isEnabled());
  QTest::mouseClick(form->ITE_WRITE_BitBtn, Qt::LeftButton);  // busy: ignored
  ASSERT_TRUE(waitEndings(before + 1));
  EXPECT_TRUE(endings.back());
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(form->ITE_CGauge1->value(), 512);
  EXPECT_TRUE(form->ITE_READ_BitBtn->isEnabled());
  const auto files = backups.files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(files[0]), old);
  // The backup's read came before the write's Connect and erase.
  const auto log = logLines();
  qsizetype backupLine = -1;
  for (qsizetype i = 0; i < log.size(); ++i)
    if (log[i].startsWith(QString::fromStdString("Копия микросхемы: " + files[0] + " SHA-256 "))) backupLine = i;
  ASSERT_GE(backupLine, 0);
  EXPECT_LT(backupLine, log.indexOf("Команда стирания чипа отправлена (0x60/0xC7)..."));

  QTest::mouseClick(form->ITE_READ_BitBtn, Qt::LeftButton);
  ASSERT_TRUE(waitEndings(before + 2));
  EXPECT_TRUE(endings.back());
  EXPECT_EQ(test::ReadFileBytes(dir.file("out.bin")), image);
  EXPECT_EQ(logLines().contains("Мы все прочитали "), true);
  EXPECT_EQ(d2xx.openHandles(), 0u);
  for (QPushButton* button : {form->ITE_SETUP_BitBtn, form->ITE_CHECK_CON_BitBtn, form->ITE_WRITE_BitBtn,
                              form->ITE_EXIT_BitBtn})
    EXPECT_TRUE(button->isEnabled());
}

TEST_F(IteWindow, WrongBoardFailsTheWriteAndExitClearsTheLog) {
  chooseBoard(2);
  QTest::mouseClick(form->ITE_SETUP_BitBtn, Qt::LeftButton);
  test::WriteFileBytes(dir.file("in.bin"), {1, 2, 3});
  const std::size_t before = endings.size();
  form->dialogAnswer = [&](const FileDialog&) -> std::optional<std::string> { return dir.file("in.bin"); };
  form->yesNoAnswer = [](const std::string&) { return true; };  // the short file: written all the same
  QTest::mouseClick(form->ITE_WRITE_BitBtn, Qt::LeftButton);
  ASSERT_TRUE(waitEndings(before + 1, 10000));
  EXPECT_FALSE(endings.back());
  // The backup's read finds no controller first: the write never starts.
  EXPECT_TRUE(logLines().contains(QString::fromStdString(test::FailureLine("2F"))));
  EXPECT_EQ(logLines().last().toStdString(), BackupReadFailedLine(LogLanguage::Russian));
  EXPECT_EQ(programmer->hostBytes().back(), 'O');
  EXPECT_TRUE(form->ITE_READ_BitBtn->isEnabled());

  form->show();
  QTest::mouseClick(form->ITE_EXIT_BitBtn, Qt::LeftButton);
  EXPECT_TRUE(form->ITE_Memo1->toPlainText().isEmpty());
  EXPECT_FALSE(form->isVisible());
}

TEST_F(IteWindow, VerifyAndReadTwiceBoxesAreTakenAtTheClickAndRestDuringATransfer) {
  EXPECT_EQ(form->VerifyAfterWrite->text(), "Проверить после записи");
  EXPECT_TRUE(form->VerifyAfterWrite->isChecked());
  EXPECT_EQ(form->ReadTwice->text(), "Читать дважды и сравнить");
  EXPECT_FALSE(form->ReadTwice->isChecked());
  // The block counts below are the read-back boxes' alone: no backup read before a write.
  QTest::mouseClick(form->Backup_ITE, Qt::LeftButton);
  ASSERT_FALSE(form->Backup_ITE->isChecked());
  form->yesNoAnswer = [](const std::string&) { return true; };  // the 300-byte image
  chooseBoard(1);
  QTest::mouseClick(form->ITE_SETUP_BitBtn, Qt::LeftButton);
  std::vector<std::uint8_t> image(300, 0xFF);
  image[299] = 0x42;
  test::WriteFileBytes(dir.file("in.bin"), image);
  std::vector<std::string> answers = {dir.file("in.bin"), dir.file("in.bin"), dir.file("out.bin")};
  std::size_t asked = 0;
  form->dialogAnswer = [&](const FileDialog&) -> std::optional<std::string> { return answers.at(asked++); };
  auto blocks = [this] {
    const auto bytes = programmer->hostBytes();
    return std::count(bytes.begin(), bytes.end(), std::uint8_t{'r'});
  };

  // On (the default): the write reads back; the boxes rest while it runs.
  std::size_t before = endings.size();
  QTest::mouseClick(form->ITE_WRITE_BitBtn, Qt::LeftButton);
  EXPECT_FALSE(form->VerifyAfterWrite->isEnabled());
  EXPECT_FALSE(form->ReadTwice->isEnabled());
  EXPECT_FALSE(form->Backup_ITE->isEnabled());
  // Every button is out of use while the write runs, WRITE itself too.
  for (QPushButton* button : {form->ITE_SETUP_BitBtn, form->ITE_CHECK_CON_BitBtn, form->ITE_READ_BitBtn,
                              form->ITE_WRITE_BitBtn, form->ITE_EXIT_BitBtn})
    EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
  ASSERT_TRUE(waitEndings(before + 1));
  EXPECT_TRUE(endings.back());
  EXPECT_TRUE(form->ITE_WRITE_BitBtn->isEnabled());
  EXPECT_EQ(logLines().last(), "Проверка после записи: OK, флеш совпадает с образом.");
  EXPECT_EQ(blocks(), 512);
  EXPECT_TRUE(form->VerifyAfterWrite->isEnabled());
  EXPECT_TRUE(form->ReadTwice->isEnabled());

  // Off by a click: no read-back at all.
  programmer->clearTranscript();
  QTest::mouseClick(form->VerifyAfterWrite, Qt::LeftButton);
  EXPECT_FALSE(form->VerifyAfterWrite->isChecked());
  before = endings.size();
  QTest::mouseClick(form->ITE_WRITE_BitBtn, Qt::LeftButton);
  ASSERT_TRUE(waitEndings(before + 1));
  EXPECT_TRUE(endings.back());
  EXPECT_EQ(blocks(), 0);
  EXPECT_EQ(programmer->hostBytes().back(), 'I');

  // Read twice by a click: two reads, and the file from the matching pair.
  programmer->clearTranscript();
  QTest::mouseClick(form->ReadTwice, Qt::LeftButton);
  before = endings.size();
  QTest::mouseClick(form->ITE_READ_BitBtn, Qt::LeftButton);
  ASSERT_TRUE(waitEndings(before + 1));
  EXPECT_TRUE(endings.back());
  EXPECT_EQ(blocks(), 1024);
  EXPECT_EQ(logLines().last(), "Двойное чтение: оба чтения совпадают.");
  EXPECT_EQ(logLines().count("Проверка дампа: содержимое похоже на настоящие данные."), 1);
  auto expected = image;
  expected.resize(131072, 0xFF);
  EXPECT_EQ(test::ReadFileBytes(dir.file("out.bin")), expected);
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

// The stop, by where a write (or a read) stands when it is pressed. The bench runs at wire
// speed, so each phase lasts long enough to be caught in.
enum class StopAt { BackupRead, EraseWait, Programming, Verify, Read };
struct StopCase {
  const char* name;
  StopAt at;
  bool backup;
  std::optional<bool> answer;      // the stop's question and its answer; none: not asked
  bool success;                    // the verdict the operation ends with
  std::vector<std::string> lines;  // logged after the stop, in this order
};

const StopCase kStops[] = {
    {"DuringTheBackupRead", StopAt::BackupRead, true, std::nullopt, false,
     {ite::text::kStopped, BackupReadFailedLine(LogLanguage::Russian)}},
    {"DuringTheEraseWait", StopAt::EraseWait, false, std::nullopt, false,
     {ite::text::kStopped, ite::text::kStoppedInErase}},
    {"DuringProgrammingAnsweredNo", StopAt::Programming, false, false, true,
     {ite::text::kWriteDone, "Проверка после записи: OK, флеш совпадает с образом."}},
    {"DuringProgrammingAnsweredYes", StopAt::Programming, false, true, false,
     {ite::text::kStopped, ite::text::kStoppedHalfWritten}},
    {"DuringTheVerify", StopAt::Verify, false, std::nullopt, false, {ite::text::kStopped, ite::text::kVerifyNotDone}},
    {"DuringARead", StopAt::Read, false, std::nullopt, false, {ite::text::kStopped}},
};

class IteWindowStop : public IteWindow, public ::testing::WithParamInterface<StopCase> {
 protected:
  void adjust(sim::SimOptions& options) override {
    options.wireTime = true;
    // An erase that would outlast the test by far unless the stop ends its wait.
    if (GetParam().at == StopAt::EraseWait) options.faults["ite-erase-ms"] = "20000";
  }

  bool logHas(const char* line) const { return logLines().contains(QString::fromUtf8(line)); }
  // The moment the case stops at: its phase has begun and has run a while.
  bool reached(StopAt at) const {
    const int pages = form->ITE_CGauge1->value();
    switch (at) {
      case StopAt::BackupRead:
        return logHas(BackupStartLine(LogLanguage::Russian).c_str()) && pages >= 5;
      case StopAt::EraseWait:
        return logHas(ite::text::kEraseSent);
      case StopAt::Programming:
        return logHas(ite::text::kWritingBytes) && form->operations().job().phase() == JobPhase::Writing && pages >= 1;
      case StopAt::Verify:
        return logHas(ite::text::kVerifyStart) && pages >= 5;
      case StopAt::Read:
        return logHas(ite::text::kReading) && pages >= 5;
    }
    return false;
  }
};

TEST_P(IteWindowStop, EndsWhereItStandsAndSaysWhatTheChipHolds) {
  const StopCase& c = GetParam();
  chooseBoard(1);
  QTest::mouseClick(form->ITE_SETUP_BitBtn, Qt::LeftButton);
  programmer->clearTranscript();
  EXPECT_FALSE(form->ITE_STOP_BitBtn->isEnabled());
  EXPECT_EQ(form->ITE_STOP_BitBtn->text(), "Стоп STOP");

  const std::vector<std::uint8_t> old = test::Pattern(131072, 5);
  chip->flash() = old;
  // 1500 bytes to program: about 3 s at wire speed, one Program byte exchange each.
  std::vector<std::uint8_t> image(131072, 0xFF);
  for (std::size_t i = 0; i < 1500; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 1);
  if (image[0] == 0xFF) image[0] = 0;
  test::WriteFileBytes(dir.file("in.bin"), image);
  form->Backup_ITE->setChecked(c.backup);
  yes = c.answer.value_or(false);
  const std::size_t before = endings.size();
  if (c.at == StopAt::Read) {
    answer = dir.file("out.bin");
    QTest::mouseClick(form->ITE_READ_BitBtn, Qt::LeftButton);
  } else {
    answer = dir.file("in.bin");
    QTest::mouseClick(form->ITE_WRITE_BitBtn, Qt::LeftButton);
  }
  ASSERT_TRUE(test::RunEventsUntil([&] { return reached(c.at); }, 20000)) << logLines().join('\n').toStdString();
  ASSERT_TRUE(form->ITE_STOP_BitBtn->isEnabled());
  // The gauge tells the pass's time meanwhile.
  const QString running = dynamic_cast<TGauge*>(form->ITE_CGauge1)->timeText();
  EXPECT_TRUE(QRegularExpression("^\\d+:\\d\\d / ~(\\?|\\d+:\\d\\d)$").match(running).hasMatch())
      << running.toStdString();

  QElapsedTimer stopping;
  stopping.start();
  QTest::mouseClick(form->ITE_STOP_BitBtn, Qt::LeftButton);
  ASSERT_TRUE(waitEndings(before + 1, 30000));
  const qint64 stopMs = stopping.elapsed();
  RecordProperty("stop_to_end_ms", static_cast<int>(stopMs));

  ASSERT_EQ(questions.size(), c.answer ? 1u : 0u);
  if (c.answer) {
    EXPECT_EQ(questions[0], ite::text::kStopQuestion);
  }
  EXPECT_EQ(endings.back(), c.success);
  // Ended at once, not at the next bound: the erase alone would take 20 s, its bound 30 s.
  if (c.answer != false) {
    EXPECT_LT(stopMs, 2000) << "the stop took " << stopMs << " ms";
  }
  const QStringList log = logLines();
  qsizetype from = 0;
  for (const std::string& line : c.lines) {
    const qsizetype at = log.indexOf(QString::fromStdString(line), from);
    EXPECT_GE(at, from) << line << " not logged after the stop:\n" << log.join('\n').toStdString();
    from = at < 0 ? from : at + 1;
  }
  const auto sent = programmer->hostBytes();
  EXPECT_EQ(sent.back(), c.success ? 'I' : 'O');
  auto sentAny = [&](std::initializer_list<std::uint8_t> bytes) {
    return std::find_first_of(sent.begin(), sent.end(), bytes.begin(), bytes.end()) != sent.end();
  };
  switch (c.at) {
    case StopAt::BackupRead:
    case StopAt::Read:
      // Neither an erase nor a Flash address nor a Program byte went out: the chip is as it was.
      EXPECT_FALSE(sentAny({0x60, 0xC7, 'Y', 'w'}));
      EXPECT_EQ(chip->flash(), old);
      if (c.at == StopAt::Read) {
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.bin")));
      }
      break;
    case StopAt::EraseWait:
      EXPECT_FALSE(sentAny({'w'}));
      break;
    case StopAt::Programming:
      if (*c.answer) {
        EXPECT_NE(chip->flash(), image);
        EXPECT_LT(chip->programCount(), 1500);
      } else {
        EXPECT_EQ(chip->flash(), image);
        EXPECT_TRUE(QRegularExpression("^\\d+:\\d\\d / ~0:00$")
                        .match(dynamic_cast<TGauge*>(form->ITE_CGauge1)->timeText())
                        .hasMatch());
      }
      break;
    case StopAt::Verify:
      EXPECT_EQ(chip->flash(), image);
      break;
  }
  EXPECT_FALSE(form->ITE_STOP_BitBtn->isEnabled());
  for (QPushButton* button : {form->ITE_SETUP_BitBtn, form->ITE_CHECK_CON_BitBtn, form->ITE_READ_BitBtn,
                              form->ITE_WRITE_BitBtn, form->ITE_EXIT_BitBtn})
    EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Phases, IteWindowStop, ::testing::ValuesIn(kStops),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(IteWindow, EachGaugeSaysWhatItCounts) {
  for (const auto& [gauge, label, text] :
       {std::tuple{form->ITE_CGauge1, form->ITE_CGauge1_Label, ite::text::kGaugeLabel},
        std::tuple{form->SPEED_ITE_CGauge, form->SPEED_ITE_CGauge_Label, ite::text::kSpeedGaugeLabel}}) {
    EXPECT_EQ(label->text(), QString::fromUtf8(text));
    EXPECT_EQ(label->buddy(), gauge);
  }
  // The whole transfer's gauge carries its time; the page's does not.
  EXPECT_EQ(form->timeGauge(), form->ITE_CGauge1);
}

}  // namespace
}  // namespace jig
