#include "Ite/IteLines.h"

#include "Ite/IteTexts.h"
#include "view/TimeStamp.h"

namespace jig::ite {

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

std::string UnansweredLine(std::uint32_t ms, std::string_view command) {
  return Concat({text::kNoAnswerPrefix, std::to_string(ms), text::kNoAnswerMiddle, command, text::kFullStop});
}

std::string FailureLine(std::string_view code) { return Concat({text::kFailurePrefix, code, text::kFailureSuffix}); }

std::string TimeStampLine() { return Concat({kCurrentTimeRu, LongTimeOfDay()}); }

}  // namespace jig::ite
