#pragma once
// The firmware switch worker: makes the programmer run the image the task needs, then
// arms Timer_RUN so that the main window opens the task window.
#include <atomic>
#include <cstdint>
#include <string>

#include "link/ProgrammerLink.h"
#include "link/TaskView.h"

namespace jig {

struct SwitchContext {
  ProgrammerLink& link;          // open as Start's query left it; closed on every ending
  TaskView& mainView;            // Timer_RUN, Timer_5SEC
  TaskView& updateView;          // Memo_UPDATE, CGauge_UPD, SpeedButton_UPD_EXIT
  std::atomic<std::uint8_t>& BootTimeoutFlag;
};

// Runs the whole switch on the calling thread; ends with updateView.ended(success).
void ReadThread_UPD(SwitchContext& context, const std::string& task);

}  // namespace jig
