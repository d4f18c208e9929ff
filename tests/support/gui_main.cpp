// Window tests: real widgets on the offscreen platform, one application object for the
// program, the program's own.
#include <gtest/gtest.h>

#include "app/TApplication.h"
#include "gui/TTaskWindow.h"

namespace {

QtMessageHandler qtHandler = nullptr;

// A control name that no window has fails the test that used it: an operation that enables,
// paints or fills a control under a wrong name would otherwise do nothing, silently.
void FailOnMissingControl(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QString::fromUtf8(jig::TTaskWindow::kNoControl)))
    ADD_FAILURE() << message.toStdString();
  if (qtHandler) qtHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  // Options may follow the platform's name (a screen of a given size: see the screen tests).
  if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen")) qputenv("QT_QPA_PLATFORM", "offscreen");
  jig::TApplication application(argc, argv);
  qtHandler = qInstallMessageHandler(FailOnMissingControl);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
