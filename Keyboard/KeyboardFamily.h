#pragma once
#include "main/Family.h"

namespace jig {

// The keyboard matrix test family's registration row.
const Family& KeyboardFamily();

}  // namespace jig
