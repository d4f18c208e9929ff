#pragma once
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "Keyboard/KeyboardOperations.h"
#include "link/D2xx.h"
#include "gui/TTaskWindow.h"

namespace jig {

// The 496 indicators Shape2 ... Shape992 in one widget: an upper triangle of rounded
// squares, 24 pixels apart with 8 more after every fifth row and column. On a screen too
// small for that (a 1366x768 laptop less its panel) the whole grid is drawn smaller, down
// to kMinimumScale, so that every pair stays in sight.
class TKeyboardMatrix : public QWidget {
 public:
  static constexpr int kPitch = 24;
  static constexpr int kGroupGap = 8;
  static constexpr int kCell = 18;
  static constexpr int kTop = 22;   // room for the column labels
  static constexpr int kRight = 30; // room for the row labels
  static constexpr double kMinimumScale = 0.6;

  explicit TKeyboardMatrix(QWidget* parent);
  // "ShapeN": the pair of the indicator painted; none when no such indicator exists.
  std::optional<keyboard::LinePair> paintShape(std::string_view name, Rgb colour);
  std::optional<Rgb> shapeColour(std::string_view name) const;
  // Where a pair's indicator stands at full size (24-pixel pitch).
  QRect shapeRect(keyboard::LinePair pair) const;
  // Where it is drawn now, at the widget's scale.
  QRect shownRect(keyboard::LinePair pair) const;
  // 1 at full size, less when the widget is smaller than its size hint.
  double scale() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static int Offset(int index) { return index * kPitch + (index / 5) * kGroupGap; }
  std::array<Rgb, keyboard::kMatrixLines * keyboard::kMatrixLines + 1> colours_;
};

class TKeyboard_testing : public TTaskWindow {
 public:
  explicit TKeyboard_testing(D2xx& d2xx, KeyboardBounds bounds = {});
  ~TKeyboard_testing() override;

  void FormCreate();
  void START_SCANClick();
  void EXIT_KB_TESTClick();
  void ClearClick();
  void Timer_keyboard_scanTimer();

  KeyboardOperations& operations() { return *operations_; }

  QPushButton* START_SCAN;
  QPushButton* EXIT_KB_TEST;
  QPushButton* Clear;
  QCheckBox* Buzzer_box;
  QPlainTextEdit* Memo_keyboard;
  QTimer* Timer_keyboard_scan;
  TKeyboardMatrix* Matrix;
  // The pairs closed since the last Clear, as text, in the order they first closed.
  QLabel* Label_pairs;
  QListWidget* Pairs_keyboard;

 protected:
  bool paintIndicator(std::string_view name, Rgb colour) override;

 private:
  void build();
  void layOut();
  void connectControls();
  // A pair's indicator was painted: a pair that turns red or yellow joins the list, one
  // that turns aqua (Clear) leaves it.
  void listPair(keyboard::LinePair pair, Rgb colour);

  std::unique_ptr<KeyboardOperations> operations_;
};

}  // namespace jig
