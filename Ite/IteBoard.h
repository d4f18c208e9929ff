#pragma once
// The ITE window's board part: the motherboard base read when the window is made, the board
// chosen from it, the pin assignment that board yields and its reversed-cable mirror, shown
// in the pin boxes. Nothing here talks to the programmer; APPLY sends what is here.
#include <string>

#include "Ite/MbConnectionIte.h"
#include "view/TaskView.h"

namespace jig {

class IteBoard {
 public:
  explicit IteBoard(TaskView& view) : view_(view) {}

  // The base as read at the window's creation; entry 0 is the "select" row.
  void FormCreate(ite::IteBase base);
  const ite::IteBase& base() const { return base_; }

  void ITE_ComboBox_MB_SWITCHSelect(int index);
  // The board of an earlier run chosen again as the window opens, with a reversed cable
  // when straight is false: only when its line still yields every pin, and the reversed
  // cable only when the line's connector mirrors them (else the cable stays straight).
  // Unlike a choice by hand it logs nothing, ends nothing and asks nothing; like one, it
  // sends nothing: the pins still go to the programmer with APPLY. False: nothing changed.
  bool restore(int index, bool straight);
  // The user changed the check mark (ITE_CheckBoxClick); checked = straight cable.
  void setStraightCable(bool checked);
  // A box set by hand (0 = "NC").
  void setPin(int signal, int pin);
  const ite::PinAssignment& pins() const { return pins_; }
  bool checkBoxChecked() const { return checked_; }
  bool checkBoxEnabled() const { return checkEnabled_; }

 private:
  void showPins(const ite::PinAssignment& before);
  bool selectedLine(std::string& line) const;

  TaskView& view_;
  ite::IteBase base_;
  int entry_ = 0;
  ite::PinAssignment pins_{};
  bool checked_ = true;
  bool checkEnabled_ = false;
};

}  // namespace jig
