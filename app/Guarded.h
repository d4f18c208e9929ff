#pragma once
// The last line of defence of both front ends: an error that escapes everything else is
// reported once, plainly, and ends the program with status 1.
#include <exception>
#include <functional>
#include <ostream>
#include <string>

namespace jig {

// What an escaped error says: its own message, or that it had none.
std::string EscapedErrorText(std::exception_ptr error);

// Runs the command line; an error that escapes it goes to err and gives kExitFailed.
int RunGuarded(const std::function<int()>& run, std::ostream& err);

}  // namespace jig
