#include "Kb901x_form/TKB901X_forms.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include "Kb901x_form/Kb90Controls.h"
#include "gui/TGauge.h"
#include "gui/TRemembered.h"
#include "gui/TWidgets.h"
#include "gui/TTaskWindowMakers.h"

namespace jig {

using namespace kb90::control;

namespace {
constexpr int kTypedTextLimit = 15;

// A list's step prompt, shown from its start: a line edit scrolls a text longer than itself
// to the end, which cut the prompt to "ep 2 -> ...".
void ShowPrompt(QComboBox* list, const char* prompt) {
  list->setEditText(prompt);
  list->lineEdit()->setCursorPosition(0);
}

// A list at least as wide as its prompt, so that the prompt is read whole.
void FitPrompt(QComboBox* list, const char* prompt) {
  QStyleOptionComboBox option;
  option.initFrom(list);
  option.editable = true;
  const QFontMetrics metrics = list->fontMetrics();
  // The line edit keeps two pixels on each side of its text and one for the cursor.
  const QSize text(metrics.horizontalAdvance(Q(prompt)) + 5, metrics.height());
  list->setMinimumWidth(list->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, list).width());
}
}  // namespace

TKB901X_forms::TKB901X_forms(D2xx& d2xx, std::vector<std::filesystem::path> baseFolders, Kb90Bounds bounds)
    : TTaskWindow("TKB901X_forms", "KB9010/9012/9016/9022  programming VER4.1+"),
      baseFolders_(std::move(baseFolders)) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  buildWiringAid();
  build();
  layOut();
  operations_ = std::make_unique<Kb90Operations>(d2xx, *this, bounds);
  addJobLabel(operations_->job());
  connectControls();
  FormCreate();
}

void TKB901X_forms::buildWiringAid() {
  GroupBox1 = Named(new QGroupBox(" Help for FFC cable connection ", this), kGroupBox);
  ComboBox_KB901X = Named(new QComboBox(GroupBox1), kBoardList);
  ComboBox_KB901X->setEditable(true);
  ComboBox_KB901X->setInsertPolicy(QComboBox::NoInsert);
  ComboBox_KB901X->setMaxVisibleItems(20);
  // Typing is limited to 15 characters; the lines of the base may be longer.
  ComboBox_KB901X->lineEdit()->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QString(".{0,%1}").arg(kTypedTextLimit)), ComboBox_KB901X));
  ShowPrompt(ComboBox_KB901X, ene::kSelectBoard);
  ComboBox_KB901X->setEnabled(false);
  ComboBox_KB901X_FFC = Named(new QComboBox(GroupBox1), kCableList);
  ComboBox_KB901X_FFC->setEditable(true);
  ComboBox_KB901X_FFC->setInsertPolicy(QComboBox::NoInsert);
  for (const char* size : ene::FfcSizes()) ComboBox_KB901X_FFC->addItem(size);
  ComboBox_KB901X_FFC->setCurrentIndex(-1);
  ShowPrompt(ComboBox_KB901X_FFC, ene::kSelectCable);
  ComboBox_KB901X_FFC->setEnabled(false);
  CheckBox_KB901X = Named(new QCheckBox("Pin 1 connected  to pin 1 on the MB keyboard connector", GroupBox1), kPinOne);
  CheckBox_KB901X->setChecked(true);
  CheckBox_KB901X->setEnabled(false);
  Label_result = Named(new QLabel(ene::kLabelAtStart, GroupBox1), kResult);
  Label_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
  colourList(ComboBox_KB901X, colour::kYellow);
  colourList(ComboBox_KB901X_FFC, colour::kYellow);
  // Measured in the lists' coloured style: that is how they are drawn.
  FitPrompt(ComboBox_KB901X, ene::kSelectBoard);
  FitPrompt(ComboBox_KB901X_FFC, ene::kSelectCable);
}

