#include "Ite/TITE_FORM.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QVBoxLayout>

#include "Ite/IteControls.h"
#include "Ite/IteTexts.h"
#include "view/Cp1251.h"
#include "gui/TGauge.h"
#include "gui/TRemembered.h"
#include "gui/TWidgets.h"
#include "gui/TTaskWindowMakers.h"

namespace jig {

using namespace ite::control;

namespace {
QPushButton* Button(QWidget* parent, std::string_view name, std::string_view caption) {
  return Named(new QPushButton(Q(caption), parent), name);
}
}  // namespace

TITE_FORM::TITE_FORM(D2xx& d2xx, const std::string& basePath)
    : TTaskWindow("TITE_FORM", Q(ite::text::kCaption)) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  setLogLanguage(LogLanguage::Russian);
  buildBoardChoice();
  buildPinBoxes();
  build();
  layOut();
  ops_ = std::make_unique<IteOperations>(d2xx, *this);
  addJobLabel(ops_->job());
  // The window is as tall as its layout needs and already fills a laptop screen: the label's
  // row comes out of the log's room, so the window keeps its height.
  ITE_Memo1->setMinimumHeight(ITE_Memo1->minimumHeight() - jobLabel()->sizeHint().height() - layout()->spacing());
  connectControls();
  std::vector<std::string> skipped;
  const std::string path = basePath.empty() ? ite::FindBesideProgram(ite::kBaseFileName, &skipped) : basePath;
  for (const std::string& line : skipped) log(line);
  FormCreate(path);
}

void TITE_FORM::buildBoardChoice() {
  ITE_ComboBox_MB_SWITCH = Named(new QComboBox(this), kBoardList);
  ITE_ComboBox_MB_SWITCH->setMaxVisibleItems(30);
  ITE_ComboBox_MB_SWITCH->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  ITE_ComboBox_MB_SWITCH->setMinimumWidth(760);

  ITE_CheckBox = Named(new QCheckBox(Q(ite::text::kCheckBox), this), kCheckBox);
  ITE_CheckBox->setChecked(true);
  ITE_CheckBox->setEnabled(false);
}

void TITE_FORM::buildPinBoxes() {
  GroupBox1 = Named(new QGroupBox(Q(ite::text::kGroupBox), this), kGroupBox);
  auto* grid = new QGridLayout(GroupBox1);
  QStringList entries{Q(ite::text::kNotConnected)};
  for (int pin = 1; pin <= ite::kMaxPin; ++pin) entries << QString::number(pin);
  for (int signal = 0; signal < ite::kSignalCount; ++signal) {
    const ite::IteSignal& s = ite::kSignals[static_cast<std::size_t>(signal)];
    auto* label = new QLabel(Q(s.label), GroupBox1);
    auto* box = Named(new QComboBox(GroupBox1), s.box);
    box->addItems(entries);
    box->setCurrentIndex(0);
    pinBoxes[static_cast<std::size_t>(signal)] = box;
    grid->addWidget(label, signal % 8, (signal / 8) * 2);
    grid->addWidget(box, signal % 8, (signal / 8) * 2 + 1);
  }
  ITE_SETUP_BitBtn = Button(GroupBox1, kSetup, ite::text::kSetupButton);
  grid->addWidget(ITE_SETUP_BitBtn, 7, 3);
}

