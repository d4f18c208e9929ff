#include "gui/TRemembered.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace jig::remembered {

namespace {
// Every key, once: "<window's objectName>/<what>", in the order of the enums.
constexpr const char* kFolderKeys[] = {"SaveFolder", "OpenFolder", "SaveLogFolder"};
constexpr const char* kChoiceKeys[] = {"Board", "Cable", "StraightCable"};

const char* Name(Folder dialog) { return kFolderKeys[static_cast<int>(dialog)]; }
const char* Name(Choice choice) { return kChoiceKeys[static_cast<int>(choice)]; }

QString Key(const QString& window, const char* what) { return window + '/' + QString::fromLatin1(what); }
}  // namespace

QString LastFolder(const QString& window, Folder dialog) {
  const QString folder = QSettings().value(Key(window, Name(dialog))).toString();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return {};
  return QDir::toNativeSeparators(folder);  // as the system writes paths: the dialog shows it
}

void KeepFolder(const QString& window, Folder dialog, const QString& chosenFile) {
  if (chosenFile.isEmpty()) return;
  QSettings().setValue(Key(window, Name(dialog)), QFileInfo(chosenFile).absolutePath());
}

QVariant LastChoice(const QString& window, Choice choice) { return QSettings().value(Key(window, Name(choice))); }

void KeepChoice(const QString& window, Choice choice, const QVariant& value) {
  QSettings().setValue(Key(window, Name(choice)), value);
}

void ForgetChoice(const QString& window, Choice choice) { QSettings().remove(Key(window, Name(choice))); }

}  // namespace jig::remembered
