#pragma once
// The four flash windows (KB90xx, NPCE, MEC16xx, ITE) behind one face, for the suites that
// ask the same of each: a read once or twice, a write with its backup, a stop, and what the
// window leaves behind. Each face sits on its task's own bench.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "job/FlashJob.h"
#include "tests/support/TaskBench.h"

namespace jig::test {

using Data = std::vector<std::uint8_t>;

class FlashTask {
 public:
  virtual ~FlashTask() = default;
  virtual TaskBench& bench() = 0;
  virtual void setFlash(const Data& bytes) = 0;
  virtual Data flash() = 0;
  // Answers the file dialog with path and clicks the read (twice: with its second read).
  virtual void read(const std::string& path, bool twice) = 0;
  // Answers the file dialog with path and clicks the write, with or without the backup.
  virtual void write(const std::string& path, bool backup) = 0;
  virtual void stop() = 0;
  // Waits for the end of the click and for its worker.
  virtual bool waitEnded(std::chrono::seconds bound) = 0;
  // The endings of the clicks since the task was set up (a board choice is set-up).
  virtual std::vector<bool> endings() { return bench().view.endings(); }
  // Idle, nothing open, every button and check box back, one ending since the click.
  virtual void expectIdle() = 0;
  // What the task checks after two whole reads of the chip.
  virtual void expectAfterTwoReads() {}
  // The shared flash job the task runs on; none for a task that keeps its own.
  virtual FlashJob* job() { return nullptr; }
};

struct FlashTaskRow {
  // A second read that fails by the fault at a point inside it.
  struct Failure {
    std::string fault;
    std::string lineStart;     // the failure line
    std::string countedStart;  // logged once after the second read starts
    bool endMarkSent;          // the read's end ('O') goes out
    bool stampAfter;           // a time stamp follows the failure line
  };

  std::string name;
  std::function<std::unique_ptr<FlashTask>(Faults)> make;
  std::size_t flashSize;
  Data oneRead;             // everything the host sends for one read, its open included
  std::string unstable;     // the fault that makes the first block differ between reads
  // What the log says.
  std::string readDone;     // at the end of each read
  std::string again;        // before the second read
  std::string match;        // both reads match
  std::string differ;       // the reads of the unstable chip differ: the last line
  std::string realData;     // the verdict on a dump of real content
  bool verdictAfterMatch;   // the verdict comes after the match line (else before it)
  std::vector<Failure> secondReadFailures;
};

void PrintTo(const FlashTaskRow& row, std::ostream* os);

// The four tasks, and the two whose windows share the file handling of a write.
std::vector<FlashTaskRow> FlashTasks();

}  // namespace jig::test
