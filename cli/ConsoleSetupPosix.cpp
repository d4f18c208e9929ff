#include "cli/ConsoleSetup.h"

namespace jig {
void PrepareConsole() {}
void ReleaseOwnConsole() {}
}  // namespace jig
