#include "app/TApplication.h"

#include <QMessageBox>

#include "app/Guarded.h"
#include "cli/ConsoleView.h"

namespace jig {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Holbrenik_JIG");
  // The windows keep their last folders and boards under these names in the user's
  // configuration folder (~/.config/holbrenik-jig/Holbrenik_JIG.conf on Linux).
  setOrganizationName("holbrenik-jig");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    failed(std::current_exception());
    return false;
  }
}

void TApplication::failed(std::exception_ptr error) {
  // Only the first one is shown: the program is ending.
  const bool first = !failed_;
  failed_ = true;
  if (first) {
    const QString text = QString::fromStdString(EscapedErrorText(error));
    if (failureSeen) failureSeen(text);
    else QMessageBox::critical(nullptr, applicationName(), text, QMessageBox::Ok);
  }
  exit(kExitFailed);
}

}  // namespace jig
