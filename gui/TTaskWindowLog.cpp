// A window's log: its context menu with "Save log...", and the saved file.
#include "gui/TTaskWindow.h"

#include <QDateTime>
#include <QSaveFile>

#include "gui/TQtTexts.h"
#include "gui/TWidgets.h"
#include "gui/TWindowTexts.h"

namespace jig {


void TTaskWindow::setLogWidget(QPlainTextEdit* memo) {
  memo_ = memo;
  if (!memo_) return;
  // A log only grows and is cleared: with undo on, the editor would keep every line and
  // every clear for as long as the window lives.
  memo_->setUndoRedoEnabled(false);
  memo_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(memo_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    // Qt's entries (Copy, Select All) are made in the window's language.
    const TQtTexts qtTexts(language_);
    QMenu* menu = logMenu();
    menu->exec(memo_->viewport()->mapToGlobal(at));
    delete menu;
  });
}

QString TTaskWindow::ProgramVersion() {
#ifdef JIG_VERSION
  return QStringLiteral("Holbrenik_JIG " JIG_VERSION);
#else
  return QStringLiteral("Holbrenik_JIG");
#endif
}

QMenu* TTaskWindow::logMenu() {
  QMenu* menu = memo_ ? memo_->createStandardContextMenu() : new QMenu(this);
  menu->addSeparator();
  QAction* save = menu->addAction(QString::fromUtf8(WindowTextsIn(language_).saveLogAction));
  save->setObjectName("SaveLogAction");
  save->setEnabled(memo_ != nullptr);
  connect(save, &QAction::triggered, this, [this] { saveLogAs(); });
  return menu;
}

bool TTaskWindow::saveLogAs() {
  if (!memo_) return false;
  FileDialog dialog;
  dialog.title = WindowTextsIn(language_).saveLogTitle;
  dialog.filter = WindowTextsIn(language_).saveLogFilter;
  dialog.defaultExtension = ".txt";
  dialog.defaultName = objectName().toStdString() + "-log.txt";
  dialog.promptOverwrite = true;
  const auto path = askFile(dialog, remembered::Folder::SaveLog);
  if (!path) return false;
  if (saveLog(Q(*path))) return true;
  errorBox(WindowTextsIn(language_).logNotSaved + *path);
  return false;
}

bool TTaskWindow::saveLog(const QString& path) {
  if (!memo_) return false;
  QString text = ProgramVersion() + "\n" + windowTitle() + "\n" +
                 QDateTime::currentDateTime().toString(Qt::ISODate) + "\n\n" + memo_->toPlainText();
  if (!text.endsWith('\n')) text += '\n';
  // Written aside and renamed, so a full disk never leaves half a log under the name.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  const QByteArray bytes = text.toUtf8();
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace jig
