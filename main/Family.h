#pragma once
// A chip family's registration row: the task the selector offers, the way its window
// opens the programmer, and its command line. Each family keeps its row in its own folder;
// app/Families.cpp lists them, and the task list and the commands are made from that list.
#include "cli/CliCommand.h"
#include "link/OpenProfiles.h"
#include "main/Tasks.h"

namespace jig {

struct Family {
  Task task;
  const OpenProfile& profile;
  CliCommand command;
};

}  // namespace jig
