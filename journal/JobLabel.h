#pragma once
// The technician's label of a job (a ticket or board number), checked in one place for the
// command line's --label and the windows' label field.
#include <cstddef>
#include <string>
#include <string_view>

namespace jig {

// Characters, not bytes: a Cyrillic ticket number is as long as a Latin one.
inline constexpr std::size_t kMaxJobLabelChars = 200;

// Empty when the label may go on record; else why not, as one phrase for a usage line. A
// label is UTF-8 of at most kMaxJobLabelChars characters without control characters (a
// newline, ESC or BEL in a label would act on every terminal that lists it).
std::string JobLabelProblem(std::string_view label);

}  // namespace jig
