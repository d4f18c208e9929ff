#pragma once
// The one line every job ends with, after the family's own: whether it succeeded, and what
// that leaves the technician with (the file saved or not, the chip untouched, or half
// written and the backup to restore it from).
#include <string>
#include <string_view>

#include "job/JobReport.h"
#include "view/LogLanguage.h"

namespace jig {

std::string VerdictLine(const JobReport& report, LogLanguage language);
// Whether a log line is such a verdict (it begins with the verdict's word in either language).
bool IsVerdictLine(std::string_view line);

}  // namespace jig
