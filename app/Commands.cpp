#include "app/Commands.h"

#include "Edid/EdidCli.h"
#include "Ite/IteCli.h"
#include "Kb901x_form/Kb90Cli.h"
#include "Keyboard/KeyboardCli.h"
#include "Mec16xx/Mec16Cli.h"
#include "Npce/NpceCli.h"
#include "link/OpenProgrammer.h"
#include "link/ProgrammerLink.h"
#include "main/SwitchCli.h"

namespace jig {

namespace {

int RunVersionCommand(CliRequest& request) {
  ProgrammerLink link(request.d2xx, 64);
  const std::string text = QueryProgrammerVersion(link);
  link.close();
  request.out << text << '\n';
  if (!link.refusalLine.empty() && text == kVersionErrorAnswer) request.err << link.refusalLine << '\n';
  const bool answered = text != kVersionDeviceNotFound && text != kVersionErrorAnswer;
  return answered ? kExitOk : kExitFailed;
}

// clang-format off
constexpr Command kCommands[] = {
    {"version",  "",                  "version",                        "print the programmer's answer to the version query", RunVersionCommand},
    {"switch",   "",                  "switch TASK",                    "make the programmer run the firmware TASK needs (e.g. \"MEC1609\")", RunSwitchCommand},
    {"edid",     "EEPROM lcd (EDID)", "edid read FILE | write FILE [--yes] | check FILE | fix FILE", "read or write an LCD panel's EDID EEPROM (--yes writes a wrong checksum); check or fix a file's checksums offline", RunEdidCommand},
    {"keyboard", "Keyboard testing",  "keyboard scan [--seconds N] [--no-sound]", "scan a keyboard matrix and print each closed pair", RunKeyboardCommand},
    {"kb90",     "KB9010/12/16/22",   "kb90 read FILE [--read-twice] | write FILE | boards | wiring", "read or write (and verify) an ENE KB90xx flash; the wiring aid", RunKb90Command},
    {"mec16",    "MEC1609",           "mec16 probe | read FILE [--info] [--read-twice] | erase [--info] | write FILE [--no-verify] | help", "MEC16xx over JTAG: probe, read (MAIN, --info adds INFO), erase, write MAIN and read it back", RunMec16Command},
    {"ite",      "ITE chip",          "ite boards | apply | check | read FILE [--read-twice] | write FILE [--no-verify]  (--board N | --pins ...)", "ITE controllers: pin assignment, link check, read, write and read back", RunIteCommand},
    {"npce",     "NPCE288N/388N",     "npce read FILE [--read-twice] | npce write FILE", "Nuvoton NPCE288N/388N", RunNpceCommand},
};
// clang-format on

}  // namespace

std::span<const Command> CommandTable() { return kCommands; }

int RunCommand(D2xx& d2xx, const std::vector<std::string>& words, bool force, std::ostream& out,
               std::ostream& err) {
  for (const Command& command : kCommands) {
    if (words.empty() || words[0] != command.word) continue;
    CliRequest request{d2xx, "", {}, force, out, err};
    std::size_t next = 1;
    if (!command.task.empty()) {
      if (words.size() < 2) {
        err << "usage: holbrenik-jig " << command.usage << '\n';
        return kExitUsage;
      }
      request.action = words[1];
      next = 2;
    }
    // The answers every write shares, whatever the task: taken here, not by each command.
    for (auto word = words.begin() + static_cast<std::ptrdiff_t>(next); word != words.end(); ++word) {
      if (*word == "--yes") request.yes = true;
      else if (*word == "--no-backup") request.backup = false;
      else request.args.push_back(*word);
    }
    return command.run(request);
  }
  err << "unknown command: " << (words.empty() ? "" : words[0]) << " (--help lists them)\n";
  return kExitUsage;
}

}  // namespace jig
