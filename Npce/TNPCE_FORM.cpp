#include "Npce/TNPCE_FORM.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Npce/NpceProtocol.h"
#include "main/TGauge.h"

namespace jig {

TNPCE_FORM::TNPCE_FORM(D2xx& d2xx, NpceBounds bounds)
    : TTaskWindow("TNPCE_FORM", "NPCE288N/388N 16_05_2016"), d2xx_(d2xx), operations_(d2xx_, *this, bounds) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);

  NPCE_READ = new QPushButton("Nuvoton_READ", this);
  NPCE_READ->setObjectName("NPCE_READ");
  NPCE_WRITE = new QPushButton("Nuvoton_WRITE", this);
  NPCE_WRITE->setObjectName("NPCE_WRITE");
  EXIT_NPCE = new QPushButton("EXIT", this);
  EXIT_NPCE->setObjectName("EXIT_NPCE");
  ReadTwice = new QCheckBox("Read twice and compare", this);
  ReadTwice->setObjectName("ReadTwice");
  ReadTwice->setChecked(false);
  Backup_NPCE = new QCheckBox("Backup before write", this);
  Backup_NPCE->setObjectName("Backup_NPCE");
  Backup_NPCE->setChecked(true);

  NPCE_Memo = new QPlainTextEdit(this);
  NPCE_Memo->setObjectName("NPCE_Memo");
  NPCE_Memo->setReadOnly(true);
  NPCE_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLogWidget(NPCE_Memo);

  CGauge_NPCE = new TGauge(this, "CGauge_NPCE", npce::kGaugeMax);

  // A click on READ during a read (WRITE during a write) is ignored: it looks it.
  holdWhileBusy({NPCE_READ, NPCE_WRITE}, [this] { return operations_.Mode_NPCE.load() != NpceMode::NONE; });
  connect(NPCE_READ, &QPushButton::clicked, this, [this] { NPCE_READClick(); });
  connect(NPCE_WRITE, &QPushButton::clicked, this, [this] { NPCE_WRITEClick(); });
  connect(EXIT_NPCE, &QPushButton::clicked, this, [this] { EXIT_NPCEClick(); });

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
    operations_.setReadTwice(ReadTwice->isChecked());
    operations_.NPCE_READClick();
  });
}
void TNPCE_FORM::NPCE_WRITEClick() {
  operationClick([this] {
    operations_.setBackup(Backup_NPCE->isChecked());
    operations_.NPCE_WRITEClick();
  });
}
void TNPCE_FORM::EXIT_NPCEClick() { operations_.EXIT_NPCEClick(); }

}  // namespace jig
