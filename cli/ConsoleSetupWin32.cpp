#include <windows.h>

#include "cli/ConsoleSetup.h"

namespace jig {
void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }
}  // namespace jig
