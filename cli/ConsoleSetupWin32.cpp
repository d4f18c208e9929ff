#include <windows.h>

#include "cli/ConsoleSetup.h"

namespace jig {
void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }

void ReleaseOwnConsole() {
  // One process on the console: this one, so nobody typed the command in it.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}
}  // namespace jig
