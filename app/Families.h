#pragma once
// The chip families this program offers, in the selector's order.
#include <span>

#include "main/Family.h"

namespace jig {

std::span<const Family* const> Families();

}  // namespace jig
