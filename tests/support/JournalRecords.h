#pragma once
// A finished job as a test records it in a journal: the fields a history shows and filters
// by, with a verdict that says how it ended.
#include <ctime>
#include <string>

#include "journal/JobRecord.h"

namespace jig::test {

inline JobRecord Record(std::string task, std::string action, std::time_t started, bool success,
                        std::string label = {}) {
  JobRecord r;
  r.task = std::move(task);
  r.action = std::move(action);
  r.started = started;
  r.ended = started + 3;
  r.success = success;
  r.label = std::move(label);
  r.verdict = success ? "RESULT: fine." : "RESULT: FAILED.";
  return r;
}

}  // namespace jig::test
