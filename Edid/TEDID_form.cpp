#include "Edid/TEDID_form.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Edid/EdidControls.h"
#include "gui/TWidgets.h"
#include "gui/TTaskWindowMakers.h"

namespace jig {

using namespace edid::control;

TEDID_form::TEDID_form(D2xx& d2xx, EdidBounds bounds)
    : TTaskWindow("EDID_form", "EEPROM LCD read/write VER4.1") {
  setClassName("TEDID_form");
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  build();
  layOut();
  connectControls();
  operations_ = std::make_unique<EdidOperations>(d2xx, *this, bounds);
  addJobLabel(EdidOperations::kTask, [this](std::string label) { operations_->setLabel(std::move(label)); });
  resize(640, 480);
}

void TEDID_form::build() {
  EDID_READ = Named(new QPushButton("EDID_READ", this), kRead);
  EDID_WRITE = Named(new QPushButton("EDID_WRITE", this), kWrite);
  FixChecksum = Named(new QPushButton("Fix checksum", this), kFixChecksum);
  BackupBeforeWrite = Named(new QCheckBox("Backup before write", this), kBackup);
  BackupBeforeWrite->setChecked(true);
  EXIT_EDID = Named(new QPushButton("EXIT", this), kExit);
  EDID_Memo = Named(new QPlainTextEdit(this), kMemo);
  EDID_Memo->setReadOnly(true);
  EDID_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The dump lines line up only in a fixed-pitch font.
  EDID_Memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLogWidget(EDID_Memo);
}

void TEDID_form::layOut() {
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(EDID_READ);
  buttons->addWidget(EDID_WRITE);
  buttons->addWidget(FixChecksum);
  buttons->addWidget(BackupBeforeWrite);
  buttons->addStretch();
  buttons->addWidget(EXIT_EDID);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(EDID_Memo);
}

void TEDID_form::connectControls() {
  connect(EDID_READ, &QPushButton::clicked, this, [this] { EDID_READClick(); });
  connect(EDID_WRITE, &QPushButton::clicked, this, [this] { EDID_WRITEClick(); });
  connect(FixChecksum, &QPushButton::clicked, this, [this] { FixChecksumClick(); });
  setExit(EXIT_EDID, [this] { EXIT_EDIDClick(); }, [this] { return operations_ && operations_->busy(); });
  connect(BackupBeforeWrite, &QCheckBox::toggled, this, [this](bool on) { operations_->setBackup(on); });
}

TEDID_form::~TEDID_form() = default;

void TEDID_form::EDID_READClick() {
  operationClick([this] { operations_->read(); });
}
void TEDID_form::EDID_WRITEClick() {
  operationClick([this] { operations_->write(); });
}
void TEDID_form::EXIT_EDIDClick() { operations_->EXIT_EDIDClick(); }
void TEDID_form::FixChecksumClick() { operations_->fixChecksum(); }

namespace {
// The program makes this window once at start, for its family's task.
const TaskWindowRegistration kRegistered("TEDID_form", MakeTaskWindow<TEDID_form>);
}  // namespace

}  // namespace jig
