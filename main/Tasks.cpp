#include "main/Tasks.h"

namespace jig {

namespace {
// clang-format off
constexpr Task kTasks[] = {
    {"EEPROM lcd (EDID)", "V41",  "TEDID_form",        "Q27_ALLPCB_V41.hex"},
    {"Keyboard testing",  "V41",  "TKeyboard_testing", "Q27_ALLPCB_V41.hex"},
    {"KB9010/12/16/22",   "V41",  "TKB901X_forms",     "Q27_ALLPCB_V41.hex"},
    {"MEC1609",           "V42",  "TMEC16_Form",       "Q27_jtag.hex"},
    {"ITE chip",          "ITE",  "TITE_FORM",         "ITE_PROJ_Q27.hex"},
    {"NPCE288N/388N",     "NPCE", "TNPCE_FORM",        "Q27_NPCE288.hex"},
};
// clang-format on
}  // namespace

std::span<const Task> TaskList() { return kTasks; }

const Task* FindTask(std::string_view itemText) {
  for (const Task& task : kTasks)
    if (task.itemText == itemText) return &task;
  return nullptr;
}

}  // namespace jig
