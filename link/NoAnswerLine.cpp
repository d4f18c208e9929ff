#include "link/NoAnswerLine.h"

namespace jig {

std::string NoAnswerLine(const NoAnswerWording& wording, WaitResult result, std::string_view what) {
  const bool gone = result == WaitResult::Gone;
  std::string line(gone ? wording.goneLead : wording.silentLead);
  line += what;
  line += gone ? wording.goneTail : wording.silentTail;
  return line;
}

std::string NumberOf(long number, long total) { return std::to_string(number) + " of " + std::to_string(total); }

}  // namespace jig
