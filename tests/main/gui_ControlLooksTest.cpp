// What the windows look like where it matters: a coloured caption can be read on its button
// while it can be pressed, a button that cannot be pressed looks disabled whatever colour its
// caption has, a gauge's percentage stands out from its fill and its background, and a log
// does not pull the view from where the user scrolled to.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <map>

#include "tests/support/TaskWindows.h"
#include "gui/TGauge.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

// Pixels close to the colour (anti-aliased text keeps some of them exact or nearly so).
int PixelsOf(const QImage& image, const QColor& colour, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
              std::abs(pixel.blue() - colour.blue()) < 60)
        ++count;
    }
  return count;
}

// The button's face: the commonest colour of its inside, where the caption takes little room.
QColor FaceOf(const QImage& image) {
  std::map<QRgb, int> counts;
  for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y)
    for (int x = 4; x < image.width() - 4; ++x) ++counts[image.pixel(x, y)];
  return QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                           return a.second < b.second;
                         })->first);
}

// The contrast ratio of two colours as the web's accessibility guidelines count it (1 to 21).
double Contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ControlLooks, ColouredCaptionsOnlyWhileTheButtonCanBePressed) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  struct Case {
    QPushButton* button;
    QColor caption;
  };
  const Case cases[] = {
      {windows.window<TKeyboard_testing>()->START_SCAN, QColor(255, 0, 0)},
      {windows.window<TKB901X_forms>()->KB901X_READ, QColor(0, 128, 0)},
      {windows.window<TKB901X_forms>()->KB901X_WRITE, QColor(255, 0, 0)},
      {windows.window<TKeyboard_testing>()->Clear, QColor(0, 255, 255)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button->objectName().toStdString());
    c.button->setEnabled(true);
    const QImage enabled = c.button->grab().toImage();
    EXPECT_GT(PixelsOf(enabled, c.caption, enabled.rect()), 10);
    // 3:1 at least, the least for a control's text to be read (aqua on the light face: 1.1).
    EXPECT_GE(Contrast(c.caption, FaceOf(enabled)), 3.0) << "on " << FaceOf(enabled).name().toStdString();
    c.button->setEnabled(false);
    const QImage disabled = c.button->grab().toImage();
    EXPECT_EQ(PixelsOf(disabled, c.caption, disabled.rect()), 0) << "a disabled button keeps its colour";
    c.button->setEnabled(true);
  }
}

TEST(ControlLooks, GaugePercentageIsCentredAndStandsOut) {
  struct Case {
    QColor fill;
    int value;  // of 100
    QColor text;
  };
  const QColor plain = QApplication::palette().color(QPalette::Active, QPalette::Text);
  const Case cases[] = {
      {QColor(0x00, 0x80, 0x00), 100, Qt::white},  // green: KB90xx and NPCE reads
      {QColor(0xFF, 0x00, 0x00), 100, Qt::white},  // red: writes
      {QColor(0x00, 0xFF, 0x00), 100, Qt::black},  // lime: MEC16xx and ITE reads
      {QColor(0xFF, 0xFF, 0x00), 100, Qt::black},  // yellow: verify
      {QColor(0x00, 0x80, 0x00), 0, plain},         // nothing filled yet
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fill.name().toStdString() + " at " + std::to_string(c.value));
    TGauge gauge(nullptr, "gauge", 100);
    gauge.resize(300, 24);
    gauge.setChunkColour(c.fill);
    gauge.setValue(c.value);
    const QImage image = gauge.grab().toImage();
    QRect text;  // the box of the text's pixels
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (PixelsOf(image, c.text, {x, y, 1, 1}) && QRect(2, 2, image.width() - 4, image.height() - 4).contains(x, y))
          text = text.united({x, y, 1, 1});
    ASSERT_FALSE(text.isEmpty()) << "no text in a colour that stands out";
    // Centred (the glyphs' own margins leave it a few pixels off), not in a corner.
    EXPECT_LE(std::abs(text.center().x() - image.width() / 2), 15);
    EXPECT_LE(std::abs(text.center().y() - image.height() / 2), 3);
  }
}

TEST(ControlLooks, TheLogStaysWhereTheUserScrolledTo) {
  sim::SimD2xx d2xx;
  TWindows windows(d2xx);
  TTaskWindow& window = *windows.window<TEDID_form>();
  window.show();
  for (int i = 0; i < 200; ++i) window.log("line " + std::to_string(i));
  QApplication::processEvents();
  QScrollBar* bar = windows.window<TEDID_form>()->EDID_Memo->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum()) << "a log shown at its end follows it";
  window.log("one more");
  EXPECT_EQ(bar->value(), bar->maximum());

  bar->setValue(bar->maximum() / 2);  // the user scrolled up to read
  const int reading = bar->value();
  window.log("and another");
  EXPECT_EQ(bar->value(), reading) << "pulled away from where the user scrolled to";

  bar->setValue(bar->maximum());
  bar->setSliderDown(true);  // the user drags the handle, which stands at the end for now
  const int dragged = bar->value();
  window.log("while dragging");
  EXPECT_EQ(bar->value(), dragged) << "the scroll bar moved under the user's drag";
  bar->setSliderDown(false);
}

}  // namespace
}  // namespace jig
