#pragma once
// What a finished job leaves behind, told in one place when it ends: which task did what,
// with which file, which backup, and how it ended. The journal keeps these.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "files/DumpChecks.h"
#include "journal/JobRecord.h"
#include "view/TaskView.h"

namespace jig {

// The job's own account, on top of what the journal keeps of it.
struct JobReport : JobRecord {
  std::chrono::steady_clock::time_point steadyStart{};  // for the duration, whatever the clock does
  // The chip was read back after the write and does not hold the image (or the family's own
  // check said so): where it first differs and how much, when the read-back could tell.
  bool verifyFailed = false;
  std::optional<DumpDifference> difference;
  // A write that ended well without any check of what the chip holds (the check turned off).
  bool unverified = false;
  // Where the job stood with the chip when it ended: the verdict and the outcome come from it.
  JobStage stage = JobStage::NotTouched;
};

// A job begins: its task, action and start, and the technician's label for it.
JobReport NewJobReport(std::string task, std::string action, std::string label = {});
// What the journal keeps of a report.
JobRecord RecordOf(const JobReport& report);

using JobReporter = std::function<void(const JobReport&)>;

}  // namespace jig
