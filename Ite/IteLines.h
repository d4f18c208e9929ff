#pragma once
// The ITE window's composed log lines, said alike by its transfers, APPLY and the link check:
// an unanswered command, a step the controller failed with its code, and the time stamp.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "view/LogLanguage.h"

namespace jig::ite {

// The window's log speaks Russian; so do the lines the shared job adds to it.
inline constexpr LogLanguage kLanguage = LogLanguage::Russian;

std::string Concat(std::initializer_list<std::string_view> parts);
// "Программатор не ответил за <ms> мс на команду <command>."
std::string UnansweredLine(std::uint32_t ms, std::string_view command);
// The controller did not answer a step: the documented line with the step's code.
std::string FailureLine(std::string_view code);
std::string TimeStampLine();

}  // namespace jig::ite
