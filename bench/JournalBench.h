#pragma once
// The job journal's costs: what a record adds to a job, and how fast the history answers
// over a bench's years of jobs.
namespace jig::bench {

// Prints its rows; false when a bar was missed (printed beside the row).
bool RunJournalBench();

}  // namespace jig::bench
