#pragma once
// The console the command line writes to shows its UTF-8 lines (the Russian log lines) as
// they are. Nothing to do where consoles are UTF-8 already.
namespace jig {
void PrepareConsole();
}  // namespace jig
