#pragma once
// What the flash job must know of the MEC16xx window before it runs: the sizes, the dialogs
// and the texts of its read and write.
#include "job/FlashSteps.h"

namespace jig {

FlashFacts Mec16Facts();

}  // namespace jig
