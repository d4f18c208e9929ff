#pragma once
// A window's log as its tests read it: the family's documented lines, with the jobs' verdict
// lines (checked where they stand by the tests of the verdict) taken out.
#include <QPlainTextEdit>
#include <QStringList>

#include "job/JobVerdict.h"

namespace jig::test {

inline QStringList DocumentedLines(const QPlainTextEdit* memo, Qt::SplitBehavior split = Qt::KeepEmptyParts) {
  QStringList lines;
  for (const QString& line : memo->toPlainText().split('\n', split))
    if (!IsVerdictLine(line.toStdString())) lines << line;
  return lines;
}

// The verdict lines of a window's log, in order.
inline QStringList VerdictLines(const QPlainTextEdit* memo) {
  QStringList lines;
  for (const QString& line : memo->toPlainText().split('\n'))
    if (IsVerdictLine(line.toStdString())) lines << line;
  return lines;
}

}  // namespace jig::test
