#include "gui/TGauge.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace jig {

TGauge::TGauge(QWidget* parent, const char* name, int maximum)
    : QProgressBar(parent), chunk_(palette().color(QPalette::Highlight)) {
  setObjectName(name);
  setRange(0, maximum);
  setValue(0);
  setAlignment(Qt::AlignCenter);
}

void TGauge::setChunkColour(const QColor& colour) {
  chunk_ = colour;
  failed_ = false;
  update();
}

void TGauge::showFailure(bool failed) {
  failed_ = failed;
  update();
}

void TGauge::setTimeText(const QString& time) {
  if (time == time_) return;
  time_ = time;
  update();
}

QString TGauge::label() const { return time_.isEmpty() ? text() : text() + "   " + time_; }

QColor TGauge::TextOn(const QColor& fill) {
  // Perceived brightness (ITU-R BT.601 weights).
  const double brightness = 0.299 * fill.red() + 0.587 * fill.green() + 0.114 * fill.blue();
  return brightness > 140 ? QColor(Qt::black) : QColor(Qt::white);
}

void TGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  painter.setPen(palette().color(group, QPalette::Mid));
  painter.setBrush(palette().color(group, QPalette::Base));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));

  const QRect inner = rect().adjusted(1, 1, -1, -1);
  const double span = static_cast<double>(maximum()) - minimum();
  const double fraction = span > 0 ? (static_cast<double>(value()) - minimum()) / span : 0.0;
  QRect filled = inner;
  filled.setWidth(static_cast<int>(std::lround(inner.width() * std::clamp(fraction, 0.0, 1.0))));
  const QColor fill = chunkColour();
  painter.fillRect(filled, fill);

  if (!isTextVisible()) return;
  const QString shown = label();
  painter.setClipRect(filled);
  painter.setPen(TextOn(fill));
  painter.drawText(inner, Qt::AlignCenter, shown);
  painter.setClipRegion(QRegion(inner).subtracted(QRegion(filled)));
  painter.setPen(palette().color(group, QPalette::Text));
  painter.drawText(inner, Qt::AlignCenter, shown);
}

}  // namespace jig
