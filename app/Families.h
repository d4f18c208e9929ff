#pragma once
// The chip families this program offers, in the selector's order.
#include <span>

#include "main/Family.h"

namespace jig {

std::span<const Family* const> Families();
// The selector's tasks, one a family, in the same order.
std::span<const Task> TaskList();

}  // namespace jig
