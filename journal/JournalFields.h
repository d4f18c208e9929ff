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

// What a damaged field shows in every reader, in place of a value that would look like one.
inline constexpr const char* kDamagedValue = "(damaged)";

// A damaged field is text (kDamagedValue) whatever its kind.
std::vector<JournalField> JournalFields(const JournalEntry& entry);
bool IsDamaged(const JournalEntry& entry, std::string_view field);
// The value of the named field; empty when there is no such field.
std::string JournalFieldValue(const std::vector<JournalField>& fields, std::string_view name);
// A job's result in one word, as the tables show it.
inline const char* ResultText(const JobRecord& record) {
  const JobOutcome outcome = OutcomeOf(record);
  return outcome == JobOutcome::Ok ? "ok" : outcome == JobOutcome::Cancelled ? "cancelled" : "FAILED";
}

}  // namespace jig
