#pragma once
// The program's application object. An error that escapes an event handler must not
// unwind through Qt (it cannot be carried through the event loop): it is shown in the
// standard error box and the program ends with status 1.
#include <QApplication>
#include <functional>

namespace jig {

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
  // Shows the error box for an escaped error and ends the event loop with status 1.
  void failed(std::exception_ptr error);
  bool hasFailed() const { return failed_; }

  // Tests: see the text instead of the box.
  std::function<void(const QString&)> failureSeen;

 private:
  bool failed_ = false;
};

}  // namespace jig
