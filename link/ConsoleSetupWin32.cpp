#include <windows.h>

#include "link/ConsoleSetup.h"

namespace jig {
void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }
}  // namespace jig
