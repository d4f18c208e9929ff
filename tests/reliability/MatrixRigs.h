#pragma once
// One user action of one window on a simulated bench, driven through its operations class
// with short bounds: what the fault matrix runs for every action and every fault.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimD2xx.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

class Rig {
 public:
  virtual ~Rig() = default;

  // What has to happen before the action (the ITE pins); not under test.
  virtual void prepare() {}
  // The click that starts the action.
  virtual void click() = 0;
  // Mode back to its idle value.
  virtual bool idle() const = 0;
  // Waits for a worker that has called ended (or is about to).
  virtual void join() {}
  // The window's exit; true when it did what an exit does.
  virtual bool exitWorks() {
    exitClick();
    return view.visible("self") == false && view.visible("Form1") == true;
  }
  // Every ended() the action's views saw.
  virtual std::vector<bool> endings() const { return view.endings(); }
  // What the user is told, in order: the log, then error boxes.
  virtual std::vector<std::string> report() const {
    auto lines = view.allLines();
    for (auto& box : view.errorBoxes()) lines.push_back(box);
    return lines;
  }
  virtual std::optional<bool> enabled(const std::string& control) const { return view.enabled(control); }

  sim::SimProgrammer& programmer() { return *programmer_; }
  // The dump the action writes (empty: none) and the file a write reads (empty: none).
  std::string dumpPath, sourcePath;

  sim::SimD2xx d2xx;
  RecordingView view;
  TempDir dir;

 protected:
  virtual void exitClick() = 0;
  // The file a write reads, made in the rig's folder.
  void makeSource(const std::string& name, const std::vector<std::uint8_t>& image) {
    sourcePath = dir.file(name);
    WriteFileBytes(sourcePath, image);
  }
  sim::SimProgrammer* programmer_ = nullptr;
};

// The row of one action in the matrix.
struct Action {
  std::string name;
  std::function<std::unique_ptr<Rig>(sim::SimOptions)> make;
  std::string image;                        // what the programmer runs at power-on
  std::size_t block = 0;                    // a dump holds whole blocks of this size
  std::vector<std::string> buttons;         // enabled again at the end
  std::vector<std::pair<std::string, std::string>> ownFaults;  // the task's faults
  std::chrono::milliseconds failureBound;   // the longest chain of waits a failure passes
  bool endless = false;                     // runs until the user stops it
  // The data blocks carry no status or sum: bytes garbled inside them cannot be told.
  bool rawBlocks = false;
  // A lost answer is logged and the action reads on (the probe): the loss line is not last.
  bool goesOnAfterLoss = false;
  // Lines logged on every ending, after what the operation says about itself.
  std::vector<std::string> closingLines;
};

std::vector<Action> AllActions();
// Stops an action that runs until the user stops it (the keyboard scan).
void StopEndless(Rig& rig);

}  // namespace jig::test
