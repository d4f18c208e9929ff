#include "main/TUPDATE_FORM.h"

#include <QFontDatabase>
#include <QVBoxLayout>

#include "gui/TGauge.h"
#include "gui/TWidgets.h"
#include "main/UpdateControls.h"

namespace jig {

using namespace update::control;

TUPDATE_FORM::TUPDATE_FORM() : TTaskWindow("UPDATE_FORM", "UPDATE_FORM") {
  setClassName("TUPDATE_FORM");
  // No buttons in the frame, above the other windows.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  build();
  layOut();
  // EXIT is enabled only once a switch has failed: until then a close is refused.
  setExit(SpeedButton_UPD_EXIT, [this] { SpeedButton_UPD_EXITClick(); });
}

void TUPDATE_FORM::build() {
  Memo_UPDATE = Named(new QPlainTextEdit(this), kMemo);
  Memo_UPDATE->setReadOnly(true);
  Memo_UPDATE->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Memo_UPDATE->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLogWidget(Memo_UPDATE);

  // The upload reports through the gauge alone: its values are the pass.
  CGauge_UPD = makeTimeGauge(kGauge, 100, true);

  SpeedButton_UPD_EXIT = Named(new QPushButton("EXIT", this), kExit);
  SpeedButton_UPD_EXIT->setEnabled(false);
}

void TUPDATE_FORM::layOut() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Memo_UPDATE);
  layout->addWidget(CGauge_UPD);
  layout->addWidget(SpeedButton_UPD_EXIT);
  resize(520, 360);
}

void TUPDATE_FORM::SpeedButton_UPD_EXITClick() {
  Memo_UPDATE->clear();
  SpeedButton_UPD_EXIT->setEnabled(false);
  hide();
}

}  // namespace jig
