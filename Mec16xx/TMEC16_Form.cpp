#include "Mec16xx/TMEC16_Form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Mec16xx/Mec16Controls.h"
#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"
#include "gui/TGauge.h"
#include "gui/TWidgets.h"
#include "gui/TTaskWindowMakers.h"

namespace jig {

using namespace mec16::control;

TMEC16_Form::TMEC16_Form(D2xx& d2xx, Mec16Bounds bounds)
    : TTaskWindow("TMEC16_Form", Q(mec16::text::kCaption)), operations_(d2xx, *this, bounds) {
  // A minimize box and no close box: the window is left through EXIT_MEC16.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  setLogLanguage(LogLanguage::Russian);
  build();
  layOut();
  addJobLabel(operations_.job());
  connectControls();
}

void TMEC16_Form::build() {
  BitBtn_MEC16 = Named(new QPushButton(Q(mec16::text::kProbeCaption), this), kProbe);
  Shape_BootLock_MEC = Indicator(this, kShapeBootLock);
  Label_BootLock_MEC = Named(new QLabel(Q(mec16::text::kBootLockLabel), this), kLabelBootLock);
  Shape_FWP_MEC16 = Indicator(this, kShapeFwp);
  Label_MEC16_FWP = Named(new QLabel(Q(mec16::text::kFwpLabel), this), kLabelFwp);
  CheckBox_MEC16_RD = Named(new QCheckBox(Q(mec16::text::kReadInfoCheck), this), kReadInfo);
  BitBtn_RD_MEC16 = Named(new QPushButton(Q(mec16::text::kReadCaption), this), kRead);
  CheckBox_erase_mec16 = Named(new QCheckBox(Q(mec16::text::kEraseInfoCheck), this), kEraseInfo);
  BitBtn_MEC16_ERASE = Named(new QPushButton(Q(mec16::text::kEraseCaption), this), kErase);
  CheckBox_write_mec16 = Named(new QCheckBox(Q(mec16::text::kWriteInfoCheck), this), kWriteInfo);
  CheckBox_write_mec16->setEnabled(false);
  BitBtn_MEC16_WRITE = Named(new QPushButton(Q(mec16::text::kWriteCaption), this), kWrite);
  // The read-back checks; the operations take their state when a click starts.
  VerifyAfterWrite = Named(new QCheckBox(Q(mec16::text::kVerifyCheck), this), kVerifyAfterWrite);
  VerifyAfterWrite->setChecked(true);
  ReadTwice = Named(new QCheckBox(Q(mec16::text::kReadTwiceCheck), this), kReadTwice);
  ReadTwice->setChecked(false);
  // A copy of MAIN before every write unless the technician turns it off.
  Backup_MEC16 = Named(new QCheckBox(Q(mec16::text::kBackupCheck), this), kBackup);
  Backup_MEC16->setChecked(true);
  operations_.job().setVerifyAfterWrite(true);
  operations_.job().setReadTwice(false);
  operations_.job().setBackup(true);
  EXIT_MEC16 = Named(new QPushButton(Q(mec16::text::kExitCaption), this), kExit);
  BitBtn_MEC16_HELP = Named(new QPushButton(Q(mec16::text::kHelpCaption), this), kHelp);
  Memo_MEC16 = Named(new QPlainTextEdit(this), kMemo);
  Memo_MEC16->setReadOnly(true);
  Memo_MEC16->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  for (std::string_view line : mec16::text::kInitialLog) Memo_MEC16->appendPlainText(Q(line));
  setLogWidget(Memo_MEC16);
  CGauge_MEC16 = makeTimeGauge(kGauge, mec16::kMainPages);
}

void TMEC16_Form::layOut() {
  auto* controls = new QGridLayout;
  controls->addWidget(BitBtn_MEC16, 0, 0, 1, 2);
  controls->addWidget(Shape_BootLock_MEC, 1, 0);
  controls->addWidget(Label_BootLock_MEC, 1, 1);
  controls->addWidget(Shape_FWP_MEC16, 2, 0);
  controls->addWidget(Label_MEC16_FWP, 2, 1);
  controls->addWidget(CheckBox_MEC16_RD, 3, 0, 1, 2);
  controls->addWidget(ReadTwice, 4, 0, 1, 2);
  controls->addWidget(BitBtn_RD_MEC16, 5, 0, 1, 2);
  controls->addWidget(CheckBox_erase_mec16, 6, 0, 1, 2);
  controls->addWidget(BitBtn_MEC16_ERASE, 7, 0, 1, 2);
  controls->addWidget(CheckBox_write_mec16, 8, 0, 1, 2);
  controls->addWidget(VerifyAfterWrite, 9, 0, 1, 2);
  controls->addWidget(Backup_MEC16, 10, 0, 1, 2);
  controls->addWidget(BitBtn_MEC16_WRITE, 11, 0, 1, 2);
  controls->addWidget(BitBtn_MEC16_HELP, 12, 0, 1, 2);
  controls->addWidget(EXIT_MEC16, 13, 0, 1, 2);
  controls->setRowStretch(14, 1);

  auto* top = new QHBoxLayout;
  top->addLayout(controls);
  top->addWidget(Memo_MEC16, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(CGauge_MEC16);
  setFixedSize(820, 540);
}

void TMEC16_Form::connectControls() {
  // Clicks on these are ignored while a read or write runs: they look it.
  holdWhileBusy({BitBtn_MEC16, BitBtn_RD_MEC16, BitBtn_MEC16_ERASE, BitBtn_MEC16_WRITE, BitBtn_MEC16_HELP},
                [this] { return operations_.mode() != Mec16Mode::None; });
  connect(BitBtn_MEC16, &QPushButton::clicked, this, [this] { BitBtn_MEC16Click(); });
  connect(BitBtn_RD_MEC16, &QPushButton::clicked, this, [this] { BitBtn_RD_MEC16Click(); });
  connect(BitBtn_MEC16_ERASE, &QPushButton::clicked, this, [this] { BitBtn_MEC16_ERASEClick(); });
  connect(BitBtn_MEC16_WRITE, &QPushButton::clicked, this, [this] { BitBtn_MEC16_WRITEClick(); });
  connect(BitBtn_MEC16_HELP, &QPushButton::clicked, this, [this] { BitBtn_MEC16_HELPClick(); });
  // During a read EXIT asks the read to stop; a close is refused instead.
  setExit(EXIT_MEC16, [this] { EXIT_MEC16Click(); }, [this] { return operations_.mode() != Mec16Mode::None; });
  connect(VerifyAfterWrite, &QCheckBox::toggled, this, [this](bool on) { operations_.job().setVerifyAfterWrite(on); });
  connect(ReadTwice, &QCheckBox::toggled, this, [this](bool on) { operations_.job().setReadTwice(on); });
  connect(Backup_MEC16, &QCheckBox::toggled, this, [this](bool on) { operations_.job().setBackup(on); });
}

// The worker (if any) ends within its bounds and talks to this window until it does.
TMEC16_Form::~TMEC16_Form() = default;

void TMEC16_Form::BitBtn_MEC16Click() {
  operationClick([this] { operations_.probe(); });
}
void TMEC16_Form::BitBtn_RD_MEC16Click() {
  operationClick([this] { operations_.read(CheckBox_MEC16_RD->isChecked()); });
}
void TMEC16_Form::BitBtn_MEC16_ERASEClick() {
  operationClick([this] { operations_.erase(CheckBox_erase_mec16->isChecked()); });
}
void TMEC16_Form::BitBtn_MEC16_WRITEClick() {
  operationClick([this] { operations_.write(CheckBox_write_mec16->isChecked()); });
}
// The read-back checks and the backup are taken when a job starts: they stay as they are
// until it ends.
void TMEC16_Form::showJob(const JobStatus& status) {
  const bool idle = status.phase == JobPhase::Idle;
  VerifyAfterWrite->setEnabled(idle);
  ReadTwice->setEnabled(idle);
  Backup_MEC16->setEnabled(idle);
}
void TMEC16_Form::BitBtn_MEC16_HELPClick() { operations_.help(); }
void TMEC16_Form::EXIT_MEC16Click() { operations_.EXIT_MEC16Click(); }

namespace {
// The program makes this window once at start, for its family's task.
const TaskWindowRegistration kRegistered("TMEC16_Form", MakeTaskWindow<TMEC16_Form>);
}  // namespace

}  // namespace jig
