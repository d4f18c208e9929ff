#pragma once
// Qt's own texts (the Yes and No of a question, a file dialog's controls, the log's Copy
// and Select All) in a window's language. A Russian window's boxes, dialogs and menus are
// made and shown inside one of these; English windows keep Qt's English. Without Qt's
// Russian translation on the machine, everything stays English and nothing complains.
#include <QString>

#include "view/LogLanguage.h"

namespace jig {

class TQtTexts {
 public:
  // From construction to destruction, Qt's texts are in this language (GUI thread only;
  // nests).
  explicit TQtTexts(LogLanguage language);
  ~TQtTexts();
  TQtTexts(const TQtTexts&) = delete;
  TQtTexts& operator=(const TQtTexts&) = delete;

  // Where Qt's Russian translation was found; empty when it is not installed.
  static QString RussianFile();

 private:
  bool installed_ = false;
};

}  // namespace jig
