// Qt's own texts follow the window: in the Russian windows a question's buttons, a file
// dialog's buttons and the log menu's entries are Russian; the English windows keep them
// English, also right after a Russian dialog has closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>

#include <functional>

#include "gui/TQtTexts.h"
#include "tests/support/FileSafetyCases.h"
#include "tests/support/TaskWindows.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

// What a shown box, dialog or menu says, read while it is up; then it is closed.
struct Seen {
  QStringList buttons;  // without their '&'
  QStringList actions;
};

// Without the '&' of its shortcut and the key shown after a tab.
QString Plain(QString text) { return text.remove('&').section('\t', 0, 0); }

// Runs open() (which shows something modal or a popup and waits for it) and reads what
// came up; fails instead of hanging when nothing came.
Seen WhileShown(const std::function<void()>& open) {
  Seen seen;
  int looks = 0;
  bool found = false;
  QTimer look;
  look.setInterval(10);
  QObject::connect(&look, &QTimer::timeout, [&] {
    ++looks;
    if (QWidget* popup = QApplication::activePopupWidget()) {
      if (auto* menu = qobject_cast<QMenu*>(popup)) {
        for (QAction* action : menu->actions())
          if (!action->isSeparator()) seen.actions << Plain(action->text());
        found = true;
        menu->close();
      }
    } else if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (qobject_cast<QDialogButtonBox*>(button->parentWidget())) seen.buttons << Plain(button->text());
      found = true;
      dialog->reject();
    }
    if (found || looks > 500) look.stop();  // 5 s: it never came
  });
  look.start();
  open();
  EXPECT_TRUE(found) << "nothing was shown";
  return seen;
}

struct Windows {
  Windows() : windows(d2xx) {}
  sim::SimD2xx d2xx;
  TWindows windows;
};

enum class Shown { Question, FileDialog, LogMenu };

struct Case {
  const char* name;
  Shown shown;
  QStringList english;
  QStringList russian;
};

const Case kCases[] = {
    {"Question", Shown::Question, {"Yes", "No"}, {"Да", "Нет"}},
    {"FileDialog", Shown::FileDialog, {"Open", "Cancel"}, {"Открыть", "Отмена"}},
    {"LogMenu", Shown::LogMenu, {"Copy", "Select All", "Save log..."}, {"Копировать", "Выделить всё", "Сохранить журнал..."}},
};

Seen Show(TTaskWindow& window, Shown shown) {
  return WhileShown([&] {
    switch (shown) {
      case Shown::Question:
        window.askYesNo("?");
        break;
      case Shown::FileDialog: {
        FileDialog dialog;
        dialog.title = "open";
        dialog.filter = "Text (*.bin)|*.bin";
        window.askOpenFile(dialog);
        break;
      }
      case Shown::LogMenu: {
        auto* memo = window.findChild<QPlainTextEdit*>();
        memo->setPlainText("line");
        emit memo->customContextMenuRequested(QPoint(4, 4));
        break;
      }
    }
  });
}

// Every text of what that shows, from where it is seen.
QStringList TextsOf(const Seen& seen, Shown shown) { return shown == Shown::LogMenu ? seen.actions : seen.buttons; }

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class QtTexts : public ::testing::TestWithParam<Case> {};

TEST_P(QtTexts, EnglishWindowsKeepQtsEnglish) {
  const Case& c = GetParam();
  Windows w;
  for (TTaskWindow* window : std::vector<TTaskWindow*>{w.windows.window<TNPCE_FORM>(), w.windows.window<TKB901X_forms>()}) {
    window->show();
    const QStringList texts = TextsOf(Show(*window, c.shown), c.shown);
    for (const QString& text : c.english) EXPECT_TRUE(texts.contains(text)) << text.toStdString() << " in " << texts.join('|').toStdString();
    window->hide();
  }
}

TEST_P(QtTexts, RussianWindowsShowQtsRussianAndEnglishOnesStayEnglish) {
  const Case& c = GetParam();
  if (TQtTexts::RussianFile().isEmpty())
    GTEST_SKIP() << "Qt's Russian translation (qtbase_ru.qm, Debian package qt6-translations-l10n) is not installed";
  Windows w;
  for (TTaskWindow* russian : std::vector<TTaskWindow*>{w.windows.window<TMEC16_Form>(), w.windows.window<TITE_FORM>()}) {
    russian->show();
    const QStringList texts = TextsOf(Show(*russian, c.shown), c.shown);
    for (const QString& text : c.russian) EXPECT_TRUE(texts.contains(text)) << text.toStdString() << " in " << texts.join('|').toStdString();
    for (const QString& text : c.english) EXPECT_FALSE(texts.contains(text)) << text.toStdString();
    russian->hide();

    // Right after, an English window's is English again.
    TTaskWindow& english = *w.windows.window<TNPCE_FORM>();
    english.show();
    const QStringList after = TextsOf(Show(english, c.shown), c.shown);
    for (const QString& text : c.english) EXPECT_TRUE(after.contains(text)) << text.toStdString() << " in " << after.join('|').toStdString();
    english.hide();
  }
}

INSTANTIATE_TEST_SUITE_P(Shown, QtTexts, ::testing::ValuesIn(kCases), test::CaseName<Case>);

}  // namespace
}  // namespace jig
