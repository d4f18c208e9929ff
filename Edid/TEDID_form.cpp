#include "Edid/TEDID_form.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace jig {

TEDID_form::TEDID_form(D2xx& d2xx, EdidBounds bounds)
    : TTaskWindow("EDID_form", "EEPROM LCD read/write VER4.1") {
  setClassName("TEDID_form");
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);

  EDID_READ = new QPushButton("EDID_READ", this);
  EDID_READ->setObjectName("EDID_READ");
  EDID_WRITE = new QPushButton("EDID_WRITE", this);
  EDID_WRITE->setObjectName("EDID_WRITE");
  FixChecksum = new QPushButton("Fix checksum", this);
  FixChecksum->setObjectName("FixChecksum");
  BackupBeforeWrite = new QCheckBox("Backup before write", this);
  BackupBeforeWrite->setObjectName("Backup_EDID");
  BackupBeforeWrite->setChecked(true);
  EXIT_EDID = new QPushButton("EXIT", this);
  EXIT_EDID->setObjectName("EXIT_EDID");
  EDID_Memo = new QPlainTextEdit(this);
  EDID_Memo->setObjectName("EDID_Memo");
  EDID_Memo->setReadOnly(true);
  EDID_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The dump lines line up only in a fixed-pitch font.
  EDID_Memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLogWidget(EDID_Memo);

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

  connect(EDID_READ, &QPushButton::clicked, this, [this] { EDID_READClick(); });
  connect(EDID_WRITE, &QPushButton::clicked, this, [this] { EDID_WRITEClick(); });
  connect(FixChecksum, &QPushButton::clicked, this, [this] { FixChecksumClick(); });
  connect(EXIT_EDID, &QPushButton::clicked, this, [this] { EXIT_EDIDClick(); });
  connect(BackupBeforeWrite, &QCheckBox::toggled, this, [this](bool on) { operations_->setBackup(on); });

  operations_ = std::make_unique<EdidOperations>(d2xx, *this, bounds);
  resize(640, 480);
}

TEDID_form::~TEDID_form() = default;

void TEDID_form::EDID_READClick() { operations_->EDID_READClick(); }
void TEDID_form::EDID_WRITEClick() { operations_->EDID_WRITEClick(); }
void TEDID_form::EXIT_EDIDClick() { operations_->EXIT_EDIDClick(); }
void TEDID_form::FixChecksumClick() { operations_->FixChecksumClick(); }

}  // namespace jig
