#pragma once
// Runs one benchmark row in a child process of its own, so that its peak memory
// (the child's maximum resident set) belongs to that row alone.
#include <functional>
#include <string>

namespace jig::bench {

struct Sample {
  double bytes = 0;
  double wall = 0;   // seconds, summed over the runs
  double model = 0;  // seconds at best, summed over the runs
  double cpu = 0;    // host CPU seconds (all threads), summed over the runs
  double modelAt16Ms = 0;  // the same exchange at best with the bridge's 16 ms latency timer
  double turnaround = 0;  // seconds the host took between an answer and its next write
  int runs = 0;
  bool ok = true;
};

struct Row {
  std::string name;
  Sample sample;
  double peakMiB = 0;
};

// The child runs body and hands its sample back through a pipe. A child that dies or
// says nothing yields a row marked failed.
Row RunIsolated(const std::string& name, const std::function<Sample()>& body);

// Only rows whose name holds this text run (empty: all); the others are left out.
void SetRowFilter(std::string text);
bool RowSelected(const std::string& name);

// Process CPU time so far, user and system, all threads.
double CpuSeconds();

}  // namespace jig::bench
