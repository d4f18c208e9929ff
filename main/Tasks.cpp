#include "main/Tasks.h"

namespace jig {

const Task* FindTask(std::span<const Task> tasks, std::string_view itemText) {
  for (const Task& task : tasks)
    if (task.itemText == itemText) return &task;
  return nullptr;
}

}  // namespace jig
