#pragma once
namespace jig {
// The console the command line writes to shows its UTF-8 lines (the Russian log lines) as
// they are. Nothing to do where consoles are UTF-8 already.
void PrepareConsole();

// Before the windows open. Windows gives a console program started from Explorer or a
// shortcut a console window of its own; the windows do not need it, so it is let go (the
// manifest asks newer Windows not to make one at all). A console the program shares with
// the shell it was typed in stays. Nothing to do elsewhere.
void ReleaseOwnConsole();
}  // namespace jig