void TITE_FORM::build() {
  ITE_CHECK_CON_BitBtn = Button(this, kCheck, ite::text::kCheckButton);
  ITE_READ_BitBtn = Button(this, kRead, ite::text::kReadButton);
  ITE_WRITE_BitBtn = Button(this, kWrite, ite::text::kWriteButton);
  ITE_EXIT_BitBtn = Button(this, kExit, ite::text::kExitButton);
  ITE_STOP_BitBtn = Button(this, kStop, ite::text::kStopButton);
  ITE_STOP_BitBtn->setEnabled(false);
  VerifyAfterWrite = Named(new QCheckBox(Q(ite::text::kVerifyBox), this), kVerifyAfterWrite);
  VerifyAfterWrite->setChecked(true);
  ReadTwice = Named(new QCheckBox(Q(ite::text::kReadTwiceBox), this), kReadTwice);
  ReadTwice->setChecked(false);
  // A copy of the flash before every write unless the technician turns it off.
  Backup_ITE = Named(new QCheckBox(Q(ite::text::kBackupBox), this), kBackup);
  Backup_ITE->setChecked(true);

  ITE_Memo1 = Named(new QPlainTextEdit(this), kMemo);
  ITE_Memo1->setReadOnly(true);
  ITE_Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ITE_Memo1->setMinimumHeight(260);
  setLogWidget(ITE_Memo1);
  for (std::string_view row : ite::text::kHowTo) ITE_Memo1->appendPlainText(Q(row));

  ITE_CGauge1 = makeTimeGauge(kGauge, 512);
  auto* speed = new TGauge(this, kSpeedGauge, 256);
  speed->setChunkColour(QColor(0xFF, 0xFF, 0x00));
  SPEED_ITE_CGauge = speed;
  ITE_CGauge1_Label = Named(new QLabel(Q(ite::text::kGaugeLabel), this), kGaugeLabel);
  SPEED_ITE_CGauge_Label = Named(new QLabel(Q(ite::text::kSpeedGaugeLabel), this), kSpeedGaugeLabel);
  ITE_CGauge1_Label->setBuddy(ITE_CGauge1);
  SPEED_ITE_CGauge_Label->setBuddy(SPEED_ITE_CGauge);
}

void TITE_FORM::layOut() {
  auto* buttons = new QVBoxLayout;
  // Each option stands beside the button it changes.
  auto* readRow = new QHBoxLayout;
  readRow->addWidget(ITE_READ_BitBtn);
  readRow->addWidget(ReadTwice);
  auto* writeRow = new QHBoxLayout;
  writeRow->addWidget(ITE_WRITE_BitBtn);
  writeRow->addWidget(VerifyAfterWrite);
  buttons->addWidget(ITE_CHECK_CON_BitBtn);
  buttons->addLayout(readRow);
  buttons->addLayout(writeRow);
  buttons->addWidget(Backup_ITE, 0, Qt::AlignRight);
  buttons->addWidget(ITE_STOP_BitBtn);
  buttons->addWidget(ITE_EXIT_BitBtn);
  buttons->addStretch();
  auto* middle = new QHBoxLayout;
  middle->addWidget(GroupBox1);
  middle->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ITE_ComboBox_MB_SWITCH);
  layout->addWidget(ITE_CheckBox);
  layout->addLayout(middle);
  layout->addWidget(ITE_Memo1);
  layout->addWidget(ITE_CGauge1_Label);
  layout->addWidget(ITE_CGauge1);
  layout->addWidget(SPEED_ITE_CGauge_Label);
  layout->addWidget(SPEED_ITE_CGauge);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TITE_FORM::connectControls() {
  // A click on READ during a read (WRITE during a write) is ignored: it looks it.
  holdWhileBusy({ITE_READ_BitBtn, ITE_WRITE_BitBtn}, [this] { return ops_->mode() != IteMode::NONE; });

  for (int signal = 0; signal < ite::kSignalCount; ++signal)
    connect(pinBoxes[static_cast<std::size_t>(signal)], &QComboBox::activated, this,
            [this, signal](int index) { ops_->setPin(signal, index); });
  connect(ITE_ComboBox_MB_SWITCH, &QComboBox::activated, this, [this] { ITE_ComboBox_MB_SWITCHSelect(); });
  // clicked: the user's change of the check mark only, not the reset a new board makes.
  connect(ITE_CheckBox, &QCheckBox::clicked, this, [this] { ITE_CheckBoxClick(); });
  connect(ITE_SETUP_BitBtn, &QPushButton::clicked, this, [this] { ITE_SETUP_BitBtnClick(); });
  connect(ITE_CHECK_CON_BitBtn, &QPushButton::clicked, this, [this] { ITE_CHECK_CON_BitBtnClick(); });
  connect(ITE_READ_BitBtn, &QPushButton::clicked, this, [this] { ITE_READ_BitBtnClick(); });
  connect(ITE_WRITE_BitBtn, &QPushButton::clicked, this, [this] { ITE_WRITE_BitBtnClick(); });
  setExit(ITE_EXIT_BitBtn, [this] { ITE_EXIT_BitBtnClick(); }, [this] { return ops_->mode() != IteMode::NONE; });
  connect(ITE_STOP_BitBtn, &QPushButton::clicked, this, [this] { ITE_STOP_BitBtnClick(); });
}

TITE_FORM::~TITE_FORM() {
  // The worker ends (its bounds hold) before the widgets it reports to go away.
  ops_.reset();
}

