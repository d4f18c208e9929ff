#include "job/JobReport.h"

namespace jig {

JobReport NewJobReport(std::string task, std::string action, std::string label) {
  JobReport report;
  report.task = std::move(task);
  report.action = std::move(action);
  report.label = std::move(label);
  report.started = std::time(nullptr);
  report.steadyStart = std::chrono::steady_clock::now();
  return report;
}

JobRecord RecordOf(const JobReport& report) {
  JobRecord record = report;
  if (report.steadyStart != std::chrono::steady_clock::time_point{})
    record.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                              report.steadyStart)
                            .count();
  if (report.verifyFailed && report.difference) {
    record.firstDifference = static_cast<std::int64_t>(report.difference->firstAddress);
    record.differingBytes = static_cast<std::int64_t>(report.difference->count);
  }
  return record;
}

}  // namespace jig
