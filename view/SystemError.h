#pragma once
// The system's own words for a failed file call, for the lines that name a path and why.
#include <string>

namespace jig {

std::string SystemErrorText(int error);

}  // namespace jig