void TITE_FORM::FormCreate(const std::string& basePath) {
  ite::IteBase base = ite::LoadIteBase(basePath);
  if (!base.problem.empty()) log(base.problem);
  ITE_ComboBox_MB_SWITCH->clear();
  if (!base.found) {
    ITE_ComboBox_MB_SWITCH->addItem(Q(ite::text::kBaseNotFound));
    ITE_ComboBox_MB_SWITCH->setStyleSheet("QComboBox { color: red; }");
  } else {
    ITE_ComboBox_MB_SWITCH->addItem(Q(ite::text::kSelectBoard));
    for (const std::string& line : base.lines) ITE_ComboBox_MB_SWITCH->addItem(Q(DisplayText(line)));
    ITE_ComboBox_MB_SWITCH->setStyleSheet("QComboBox { color: black; }");
  }
  ITE_ComboBox_MB_SWITCH->setCurrentIndex(0);
  const bool found = base.found;
  ops_->FormCreate(std::move(base));
  if (!found) log(ite::MissingBaseLine(basePath));
  else restoreChoices();
}

// The board and cable of the last run, where the base still has that line whole.
void TITE_FORM::restoreChoices() {
  using remembered::Choice;
  const QVariant board = remembered::LastChoice(objectName(), Choice::Board);
  if (!board.isValid()) return;
  const int index = ITE_ComboBox_MB_SWITCH->findText(board.toString(), Qt::MatchExactly);
  const QVariant straight = remembered::LastChoice(objectName(), Choice::StraightCable);
  if (index >= 1 && ops_->restore(index, !straight.isValid() || straight.toBool()))
    ITE_ComboBox_MB_SWITCH->setCurrentIndex(index);
}

void TITE_FORM::ITE_ComboBox_MB_SWITCHSelect() {
  const int index = ITE_ComboBox_MB_SWITCH->currentIndex();
  using remembered::Choice;
  // A new board starts with a straight cable; "Please select MOTHERBOARD" is no board.
  if (index >= 1 && ops_->base().found) {
    remembered::KeepChoice(objectName(), Choice::Board, ITE_ComboBox_MB_SWITCH->itemText(index));
    remembered::KeepChoice(objectName(), Choice::StraightCable, true);
  } else {
    remembered::ForgetChoice(objectName(), Choice::Board);
  }
  ops_->ITE_ComboBox_MB_SWITCHSelect(index);
}
void TITE_FORM::ITE_CheckBoxClick() {
  remembered::KeepChoice(objectName(), remembered::Choice::StraightCable, ITE_CheckBox->isChecked());
  ops_->setStraightCable(ITE_CheckBox->isChecked());
}
void TITE_FORM::ITE_SETUP_BitBtnClick() {
  operationClick([this] { ops_->apply(); });
}
void TITE_FORM::ITE_CHECK_CON_BitBtnClick() {
  operationClick([this] { ops_->checkConnection(); });
}
void TITE_FORM::ITE_READ_BitBtnClick() {
  operationClick([this] {
    ops_->job().setReadTwice(ReadTwice->isChecked());
    ops_->ITE_READ_BitBtnClick();
  });
}
void TITE_FORM::ITE_WRITE_BitBtnClick() {
  operationClick([this] {
    ops_->job().setVerifyAfterWrite(VerifyAfterWrite->isChecked());
    ops_->job().setBackup(Backup_ITE->isChecked());
    ops_->ITE_WRITE_BitBtnClick();
  });
}
// Verify, reading twice and the backup are taken when a job starts: they stay as they are
// until it ends.
void TITE_FORM::showJob(const JobStatus& status) {
  const bool idle = status.phase == JobPhase::Idle;
  for (QCheckBox* box : {VerifyAfterWrite, ReadTwice, Backup_ITE}) box->setEnabled(idle);
  // APPLY and the link check hold the job's lock in the click, with no worker to stop.
  ITE_STOP_BitBtn->setEnabled(!idle && ops_->job().transferring());
}

void TITE_FORM::ITE_EXIT_BitBtnClick() { ops_->ITE_EXIT_BitBtnClick(); }
void TITE_FORM::ITE_STOP_BitBtnClick() { ops_->ITE_STOP_BitBtnClick(); }

namespace {
// The program makes this window once at start, for its family's task.
const TaskWindowRegistration kRegistered("TITE_FORM", MakeTaskWindow<TITE_FORM>);
}  // namespace

}  // namespace jig
