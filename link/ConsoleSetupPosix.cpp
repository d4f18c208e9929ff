#include "link/ConsoleSetup.h"

namespace jig {
void PrepareConsole() {}
}  // namespace jig
