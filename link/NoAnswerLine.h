#pragma once
// The log line of a wait that ended without its answer, in a task's own words: the
// programmer gone (unplugged) or silent, and what was waited for. Also the "N of M" that
// says where in a run of blocks a line stands.
#include <string>
#include <string_view>

#include "link/ReadIdioms.h"

namespace jig {

// A task's wording: each line is its lead, then what was waited for, then its tail.
struct NoAnswerWording {
  std::string_view goneLead;
  std::string_view goneTail;
  std::string_view silentLead;
  std::string_view silentTail;
};

// The line for a wait that did not bring its answer: the gone line for WaitResult::Gone,
// the silent one otherwise.
std::string NoAnswerLine(const NoAnswerWording& wording, WaitResult result, std::string_view what = {});

// "7 of 512".
std::string NumberOf(long number, long total);

}  // namespace jig
