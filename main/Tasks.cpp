#include "main/Tasks.h"

namespace jig {

const Task* FindTask(std::string_view itemText) {
  for (const Task& task : TaskList())
    if (task.itemText == itemText) return &task;
  return nullptr;
}

}  // namespace jig
