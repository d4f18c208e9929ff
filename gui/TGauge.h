#pragma once
// A progress gauge in the colour an operation gives it, with its percentage centred and
// readable on every colour: over the filled part in black or white, whichever stands out
// from the fill, over the rest in the window's text colour. The transfer's time may follow
// the percentage ("45%   0:12 / ~0:30").
#include <QColor>
#include <QProgressBar>

namespace jig {

class TGauge : public QProgressBar {
 public:
  TGauge(QWidget* parent, const char* name, int maximum);

  // An operation's colour; it also clears a failure shown before.
  void setChunkColour(const QColor& colour);
  // Empty: the percentage alone.
  void setTimeText(const QString& time);
  QString timeText() const { return time_; }
  // What the gauge shows: the percentage and the time.
  QString label() const;
  // The colour the fill is drawn in: red while a failure is shown, else the operation's.
  QColor chunkColour() const { return failed_ ? QColor(Qt::red) : chunk_; }
  // The operation that drew this gauge failed: red until the next one starts.
  void showFailure(bool failed);
  bool showsFailure() const { return failed_; }
  // Black on light fills, white on dark ones.
  static QColor TextOn(const QColor& fill);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor chunk_;
  QString time_;
  bool failed_ = false;
};

}  // namespace jig
