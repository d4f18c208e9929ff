// Window tests: real widgets on the offscreen platform, one application object for the
// program, the program's own.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

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

// What the windows keep between runs goes to a scratch folder of this run, never to the
// user's configuration, and each test starts with nothing kept: a window made by a test is
// a first run unless the test itself made one before it.
class ForgetBetweenTests : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { QSettings().clear(); }
};

}  // namespace

int main(int argc, char** argv) {
  // Options may follow the platform's name (a screen of a given size: see the screen tests).
  if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef JIG_TEST_FONT_DIR
  // Qt's offscreen platform on Windows draws with the fonts of one folder, not the system's:
  // the faces the Linux window tests see.
  qputenv("QT_QPA_FONTDIR", JIG_TEST_FONT_DIR);
#endif
  jig::TApplication application(argc, argv);
  qtHandler = qInstallMessageHandler(FailOnMissingControl);
  const QTemporaryDir settings;
  if (!settings.isValid()) return 1;
  for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
      QSettings::setPath(format, scope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetBetweenTests);
  return RUN_ALL_TESTS();
}
