#pragma once
// A journal entry as named text fields, in the order every reader shows them: the command
// line's JSON, CSV and single-job view, and the History window's columns.
#include <string>
#include <string_view>
#include <vector>

#include "journal/JobRecord.h"

namespace jig {

struct JournalField {
  const char* name;
  std::string value;
  bool number;  // written bare in JSON
};

std::vector<JournalField> JournalFields(const JournalEntry& entry);
// The value of the named field; empty when there is no such field.
std::string JournalFieldValue(const std::vector<JournalField>& fields, std::string_view name);
// A job's result in one word, as the tables show it.
inline const char* ResultText(const JobRecord& record) {
  const JobOutcome outcome = OutcomeOf(record);
  return outcome == JobOutcome::Ok ? "ok" : outcome == JobOutcome::Cancelled ? "cancelled" : "FAILED";
}

}  // namespace jig
