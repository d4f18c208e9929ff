#pragma once
// What the windows keep between runs, in the user's configuration folder (Qt's settings
// under the organisation and application names the program sets at start): per window, the
// folder each file dialog was last answered in and the last board and cable chosen. Never
// the task the main window starts with, and nothing that changes an exchange. The command
// line neither reads nor writes any of it.
#include <QString>
#include <QVariant>

namespace jig::remembered {

// The file dialogs a window has, each with its own last folder.
enum class Folder { Save, Open, SaveLog };
// The choices of a wiring aid.
enum class Choice { Board, Cable, StraightCable };

// The folder a dialog of this window was last answered in; empty when there is none or it
// no longer exists (the dialog then starts where it always did).
QString LastFolder(const QString& window, Folder dialog);
// Keeps the folder of a file the dialog was answered with.
void KeepFolder(const QString& window, Folder dialog, const QString& chosenFile);

// A choice made in an earlier run; invalid when none was kept.
QVariant LastChoice(const QString& window, Choice choice);
void KeepChoice(const QString& window, Choice choice, const QVariant& value);
void ForgetChoice(const QString& window, Choice choice);

}  // namespace jig::remembered
