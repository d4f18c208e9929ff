#pragma once
// The task list: the selector's item texts are the tasks' keys everywhere.
#include <span>
#include <string_view>

namespace jig {

struct Task {
  std::string_view itemText;   // as the selector shows it
  std::string_view tag;        // firmware tag the task needs
  std::string_view window;     // the task window's class
  std::string_view imageFile;  // the firmware image that carries the tag
};

inline constexpr std::string_view kPleaseSelect = "Please select ";

// The task of that item text among tasks, or null ("Please select " and anything else). The
// program's list is made from its families (app/Families.h) and handed to the main window.
const Task* FindTask(std::span<const Task> tasks, std::string_view itemText);

}  // namespace jig
