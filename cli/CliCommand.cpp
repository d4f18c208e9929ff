#include "cli/CliCommand.h"

#include "cli/ConsoleView.h"
#include "view/WordList.h"

namespace jig {

namespace {

const CliAction* FindAction(const CliCommand& command, std::string_view name) {
  for (const CliAction& action : command.actions)
    if (action.name == name) return &action;
  return nullptr;
}

const CliFlag* FindFlag(const CliCommand& command, std::string_view name) {
  for (const CliFlag& flag : command.flags)
    if (flag.name == name) return &flag;
  return nullptr;
}

bool TakesActionWord(const CliCommand& command) {
  return !command.actions.empty() && !command.actions.front().name.empty();
}

// Where the next word that is no flag goes: the action's operand, then its second one.
std::string* NextOperandSlot(const CliAction* action, CliParse& parse) {
  if (!action) return nullptr;
  if (parse.operand.empty()) return action->operand.empty() ? nullptr : &parse.operand;
  if (parse.secondOperand.empty() && !action->secondOperand.empty()) return &parse.secondOperand;
  return nullptr;
}

}  // namespace

std::string CliOptions::value(std::string_view flag) const {
  const auto it = given_.find(std::string(flag));
  return it == given_.end() ? std::string() : it->second;
}

CliParse ParseCliWords(const CliCommand& command, const std::vector<std::string>& words) {
  CliParse parse;
  std::size_t next = 0;
  const CliAction* action = nullptr;
  if (TakesActionWord(command)) {
    if (words.empty()) return parse;
    action = FindAction(command, words[0]);
    if (!action) return parse;
    parse.action = words[0];
    next = 1;
  } else if (!command.actions.empty()) {
    // A command whose first form has no action word may have others that do ("history",
    // "history show ID").
    action = words.empty() ? nullptr : FindAction(command, words[0]);
    if (action) {
      parse.action = words[0];
      next = 1;
    } else {
      action = &command.actions.front();
    }
  }
  bool options = true;  // until "--": after it every word is an operand
  for (std::size_t i = next; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (options && word == "--") {
      options = false;
      continue;
    }
    if (!options || !word.starts_with("--")) {
      std::string* slot = NextOperandSlot(action, parse);
      if (!slot) {
        parse.error = "unexpected: " + word;
        return parse;
      }
      *slot = word;
      continue;
    }
    const CliFlag* flag = FindFlag(command, word);
    if (!flag) {
      parse.error = "unexpected: " + word;
      return parse;
    }
    if (!ListsWord(flag->actions, parse.action)) {
      parse.error = word + " does not go with " + (parse.action.empty() ? std::string(command.word) : parse.action);
      return parse;
    }
    std::string value;
    if (!flag->value.empty()) {
      if (i + 1 >= words.size()) {
        parse.error = word + " needs a value";
        return parse;
      }
      value = words[++i];
    }
    parse.options.set(flag->name, std::move(value));
  }
  if (action && !action->operand.empty() && parse.operand.empty()) return parse;
  if (action && !action->secondOperand.empty() && parse.secondOperand.empty()) return parse;
  for (const CliFlag& flag : command.flags)
    if (ListsWord(flag.required, parse.action) && !parse.options.has(flag.name)) {
      parse.error = (parse.action.empty() ? std::string(command.word) : parse.action) + " needs " +
                    std::string(flag.name);
      return parse;
    }
  parse.ok = true;
  return parse;
}

std::vector<std::string> UsageLines(const CliCommand& command) {
  std::vector<std::string> lines;
  if (command.actions.empty()) return {std::string(command.word)};
  for (const CliAction& action : command.actions) {
    std::string line(command.word);
    if (!action.name.empty()) line += " " + std::string(action.name);
    if (!action.operand.empty()) line += " " + std::string(action.operand);
    if (!action.secondOperand.empty()) line += " " + std::string(action.secondOperand);
    for (const CliFlag& flag : command.flags) {
      if (!ListsWord(flag.actions, action.name)) continue;
      std::string text(flag.name);
      if (!flag.value.empty()) text += " " + std::string(flag.value);
      line += ListsWord(flag.required, action.name) ? " " + text : " [" + text + "]";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

void PrintUsage(const CliCommand& command, std::ostream& out) {
  const auto lines = UsageLines(command);
  for (std::size_t i = 0; i < lines.size(); ++i) out << (i == 0 ? "usage: " : "       ") << "holbrenik-jig " << lines[i] << '\n';
  out << command.notes;
}

int BadUsage(CliRequest& request, std::string_view reason) {
  if (!reason.empty()) request.err << reason << '\n';
  if (request.command) PrintUsage(*request.command, request.err);
  return kExitUsage;
}

}  // namespace jig
