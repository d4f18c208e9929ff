#pragma once
// What the main window does: Start, the two timers, and the firmware switch worker it
// starts. The Qt window TForm1 forwards its events here.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "main/ReadThread_UPD.h"
#include "main/Tasks.h"

namespace jig {

class MainForm {
 public:
  // mainView: the main window (timers, message box); updateView: the update window; tasks:
  // what the selector offers.
  MainForm(D2xx& d2xx, TaskView& mainView, TaskView& updateView, std::span<const Task> tasks);
  ~MainForm();

  // Start (the main window's MAIN_CONNECTClick). Returns at once; the switch worker reports
  // through the views.
  void startSwitch(const std::string& selectorText);
  // Timer_RUN fired: switches it off and names the window of the task fixed at Start,
  // whose firmware the switch made sure of (empty: none), whatever the selector shows now.
  std::string Timer_RUNTimer();
  // Timer_5SEC fired: the boot loader's time is up.
  void Timer_5SECTimer();

  bool switching() const { return switching_.load(); }
  // How the last switch ended (valid once it has ended).
  SwitchOutcome lastOutcome() const { return lastOutcome_.load(); }
  // Where images are looked for and the boot phase's limit; change before Start.
  SwitchSettings& settings() { return settings_; }
  // Waits for the switch worker to end (the command line, tests).
  void waitForSwitch();

  std::atomic<std::uint8_t> BootTimeoutFlag{0};

 private:
  ProgrammerLink link_;
  TaskView& mainView_;
  TaskView& updateView_;
  SwitchSettings settings_;
  std::string startedTask_;  // GUI thread only
  std::atomic<bool> switching_{false};
  std::atomic<SwitchOutcome> lastOutcome_{SwitchOutcome::Failed};
  std::jthread worker_;
};

}  // namespace jig
