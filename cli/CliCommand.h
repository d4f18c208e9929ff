#pragma once
// A command of the command line as one row: its actions, the operand each takes and the
// flags each allows. One parser reads every command by its row, and the usage text is
// printed from the same row, so the two cannot drift apart.
#include <map>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jig {

struct CliRequest;

struct CliAction {
  std::string_view name;     // "read"; empty: the command takes no action word
  std::string_view operand;  // "FILE", "TASK"; empty: none
  std::string_view secondOperand;  // a second one after it ("compare A B"); empty: none
};

struct CliFlag {
  std::string_view name;      // "--board"
  std::string_view value;     // what follows it ("N", "FILE"); empty: a plain switch
  std::string_view actions;   // the actions that take it, separated by spaces
  std::string_view required;  // of those, the ones that cannot do without it
};

struct CliCommand {
  std::string_view word;  // first word on the command line
  std::span<const CliAction> actions;
  std::span<const CliFlag> flags;
  std::string_view help;   // one line for --help
  std::string_view notes;  // lines after the usage, each starting with two spaces
  int (*run)(CliRequest& request);
};

// What the parser found: the action's operand and the flags given, with their values.
class CliOptions {
 public:
  bool has(std::string_view flag) const { return given_.contains(std::string(flag)); }
  // The flag's value (the last one given); empty when it is absent.
  std::string value(std::string_view flag) const;
  void set(std::string_view flag, std::string value) { given_[std::string(flag)] = std::move(value); }

 private:
  std::map<std::string, std::string> given_;
};

struct CliParse {
  std::string action;
  std::string operand;
  std::string secondOperand;
  CliOptions options;
  std::string error;  // non-empty: bad usage, said in one line ("" for a bare usage)
  bool ok = false;
};

// Reads words (what follows the command word) by the command's row.
CliParse ParseCliWords(const CliCommand& command, const std::vector<std::string>& words);
// One line per action: "kb90 read FILE [--read-twice]", without the program's name.
std::vector<std::string> UsageLines(const CliCommand& command);
// "usage: holbrenik-jig ..." with every action, then the command's notes.
void PrintUsage(const CliCommand& command, std::ostream& out);

}  // namespace jig
