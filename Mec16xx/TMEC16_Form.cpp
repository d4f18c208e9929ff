#include "Mec16xx/TMEC16_Form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Mec16xx/Mec16Protocol.h"
#include "main/TGauge.h"
#include "Mec16xx/Mec16Texts.h"

namespace jig {

namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QFrame* Indicator(QWidget* parent, const char* name) {
  auto* shape = Named(new QFrame(parent), name);
  shape->setFixedSize(22, 22);
  shape->setStyleSheet("background-color: #000000; border: 1px solid gray; border-radius: 3px;");
  return shape;
}

}  // namespace

TMEC16_Form::TMEC16_Form(D2xx& d2xx, Mec16Bounds bounds)
    : TTaskWindow("TMEC16_Form", Q(mec16::text::kCaption)), operations_(d2xx, *this, bounds) {
  // A minimize box and no close box: the window is left through EXIT_MEC16.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  setLogLanguage(LogLanguage::Russian);

  BitBtn_MEC16 = Named(new QPushButton(Q(mec16::text::kProbeCaption), this), "BitBtn_MEC16");
  Shape_BootLock_MEC = Indicator(this, "Shape_BootLock_MEC");
  Label_BootLock_MEC = Named(new QLabel(Q(mec16::text::kBootLockLabel), this), "Label_BootLock_MEC");
  Shape_FWP_MEC16 = Indicator(this, "Shape_FWP_MEC16");
  Label_MEC16_FWP = Named(new QLabel(Q(mec16::text::kFwpLabel), this), "Label_MEC16_FWP");
  CheckBox_MEC16_RD = Named(new QCheckBox(Q(mec16::text::kReadInfoCheck), this), "CheckBox_MEC16_RD");
  BitBtn_RD_MEC16 = Named(new QPushButton(Q(mec16::text::kReadCaption), this), "BitBtn_RD_MEC16");
  CheckBox_erase_mec16 = Named(new QCheckBox(Q(mec16::text::kEraseInfoCheck), this), "CheckBox_erase_mec16");
  BitBtn_MEC16_ERASE = Named(new QPushButton(Q(mec16::text::kEraseCaption), this), "BitBtn_MEC16_ERASE");
  CheckBox_write_mec16 = Named(new QCheckBox(Q(mec16::text::kWriteInfoCheck), this), "CheckBox_write_mec16");
  CheckBox_write_mec16->setEnabled(false);
  BitBtn_MEC16_WRITE = Named(new QPushButton(Q(mec16::text::kWriteCaption), this), "BitBtn_MEC16_WRITE");
  // The read-back checks; the operations take their state when a click starts.
  VerifyAfterWrite = Named(new QCheckBox(Q(mec16::text::kVerifyCheck), this), "VerifyAfterWrite");
  VerifyAfterWrite->setChecked(true);
  ReadTwice = Named(new QCheckBox(Q(mec16::text::kReadTwiceCheck), this), "ReadTwice");
  ReadTwice->setChecked(false);
  // A copy of MAIN before every write unless the technician turns it off.
  Backup_MEC16 = Named(new QCheckBox(Q(mec16::text::kBackupCheck), this), "Backup_MEC16");
  Backup_MEC16->setChecked(true);
  operations_.setVerifyAfterWrite(true);
  operations_.setReadTwice(false);
  operations_.setBackup(true);
  EXIT_MEC16 = Named(new QPushButton(Q(mec16::text::kExitCaption), this), "EXIT_MEC16");
  BitBtn_MEC16_HELP = Named(new QPushButton(Q(mec16::text::kHelpCaption), this), "BitBtn_MEC16_HELP");
  Memo_MEC16 = Named(new QPlainTextEdit(this), "Memo_MEC16");
  Memo_MEC16->setReadOnly(true);
  Memo_MEC16->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  for (std::string_view line : mec16::text::kInitialLog) Memo_MEC16->appendPlainText(Q(line));
  setLogWidget(Memo_MEC16);
  CGauge_MEC16 = new TGauge(this, "CGauge_MEC16", mec16::kMainPages);

  // Clicks on these are ignored while a read or write runs: they look it.
  holdWhileBusy({BitBtn_MEC16, BitBtn_RD_MEC16, BitBtn_MEC16_ERASE, BitBtn_MEC16_WRITE, BitBtn_MEC16_HELP},
                [this] { return operations_.mode() != Mec16Mode::None; });
  connect(BitBtn_MEC16, &QPushButton::clicked, this, [this] { BitBtn_MEC16Click(); });
  connect(BitBtn_RD_MEC16, &QPushButton::clicked, this, [this] { BitBtn_RD_MEC16Click(); });
  connect(BitBtn_MEC16_ERASE, &QPushButton::clicked, this, [this] { BitBtn_MEC16_ERASEClick(); });
  connect(BitBtn_MEC16_WRITE, &QPushButton::clicked, this, [this] { BitBtn_MEC16_WRITEClick(); });
  connect(BitBtn_MEC16_HELP, &QPushButton::clicked, this, [this] { BitBtn_MEC16_HELPClick(); });
  connect(EXIT_MEC16, &QPushButton::clicked, this, [this] { EXIT_MEC16Click(); });
  connect(VerifyAfterWrite, &QCheckBox::toggled, this, [this](bool on) { operations_.setVerifyAfterWrite(on); });
  connect(ReadTwice, &QCheckBox::toggled, this, [this](bool on) { operations_.setReadTwice(on); });
  connect(Backup_MEC16, &QCheckBox::toggled, this, [this](bool on) { operations_.setBackup(on); });

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

// The worker (if any) ends within its bounds and talks to this window until it does.
TMEC16_Form::~TMEC16_Form() = default;

void TMEC16_Form::BitBtn_MEC16Click() {
  operationClick([this] { operations_.BitBtn_MEC16Click(); });
}
void TMEC16_Form::BitBtn_RD_MEC16Click() {
  operationClick([this] { operations_.BitBtn_RD_MEC16Click(CheckBox_MEC16_RD->isChecked()); });
}
void TMEC16_Form::BitBtn_MEC16_ERASEClick() {
  operationClick([this] { operations_.BitBtn_MEC16_ERASEClick(CheckBox_erase_mec16->isChecked()); });
}
void TMEC16_Form::BitBtn_MEC16_WRITEClick() {
  operationClick([this] { operations_.BitBtn_MEC16_WRITEClick(CheckBox_write_mec16->isChecked()); });
}
void TMEC16_Form::BitBtn_MEC16_HELPClick() { operations_.BitBtn_MEC16_HELPClick(); }
void TMEC16_Form::EXIT_MEC16Click() { operations_.EXIT_MEC16Click(); }

}  // namespace jig
