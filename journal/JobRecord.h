#pragma once
// One finished job as the journal keeps it: what was done to which chip, with which file and
// backup, and how it ended. Times are UTC seconds; every text is as the job told it.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace jig {

struct JobRecord {
  std::string task;    // "kb90", "npce", "edid", "keyboard", "switch" ...
  std::string action;  // "read", "read twice", "write", "erase", "verify", "probe", "switch"
  std::time_t started = 0, ended = 0;
  std::int64_t durationMs = -1;  // measured on a steady clock; -1: from the two times above
  bool success = false;
  // Called off by the technician before it touched anything (a dialog or a question
  // declined, a stop before the chip was touched); success is false then too.
  bool cancelled = false;
  bool chipTouched = false;  // a write or erase sent its first command that changes the chip
  // The chip as the programmer reported it (ID bytes, version answers).
  std::string chipId, chipVersion;
  // The port the programmer was opened on and the firmware it ran.
  std::string port, firmware;
  std::string file;  // the dump saved, or the image written
  std::uint64_t fileSize = 0;
  std::string fileSha256;  // of what was saved or sent; empty when nothing was
  std::string backupPath, backupSha256;
  std::string verdict;  // the line the job ended with
  std::string label;    // the technician's ticket or board number, when given
  // A failed verify: where the chip first differs from the image, and by how many bytes.
  std::optional<std::int64_t> firstDifference, differingBytes;
  std::string programVersion;  // filled by the journal when empty
};

// How a job ended, as the journal keeps it beside success (which older readers know alone).
enum class JobOutcome { Ok, Failed, Cancelled };
inline JobOutcome OutcomeOf(const JobRecord& record) {
  return record.success ? JobOutcome::Ok : record.cancelled ? JobOutcome::Cancelled : JobOutcome::Failed;
}
// Its name in the journal, JSON and CSV.
inline const char* OutcomeName(JobOutcome outcome) {
  return outcome == JobOutcome::Ok ? "ok" : outcome == JobOutcome::Cancelled ? "cancelled" : "failed";
}

// A record as the journal gives it back.
struct JournalEntry {
  std::int64_t id = 0;
  JobRecord record;
  // The fields whose stored values are damaged (by their names in JournalFields): their
  // values in `record` are zero and mean nothing.
  std::vector<const char*> damaged;
};

}  // namespace jig
