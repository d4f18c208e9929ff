#pragma once
#include "main/Family.h"

namespace jig {

// The keyboard matrix test family's registration row.
const Family& KeyboardFamily();

namespace profiles {
// How the keyboard test window opens the programmer.
extern const OpenProfile kKeyboard;
}  // namespace profiles

}  // namespace jig
