#include "main/ReadThread_UPD.h"

#include "link/OpenProgrammer.h"
#include "main/Tasks.h"

namespace jig {

void ReadThread_UPD(SwitchContext& context, const std::string& taskText) {
  TaskView& view = context.updateView;
  view.showWindow("self", true);
  view.log("Current version of FW -> " + context.link.versionText);
  view.log("User select -> " + taskText);
  const Task* task = FindTask(taskText);
  if (context.link.versionText != kVersionErrorAnswer && task &&
      context.link.versionText.find(task->tag) != std::string::npos) {
    context.mainView.setTimer("Timer_RUN", true);
    view.showWindow("self", false);
    context.link.close();
    view.ended(true);
    return;
  }
  // The boot-loader upload is not part of this build yet.
  view.log("The programmer must run " + std::string(task ? task->tag : "?") + " for this task.");
  context.link.close();
  view.enable("SpeedButton_UPD_EXIT", true);
  view.ended(false);
}

}  // namespace jig
