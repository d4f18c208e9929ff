#include "gui/TQtTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace jig {

namespace {
// Qt's own widgets and dialogs are translated in this catalogue.
constexpr const char* kQtRussian = "qtbase_ru";

// Loaded once, on first need; null when the file is not there.
QTranslator* Russian() {
  static QTranslator* translator = [] {
    auto* loaded = new QTranslator(QCoreApplication::instance());
    // Qt's own folder where Qt is installed (Linux); beside the program where Qt is built
    // into it (the Windows folder carries the catalogue in translations\).
    for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  QCoreApplication::applicationDirPath() + "/translations"})
      if (loaded->load(kQtRussian, folder)) return loaded;
    delete loaded;
    return static_cast<QTranslator*>(nullptr);
  }();
  return translator;
}

int& Depth() {
  static int depth = 0;
  return depth;
}
}  // namespace

TQtTexts::TQtTexts(LogLanguage language) {
  if (language != LogLanguage::Russian) return;
  QTranslator* russian = Russian();
  if (!russian) return;
  if (Depth()++ == 0) QCoreApplication::installTranslator(russian);
  installed_ = true;
}

TQtTexts::~TQtTexts() {
  if (!installed_) return;
  if (--Depth() == 0) QCoreApplication::removeTranslator(Russian());
}

QString TQtTexts::RussianFile() {
  QTranslator* russian = Russian();
  return russian ? russian->filePath() : QString();
}

}  // namespace jig
