#include "Keyboard/TKeyboard_testing.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>

#include "Keyboard/KeyboardControls.h"
#include "Keyboard/KeyboardTexts.h"
#include "gui/TWidgets.h"
#include "gui/TTaskWindowMakers.h"

namespace jig {

using namespace keyboard;
using namespace keyboard::control;

namespace {
// The column numbers across the top, spaced to stand over their columns; the last column
// is numbered too, so that both ends of the row of columns are named.
constexpr const char* kColumnLabels = "2       6        11        16        21        26        31";
constexpr int kLastColumn = kMatrixLines;
constexpr int kRowLabels[] = {1, 6, 11, 16, 21, 26, 31};

// The pair of an indicator's name ("Shape" and its number), when it has one.
std::optional<LinePair> ShapePair(std::string_view name) {
  constexpr std::string_view prefix = kShapePrefix;
  if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
  const std::string_view digits = name.substr(prefix.size());
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() || digits[0] == '0')
    return std::nullopt;
  const LinePair pair{(number - 1) / kMatrixLines + 1, (number - 1) % kMatrixLines + 1};
  if (!HasIndicator(pair)) return std::nullopt;
  return pair;
}
}  // namespace

TKeyboardMatrix::TKeyboardMatrix(QWidget* parent) : QWidget(parent) {
  setObjectName(keyboard::control::kShapes);
  colours_.fill(colour::kAqua);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize TKeyboardMatrix::sizeHint() const {
  const int span = Offset(kMatrixLines - 2) + kCell;
  return {span + kRight, span + kTop};
}

QSize TKeyboardMatrix::minimumSizeHint() const {
  const QSize full = sizeHint();
  return {static_cast<int>(full.width() * kMinimumScale + 0.5), static_cast<int>(full.height() * kMinimumScale + 0.5)};
}

double TKeyboardMatrix::scale() const {
  const QSize full = sizeHint();
  return std::min({1.0, static_cast<double>(width()) / full.width(), static_cast<double>(height()) / full.height()});
}

QRect TKeyboardMatrix::shapeRect(LinePair pair) const {
  return {Offset(pair.column - 2), kTop + Offset(pair.row - 1), kCell, kCell};
}

QRect TKeyboardMatrix::shownRect(LinePair pair) const {
  const QRect full = shapeRect(pair);
  const double s = scale();
  return QRectF(full.left() * s, full.top() * s, full.width() * s, full.height() * s).toAlignedRect();
}

std::optional<LinePair> TKeyboardMatrix::paintShape(std::string_view name, Rgb colour) {
  const auto pair = ShapePair(name);
  if (!pair) return std::nullopt;
  colours_[static_cast<std::size_t>(PairNumber(*pair))] = colour;
  update(shownRect(*pair).adjusted(-1, -1, 1, 1));
  return pair;
}

std::optional<Rgb> TKeyboardMatrix::shapeColour(std::string_view name) const {
  const auto pair = ShapePair(name);
  if (!pair) return std::nullopt;
  return colours_[static_cast<std::size_t>(PairNumber(*pair))];
}

void TKeyboardMatrix::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(scale(), scale());
  painter.setPen(QPen(Qt::gray, 1));
  for (const LinePair& pair : AllPairs()) {
    painter.setBrush(TTaskWindow::ToQColor(colours_[static_cast<std::size_t>(PairNumber(pair))]));
    painter.drawRoundedRect(shapeRect(pair), 4, 4);
  }
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(TTaskWindow::ToQColor(colour::kRed));
  QStringList columns = QString(kColumnLabels).split(' ', Qt::SkipEmptyParts);
  columns << QString::number(kLastColumn);
  for (const QString& label : columns) {
    const QRect cell = shapeRect({1, label.toInt()});
    painter.drawText(QRect(cell.left() - 6, 0, cell.width() + 12, kTop - 4), Qt::AlignCenter, label);
  }
  painter.setPen(TTaskWindow::ToQColor(colour::kNavy));
  const int labelLeft = Offset(kMatrixLines - 2) + kCell + 4;
  for (int row : kRowLabels) {
    const QRect cell = shapeRect({row, row + 1});
    painter.drawText(QRect(labelLeft, cell.top(), kRight - 4, cell.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::number(row));
  }
}

TKeyboard_testing::TKeyboard_testing(D2xx& d2xx, KeyboardBounds bounds)
    : TTaskWindow("Keyboard_testing", "Keyboard_testing") {
  setClassName("TKeyboard_testing");
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  build();
  layOut();
  connectControls();
  operations_ = std::make_unique<KeyboardOperations>(d2xx, *this, bounds);
  // Paints the worker already handed over land before Clear's aqua, never on top of it.
  operations_->settlePaints = [this] { settleWorkerCalls(); };
  FormCreate();
  resize(Matrix->sizeHint().width() + 300, Matrix->sizeHint().height() + 20);
}

void TKeyboard_testing::build() {
  Matrix = new TKeyboardMatrix(this);
  START_SCAN = Named(new QPushButton("START SCAN", this), kStartScan);
  START_SCAN->setMinimumHeight(60);
  QFont big = START_SCAN->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  START_SCAN->setFont(big);
  // The red caption only while it can be pressed: disabled, it looks disabled.
  START_SCAN->setStyleSheet("QPushButton:enabled { color: #ff0000; }");
  EXIT_KB_TEST = Named(new QPushButton("EXIT", this), kExit);
  Clear = Named(new QPushButton("Clear", this), kClear);
  // Aqua on the light button face cannot be read and looks greyed out: the aqua caption
  // stands on a dark face while the button can be pressed, and looks disabled otherwise.
  Clear->setStyleSheet(
      "QPushButton:enabled { color: #00ffff; background-color: #1c3a5e; border: 1px solid #0d1f33;"
      " border-radius: 3px; padding: 4px 8px; }"
      " QPushButton:enabled:hover { background-color: #24507f; }"
      " QPushButton:enabled:pressed { background-color: #10263f; }");
  Buzzer_box = Named(new QCheckBox(" No sound", this), kNoSound);
  Buzzer_box->setChecked(false);
  Memo_keyboard = Named(new QPlainTextEdit(this), kMemo);
  Memo_keyboard->setReadOnly(true);
  Memo_keyboard->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLogWidget(Memo_keyboard);
  Label_pairs = Named(new QLabel(Q(text::kPairsCaption), this), kPairsLabel);
  Pairs_keyboard = Named(new QListWidget(this), kPairs);
  Pairs_keyboard->setSelectionMode(QAbstractItemView::NoSelection);
  Pairs_keyboard->setFocusPolicy(Qt::NoFocus);
  Label_pairs->setBuddy(Pairs_keyboard);
  Timer_keyboard_scan = Named(new QTimer(this), kTimer);
  Timer_keyboard_scan->setInterval(static_cast<int>(limits::kKeyboardTickIntervalMs));
}

void TKeyboard_testing::layOut() {
  auto* side = new QVBoxLayout;
  side->addWidget(START_SCAN);
  side->addWidget(EXIT_KB_TEST);
  side->addWidget(Clear);
  side->addWidget(Buzzer_box);
  side->addWidget(Label_pairs);
  side->addWidget(Pairs_keyboard, 1);
  side->addWidget(Memo_keyboard, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(Matrix, 0, Qt::AlignTop);
  layout->addLayout(side, 1);
}

void TKeyboard_testing::connectControls() {
  connect(START_SCAN, &QPushButton::clicked, this, [this] { START_SCANClick(); });
  // During a scan EXIT (then "STOP") ends it; a close is refused instead.
  setExit(EXIT_KB_TEST, [this] { EXIT_KB_TESTClick(); }, [this] { return operations_ && operations_->scanning(); });
  connect(Clear, &QPushButton::clicked, this, [this] { ClearClick(); });
  connect(Timer_keyboard_scan, &QTimer::timeout, this, [this] { Timer_keyboard_scanTimer(); });
  connect(Buzzer_box, &QCheckBox::toggled, this, [this](bool ticked) { operations_->setNoSound(ticked); });
}

TKeyboard_testing::~TKeyboard_testing() {
  // The worker ends (with "Q" and the handle closed) while the window is still whole.
  Timer_keyboard_scan->stop();
  operations_.reset();
}

void TKeyboard_testing::FormCreate() { operations_->setNoSound(Buzzer_box->isChecked()); }

void TKeyboard_testing::START_SCANClick() { operations_->startScan(); }
void TKeyboard_testing::EXIT_KB_TESTClick() { operations_->endTest(); }
void TKeyboard_testing::ClearClick() { operations_->ClearClick(); }
void TKeyboard_testing::Timer_keyboard_scanTimer() { operations_->Timer_keyboard_scanTimer(); }

bool TKeyboard_testing::paintIndicator(std::string_view name, Rgb colour) {
  const auto pair = Matrix->paintShape(name, colour);
  if (pair) listPair(*pair, colour);
  return pair.has_value();
}

void TKeyboard_testing::listPair(LinePair pair, Rgb colour) {
  const QString entry = QString::number(pair.row) + Q(text::kPairJoin) + QString::number(pair.column);
  const QList<QListWidgetItem*> listed = Pairs_keyboard->findItems(entry, Qt::MatchExactly);
  if (colour == colour::kAqua) {
    qDeleteAll(listed);
  } else if (listed.isEmpty()) {
    Pairs_keyboard->addItem(entry);
    Pairs_keyboard->scrollToBottom();
  }
}

namespace {
// The program makes this window once at start, for its family's task.
const TaskWindowRegistration kRegistered("TKeyboard_testing", MakeTaskWindow<TKeyboard_testing>);
}  // namespace

}  // namespace jig
