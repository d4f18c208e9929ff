#include "cli/ConsoleSetup.h"

namespace jig {
void PrepareConsole() {}
}  // namespace jig
