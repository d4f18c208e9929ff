#pragma once
// The firmware switch worker: makes the programmer run the image the task needs, then
// arms Timer_RUN so that the main window opens the task window.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "journal/JobRecord.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "link/Bounds.h"
#include "main/Tasks.h"

namespace jig {

struct SwitchSettings {
  // Where the image files are looked for, in order.
  std::vector<std::filesystem::path> imageFolders;
  // The boot phase's limit. Timer_5SEC counts the same time in the window; the worker
  // keeps its own deadline as well, so the limit holds where no timer runs.
  std::chrono::milliseconds bootWindow{limits::kBootWindowMs};
  // The tasks the selector offers: the image and the tag each needs.
  std::span<const Task> tasks;
};

enum class SwitchOutcome { Fits, Switched, Failed };

struct SwitchContext {
  ProgrammerLink& link;          // open as Start's query left it; closed on every ending
  TaskView& mainView;            // Timer_RUN, Timer_5SEC
  TaskView& updateView;          // Memo_UPDATE, CGauge_UPD, SpeedButton_UPD_EXIT
  std::atomic<std::uint8_t>& BootTimeoutFlag;
  const SwitchSettings& settings;
  JobRecord record{};  // the switch as the journal keeps it, from its start
};

// Runs the whole switch on the calling thread; ends with updateView.ended(success).
SwitchOutcome ReadThread_UPD(SwitchContext& context, const std::string& task);

}  // namespace jig
