#include "journal/JobLabel.h"

#include "view/SafeText.h"

namespace jig {

std::string JobLabelProblem(std::string_view label) {
  std::size_t characters = 0;
  for (std::size_t at = 0; at < label.size(); ++characters) {
    const Utf8Char c = NextUtf8(label, at);
    if (c.length == 0) return "the label is not valid UTF-8 text";
    if (IsControlCode(c.code)) return "the label holds a control character (" + VisibleText(label.substr(at, c.length)) + ")";
    at += c.length;
  }
  if (characters > kMaxJobLabelChars)
    return "the label has " + std::to_string(characters) + " characters; at most " +
           std::to_string(kMaxJobLabelChars) + " are kept";
  return {};
}

}  // namespace jig
