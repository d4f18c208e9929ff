#pragma once
// The one line every job ends with, after the family's own: whether it succeeded, and what
// that leaves the technician with (the file saved or not, the chip untouched, or half
// written and the backup to restore it from).
#include <string>
#include <string_view>

#include "job/JobReport.h"
#include "view/LogLanguage.h"
#include "view/TaskView.h"

namespace jig {

// The verdict and the journal's outcome of a job, from what it was, where it stood with the
// chip (report.stage) and whether it succeeded: one table for both.
std::string VerdictLine(const JobReport& report, LogLanguage language);
JobOutcome VerdictOutcome(const JobReport& report, bool success);

// What the two sides of a comparison a job offers are called, in the window's language.
struct ComparisonLabels {
  std::string firstRead, secondRead;
  std::string image;  // followed by the image's path
  std::string readBack;
};
const ComparisonLabels& ComparisonLabelsFor(LogLanguage language);

// A job ends: its verdict made, the job put on the journal (a line for any trouble there,
// which never changes the verdict), then the verdict logged as the job's last line.
void EndJobReport(JobReport& report, bool success, TaskView& view, LogLanguage language);

// The clicks that only look or set up and never change the chip end with a verdict too.
enum class CheckKind {
  ChipCheck,  // a probe or link check: does the chip answer as it should
  PinsSent,   // the pins of a board sent to the programmer
};
std::string CheckVerdictLine(CheckKind kind, bool success, LogLanguage language);
// Whether a log line is such a verdict (it begins with the verdict's word in either language).
bool IsVerdictLine(std::string_view line);

}  // namespace jig
