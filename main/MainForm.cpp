#include "main/MainForm.h"

#include "link/OpenProgrammer.h"
#include "main/FirmwareImage.h"
#include "main/Form1Controls.h"
#include "main/Form1Texts.h"
#include "main/ReadThread_UPD.h"

namespace jig {

namespace {
// The main window's record holds the longest boot-loader command, a 44-byte HEX line.
constexpr std::size_t kMainBufferSize = 64;
}  // namespace

MainForm::MainForm(D2xx& d2xx, TaskView& mainView, TaskView& updateView, std::span<const Task> tasks)
    : link_(d2xx, kMainBufferSize), mainView_(mainView), updateView_(updateView) {
  settings_.imageFolders = DefaultImageFolders();
  settings_.tasks = tasks;
}

MainForm::~MainForm() { waitForSwitch(); }

void MainForm::startSwitch(const std::string& selectorText) {
  // Nothing is opened without a task; the status line says what is missing.
  if (selectorText == kPleaseSelect) {
    mainView_.setCaption(form1::control::kStatus, form1::text::kPickTaskFirst);
    return;
  }
  // One switch at a time: a second Start would open the same programmer again.
  if (switching_.exchange(true)) return;
  if (worker_.joinable()) worker_.join();
  QueryProgrammerVersion(link_);
  if (link_.versionText == kVersionDeviceNotFound) {
    link_.close();
    switching_ = false;
    mainView_.errorBox("JIG not connected to the USB port!");
    mainView_.ended(false);
    return;
  }
  startedTask_ = selectorText;
  worker_ = std::jthread([this, selectorText] {
    SwitchContext context{link_, mainView_, updateView_, BootTimeoutFlag, settings_};
    lastOutcome_ = jig::ReadThread_UPD(context, selectorText);
    switching_ = false;
  });
}

std::string MainForm::Timer_RUNTimer() {
  mainView_.setTimer(form1::control::kTimerRun, false);
  const Task* task = FindTask(settings_.tasks, startedTask_);
  return task ? std::string(task->window) : std::string();
}

void MainForm::Timer_5SECTimer() {
  BootTimeoutFlag = 1;
  mainView_.setTimer(form1::control::kTimer5Sec, false);
}

void MainForm::waitForSwitch() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace jig
