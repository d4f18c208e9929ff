#pragma once
// What the ITE window's controls do: the motherboard base and pin assignment, APPLY, the
// link check, and the read and write with their worker thread. Written against TaskView,
// so the window, the command line and the tests drive the same code.
#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "Ite/IteProtocol.h"
#include "Ite/IteSequences.h"
#include "Ite/MbConnectionIte.h"
#include "link/DumpFile.h"
#include "link/ProgrammerLink.h"
#include "link/TaskView.h"

namespace jig {

enum class IteMode { NONE, READ_ITE, WRITE_ITE_step_one };
std::string_view ModeText(IteMode mode);

class IteOperations {
 public:
  IteOperations(D2xx& d2xx, TaskView& view, ite::IteBounds bounds = {});
  ~IteOperations();
  IteOperations(const IteOperations&) = delete;
  IteOperations& operator=(const IteOperations&) = delete;

  // The base as read at the window's creation; entry 0 is the "select" row.
  void FormCreate(ite::IteBase base);
  const ite::IteBase& base() const { return base_; }

  void ITE_ComboBox_MB_SWITCHSelect(int index);
  // The user changed the check mark; checked = straight cable.
  void ITE_CheckBoxClick(bool checked);
  // A box set by hand (0 = "NC").
  void setPin(int signal, int pin);
  const ite::PinAssignment& pins() const { return pins_; }
  bool checkBoxChecked() const { return checked_; }
  bool checkBoxEnabled() const { return checkEnabled_; }

  void ITE_SETUP_BitBtnClick();
  void ITE_CHECK_CON_BitBtnClick();
  void ITE_READ_BitBtnClick();
  void ITE_WRITE_BitBtnClick();
  void ITE_EXIT_BitBtnClick();

  // Waits for a running worker to end (the command line, tests, the window's end).
  void joinWorker();

  // The window's only lock: "NONE" when idle.
  std::atomic<IteMode> Mode_ITE{IteMode::NONE};

 private:
  void log(std::string_view line);
  void logTimeStamp();
  void logNoAnswer(std::uint32_t ms, std::string_view command);
  void logFailure(std::string_view code);
  void showPins(const ite::PinAssignment& before);
  bool selectedLine(std::string& line) const;
  // Runs register writes in order; logs the failing step's lines and returns false.
  bool runRegisterSteps(std::span<const ite::RegStep> steps);

  // The click's failure end: 4F, drain, close; mode back; buttons; ended.
  void endClickFailed(bool sendEnd, bool enableRead, bool enableWrite);
  void finish(std::uint8_t endByte);
  void endWorker(bool success);

  void threadMain(std::stop_token stop);
  void readBody(std::stop_token stop);
  void writeBody(std::stop_token stop);

  D2xx& d2xx_;
  TaskView& view_;
  ite::IteBounds bounds_;
  ite::IteBase base_;
  int entry_ = 0;
  ite::PinAssignment pins_{};
  bool checked_ = true;
  bool checkEnabled_ = false;

  ProgrammerLink link_;
  std::optional<DumpFile> file_;
  std::jthread ReadThread_ITE;
};

}  // namespace jig
