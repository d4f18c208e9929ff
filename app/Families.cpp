#include "app/Families.h"

#include <vector>

#include "Edid/EdidFamily.h"
#include "Ite/IteFamily.h"
#include "Kb901x_form/Kb90Family.h"
#include "Keyboard/KeyboardFamily.h"
#include "Mec16xx/Mec16Family.h"
#include "Npce/NpceFamily.h"

namespace jig {

std::span<const Family* const> Families() {
  // A new family adds its row here, in the place its item takes in the selector.
  static const Family* const kFamilies[] = {&EdidFamily(),  &KeyboardFamily(), &Kb90Family(),
                                            &Mec16Family(), &IteFamily(),      &NpceFamily()};
  return kFamilies;
}

std::span<const Task> TaskList() {
  static const std::vector<Task> tasks = [] {
    std::vector<Task> list;
    for (const Family* family : Families()) list.push_back(family->task);
    return list;
  }();
  return tasks;
}

}  // namespace jig
