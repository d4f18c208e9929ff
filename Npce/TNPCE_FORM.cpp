#include "Npce/TNPCE_FORM.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Npce/NpceControls.h"
#include "Npce/NpceProtocol.h"
#include "gui/TGauge.h"
#include "gui/TWidgets.h"
#include "gui/TTaskWindowMakers.h"

namespace jig {

using namespace npce::control;

TNPCE_FORM::TNPCE_FORM(D2xx& d2xx, NpceBounds bounds)
    : TTaskWindow("TNPCE_FORM", "NPCE288N/388N 16_05_2016"), d2xx_(d2xx), operations_(d2xx_, *this, bounds) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  build();
  layOut();
  addJobLabel(operations_.job());
  connectControls();
}

void TNPCE_FORM::build() {
  NPCE_READ = Named(new QPushButton("Nuvoton_READ", this), kRead);
  NPCE_WRITE = Named(new QPushButton("Nuvoton_WRITE", this), kWrite);
  EXIT_NPCE = Named(new QPushButton("EXIT", this), kExit);
  ReadTwice = Named(new QCheckBox("Read twice and compare", this), kReadTwice);
  ReadTwice->setChecked(false);
  Backup_NPCE = Named(new QCheckBox("Backup before write", this), kBackup);
  Backup_NPCE->setChecked(true);

  NPCE_Memo = Named(new QPlainTextEdit(this), kMemo);
  NPCE_Memo->setReadOnly(true);
  NPCE_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLogWidget(NPCE_Memo);

  CGauge_NPCE = makeTimeGauge(kGauge, npce::kGaugeMax);
}

void TNPCE_FORM::connectControls() {
  // A click on READ during a read (WRITE during a write) is ignored: it looks it.
  holdWhileBusy({NPCE_READ, NPCE_WRITE}, [this] { return operations_.mode() != NpceMode::NONE; });
  connect(NPCE_READ, &QPushButton::clicked, this, [this] { NPCE_READClick(); });
  connect(NPCE_WRITE, &QPushButton::clicked, this, [this] { NPCE_WRITEClick(); });
  setExit(EXIT_NPCE, [this] { EXIT_NPCEClick(); }, [this] { return operations_.mode() != NpceMode::NONE; });
}

void TNPCE_FORM::layOut() {
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(NPCE_READ);
  buttons->addWidget(NPCE_WRITE);
  buttons->addWidget(ReadTwice);
  buttons->addWidget(Backup_NPCE);
  buttons->addStretch();
  buttons->addWidget(EXIT_NPCE);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(NPCE_Memo);
  layout->addWidget(CGauge_NPCE);
  resize(560, 420);
}

// The worker is joined here, while the widgets it reports to still exist.
TNPCE_FORM::~TNPCE_FORM() = default;

void TNPCE_FORM::NPCE_READClick() {
  operationClick([this] {
    operations_.job().setReadTwice(ReadTwice->isChecked());
    operations_.NPCE_READClick();
  });
}
void TNPCE_FORM::NPCE_WRITEClick() {
  operationClick([this] {
    operations_.job().setBackup(Backup_NPCE->isChecked());
    operations_.NPCE_WRITEClick();
  });
}
// Reading twice and the backup are taken when a job starts: they stay as they are until it ends.
void TNPCE_FORM::showJob(const JobStatus& status) {
  const bool idle = status.phase == JobPhase::Idle;
  ReadTwice->setEnabled(idle);
  Backup_NPCE->setEnabled(idle);
}

void TNPCE_FORM::EXIT_NPCEClick() { operations_.EXIT_NPCEClick(); }

namespace {
// The program makes this window once at start, for its family's task.
const TaskWindowRegistration kRegistered("TNPCE_FORM", MakeTaskWindow<TNPCE_FORM>);
}  // namespace

}  // namespace jig