void TKB901X_forms::build() {
  KB901X_READ = Named(new QPushButton("KB90XX_READ", this), kRead);
  // The coloured captions only while they can be pressed: disabled, they look disabled.
  KB901X_READ->setStyleSheet("QPushButton:enabled { color: green; }");
  KB901X_WRITE = Named(new QPushButton("KB90XX_WRITE", this), kWrite);
  KB901X_WRITE->setStyleSheet("QPushButton:enabled { color: red; }");
  EXIT_KB901X = Named(new QPushButton("EXIT", this), kExit);
  ReadTwice = Named(new QCheckBox("Read twice and compare", this), kReadTwice);
  ReadTwice->setChecked(false);
  Backup_KB901X = Named(new QCheckBox("Backup before write", this), kBackup);
  Backup_KB901X->setChecked(true);

  KB901X_Memo = Named(new QPlainTextEdit(this), kMemo);
  KB901X_Memo->setReadOnly(true);
  KB901X_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLogWidget(KB901X_Memo);
  CGauge_KB901X = makeTimeGauge(kGauge, kb90::kGaugeMax);
}

void TKB901X_forms::layOut() {
  auto* groupLayout = new QGridLayout(GroupBox1);
  groupLayout->addWidget(ComboBox_KB901X, 0, 0, 1, 2);
  groupLayout->addWidget(ComboBox_KB901X_FFC, 1, 0);
  groupLayout->addWidget(CheckBox_KB901X, 1, 1);
  groupLayout->addWidget(Label_result, 2, 0, 1, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(KB901X_READ);
  buttons->addWidget(KB901X_WRITE);
  buttons->addWidget(ReadTwice);
  buttons->addWidget(Backup_KB901X);
  buttons->addStretch(1);
  buttons->addWidget(EXIT_KB901X);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(GroupBox1);
  layout->addLayout(buttons);
  layout->addWidget(KB901X_Memo, 1);
  layout->addWidget(CGauge_KB901X);
  resize(620, 520);
}

void TKB901X_forms::connectControls() {
  // A click on READ during a read (WRITE during a write) is ignored: it looks it.
  holdWhileBusy({KB901X_READ, KB901X_WRITE}, [this] { return operations_->mode() != Kb90Mode::None; });

  connect(KB901X_READ, &QPushButton::clicked, this, [this] { KB901X_READClick(); });
  connect(KB901X_WRITE, &QPushButton::clicked, this, [this] { KB901X_WRITEClick(); });
  setExit(EXIT_KB901X, [this] { EXIT_KB901XClick(); }, [this] { return operations_->mode() != Kb90Mode::None; });
  connect(ComboBox_KB901X, &QComboBox::activated, this, [this] { ComboBox_KB901XSelect(); });
  connect(ComboBox_KB901X_FFC, &QComboBox::activated, this, [this] { ComboBox_KB901X_FFCSelect(); });
  connect(CheckBox_KB901X, &QCheckBox::clicked, this, [this] { CheckBox_KB901XClick(); });
}

// The worker reports through this window: it must end before the widgets go.
TKB901X_forms::~TKB901X_forms() { operations_.reset(); }

void TKB901X_forms::colourList(QComboBox* list, Rgb colour) {
  list->setStyleSheet(QString("QComboBox { background-color: %1; }").arg(ToQColor(colour).name()));
}

void TKB901X_forms::FormCreate() {
  if (ComboBox_KB901X->currentIndex() < 0) colourList(ComboBox_KB901X, colour::kYellow);
  if (ComboBox_KB901X_FFC->currentIndex() < 0) colourList(ComboBox_KB901X_FFC, colour::kYellow);
  std::vector<std::string> problems;
  const auto base = ene::LoadBase(baseFolders_, &problems);
  for (const auto& problem : problems) log(problem);
  if (!base) {
    Label_result->setText(ene::kNoBase);
    log(ene::MissingBaseLine(baseFolders_));
    colourList(ComboBox_KB901X, colour::kButtonFace);
    colourList(ComboBox_KB901X_FFC, colour::kButtonFace);
    ComboBox_KB901X->setEnabled(false);
    ComboBox_KB901X_FFC->setEnabled(false);
    CheckBox_KB901X->setEnabled(false);
    return;
  }
  ComboBox_KB901X->setEnabled(true);
  ComboBox_KB901X_FFC->setEnabled(true);
  CheckBox_KB901X->setEnabled(true);
  ShowPrompt(ComboBox_KB901X, ene::kSelectBoard);
  ShowPrompt(ComboBox_KB901X_FFC, ene::kSelectCable);
  Label_result->clear();
  for (const std::string& line : ene::BaseList(*base)) ComboBox_KB901X->addItem(Q(line));
  ComboBox_KB901X->setCurrentIndex(-1);
  ShowPrompt(ComboBox_KB901X, ene::kSelectBoard);
  restoreChoices();
}

// The board, cable and orientation of the last run, where the base still has them. The aid
// sends nothing to the programmer; a line whose pin is no number shows no wiring here
// instead of the error box its choice by hand gives.
void TKB901X_forms::restoreChoices() {
  using remembered::Choice;
  const auto restore = [this](QComboBox* list, Choice choice) {
    const QVariant kept = remembered::LastChoice(objectName(), choice);
    const int index = kept.isValid() ? list->findText(kept.toString(), Qt::MatchExactly) : -1;
    if (index < 0) return;
    list->setCurrentIndex(index);
    list->lineEdit()->setCursorPosition(0);
    colourList(list, colour::kButtonFace);
  };
  restore(ComboBox_KB901X, Choice::Board);
  restore(ComboBox_KB901X_FFC, Choice::Cable);
  if (const QVariant straight = remembered::LastChoice(objectName(), Choice::StraightCable); straight.isValid())
    CheckBox_KB901X->setChecked(straight.toBool());
  if (ComboBox_KB901X->currentIndex() < 0 || ComboBox_KB901X_FFC->currentIndex() < 0) return;
  const ene::Wiring wiring = wiringNow();
  if (wiring.kind != ene::Wiring::Kind::ConversionError) Label_result->setText(Q(wiring.text));
}

void TKB901X_forms::KB901X_READClick() {
  operationClick([this] {
    operations_->job().setReadTwice(ReadTwice->isChecked());
    operations_->KB901X_READClick();
  });
}
void TKB901X_forms::KB901X_WRITEClick() {
  operationClick([this] {
    operations_->job().setBackup(Backup_KB901X->isChecked());
    operations_->KB901X_WRITEClick();
  });
}
// Reading twice and the backup are taken when a job starts: they stay as they are until it ends.
void TKB901X_forms::showJob(const JobStatus& status) {
  const bool idle = status.phase == JobPhase::Idle;
  ReadTwice->setEnabled(idle);
  Backup_KB901X->setEnabled(idle);
}

void TKB901X_forms::EXIT_KB901XClick() { operations_->EXIT_KB901XClick(); }

void TKB901X_forms::ComboBox_KB901XSelect() {
  keepChoice(ComboBox_KB901X, remembered::Choice::Board);
  colourList(ComboBox_KB901X, colour::kButtonFace);
  if (ComboBox_KB901X_FFC->currentIndex() >= 0) computeWiring();
}

void TKB901X_forms::ComboBox_KB901X_FFCSelect() {
  keepChoice(ComboBox_KB901X_FFC, remembered::Choice::Cable);
  colourList(ComboBox_KB901X_FFC, colour::kButtonFace);
  if (ComboBox_KB901X->currentIndex() >= 0) computeWiring();
}

void TKB901X_forms::CheckBox_KB901XClick() {
  remembered::KeepChoice(objectName(), remembered::Choice::StraightCable, CheckBox_KB901X->isChecked());
  if (ComboBox_KB901X_FFC->currentIndex() >= 0 && ComboBox_KB901X->currentIndex() >= 0) computeWiring();
}

// A row of the list, not text typed into it.
void TKB901X_forms::keepChoice(QComboBox* list, remembered::Choice choice) {
  if (list->currentIndex() >= 0) remembered::KeepChoice(objectName(), choice, list->itemText(list->currentIndex()));
}

ene::Wiring TKB901X_forms::wiringNow() const {
  return ene::ComputeWiring(ComboBox_KB901X->currentText().toStdString(),
                            ComboBox_KB901X_FFC->currentText().toStdString(), CheckBox_KB901X->isChecked());
}

void TKB901X_forms::computeWiring() {
  const ene::Wiring wiring = wiringNow();
  if (wiring.kind == ene::Wiring::Kind::ConversionError) {
    errorBox(wiring.text);
    return;
  }
  Label_result->setText(Q(wiring.text));
}

namespace {
// The program makes this window once at start, for its family's task.
const TaskWindowRegistration kRegistered("TKB901X_forms", MakeTaskWindow<TKB901X_forms>);
}  // namespace

}  // namespace jig
