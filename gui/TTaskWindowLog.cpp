// A window's log: its context menu with "Save log...", and the saved file.
#include "gui/TTaskWindow.h"

#include <QDateTime>
#include <QSaveFile>

#include "gui/TWidgets.h"

namespace jig {

namespace {
// The texts of "Save log...", in the window's language.
struct SaveLogTexts {
  const char* action;
  const char* title;
  const char* filter;
  const char* notSaved;
};
constexpr SaveLogTexts kSaveLogEnglish{"Save log...", "Save log", "Text (*.txt)|*.txt|All files|*",
                                       "The log could not be saved to "};
constexpr SaveLogTexts kSaveLogRussian{"Сохранить журнал...", "Сохранить журнал", "Текст (*.txt)|*.txt|Все файлы|*",
                                       "Журнал не удалось сохранить в "};

const SaveLogTexts& SaveLogIn(LogLanguage language) {
  return language == LogLanguage::Russian ? kSaveLogRussian : kSaveLogEnglish;
}
}  // namespace

void TTaskWindow::setLogWidget(QPlainTextEdit* memo) {
  memo_ = memo;
  if (!memo_) return;
  memo_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(memo_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
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
  QAction* save = menu->addAction(QString::fromUtf8(SaveLogIn(language_).action));
  save->setObjectName("SaveLogAction");
  save->setEnabled(memo_ != nullptr);
  connect(save, &QAction::triggered, this, [this] { saveLogAs(); });
  return menu;
}

bool TTaskWindow::saveLogAs() {
  if (!memo_) return false;
  FileDialog dialog;
  dialog.title = SaveLogIn(language_).title;
  dialog.filter = SaveLogIn(language_).filter;
  dialog.defaultExtension = ".txt";
  dialog.defaultName = objectName().toStdString() + "-log.txt";
  dialog.promptOverwrite = true;
  const auto path = askFile(dialog, remembered::Folder::SaveLog);
  if (!path) return false;
  if (saveLog(Q(*path))) return true;
  errorBox(SaveLogIn(language_).notSaved + *path);
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
