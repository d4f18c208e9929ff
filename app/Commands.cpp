#include "app/Commands.h"

#include <algorithm>

#include "app/Families.h"
#include "cli/CompareCli.h"
#include "link/OpenProgrammer.h"
#include "link/ProgrammerLink.h"
#include "cli/HistoryCli.h"
#include "journal/JobJournal.h"
#include "journal/JobLabel.h"
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

constexpr CliAction kVersionActions[] = {{"", ""}};
constexpr CliAction kSwitchActions[] = {{"", "TASK"}};
const CliCommand kVersion{"version", kVersionActions, {}, "print the programmer's answer to the version query", "",
                          RunVersionCommand};
int RunSwitch(CliRequest& request) { return RunSwitchCommand(request, TaskList()); }
const CliCommand kSwitch{"switch", kSwitchActions, {},
                         "make the programmer run the firmware TASK needs (e.g. \"MEC1609\")", "", RunSwitch};

constexpr CliAction kHistoryActions[] = {{"", ""}, {"show", "ID"}};
// An action list that begins with a space lists the form without an action word.
constexpr CliFlag kHistoryFlags[] = {{"--task", "TASK", " ", ""},
                                     {"--since", "DATE", " ", ""},
                                     {"--failed", "", " ", ""},
                                     {"--json", "", " show", ""},
                                     {"--csv", "", " ", ""}};
const CliCommand kHistory{"history", kHistoryActions, kHistoryFlags,
                          "the jobs on record, newest first (--label TEXT keeps those whose label holds TEXT); "
                          "show ID: one job whole",
                          "  DATE is in UTC: YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ.\n", RunHistoryCommand};
constexpr CliAction kInfoActions[] = {{"", "FILE"}};
const CliCommand kInfo{"info", kInfoActions, {},
                       "a file's size, SHA-256 and content check, and the jobs that read or wrote these bytes", "",
                       RunInfoCommand};
constexpr CliAction kCompareActions[] = {{"", "A", "B"}};
const CliCommand kCompare{"compare", kCompareActions, {},
                          "list where dump files A and B differ (exit 0 identical, 1 different)", "",
                          RunCompareCommand};

constexpr std::string_view kEndOfOptions = "--";

// The answers every write shares, whatever the task: taken here, not by each command, and
// only where they are options (not after "--").
void TakeSharedAnswers(std::vector<std::string>& words, CliRequest& request) {
  const auto end = std::find(words.begin(), words.end(), kEndOfOptions);
  words.erase(std::remove_if(words.begin(), end,
                             [&request](const std::string& word) {
                               if (word == "--yes") request.yes = true;
                               else if (word == "--no-backup") request.backup = false;
                               else return false;
                               return true;
                             }),
              end);
}

}  // namespace

const std::vector<const CliCommand*>& CommandTable() {
  static const std::vector<const CliCommand*> table = [] {
    std::vector<const CliCommand*> list{&kVersion, &kSwitch, &kHistory, &kInfo, &kCompare};
    for (const Family* family : Families()) list.push_back(&family->command);
    return list;
  }();
  return table;
}

int RunCommand(D2xx& d2xx, const std::vector<std::string>& words, bool force, std::ostream& out,
               std::ostream& err) {
  return RunCommand(d2xx, words, SharedAnswers{force}, out, err);
}

int RunCommand(D2xx& d2xx, const std::vector<std::string>& given, const SharedAnswers& answers, std::ostream& out,
               std::ostream& err) {
  // "--" before the command word: every word is taken as it stands, the command's own
  // options too, so the marker goes back in after the command and its action.
  // A label that would not go on record (or would act on a terminal that lists it) stops
  // every command before it begins: the history's filter is the same text.
  if (const std::string problem = JobLabelProblem(answers.label); !problem.empty()) {
    err << "--label: " << problem << '\n';
    return kExitUsage;
  }
  std::vector<std::string> words = given;
  const bool allLiteral = !words.empty() && words[0] == kEndOfOptions;
  if (allLiteral) words.erase(words.begin());
  for (const CliCommand* command : CommandTable()) {
    if (words.empty() || words[0] != command->word) continue;
    CliRequest request{d2xx, "", "", {}, answers.force, out, err};
    request.yes = answers.yes;
    request.backup = answers.backup;
    request.label = answers.label;
    SetDefaultJobLabel(answers.label);
    request.command = command;
    // The action word comes first and is never one of the shared answers.
    const bool takesAction = !command->actions.empty() && !command->actions.front().name.empty();
    const std::size_t kept = std::min<std::size_t>(takesAction ? 2 : 1, words.size());
    const auto first = words.begin() + static_cast<std::ptrdiff_t>(kept);
    std::vector<std::string> rest(first, words.end());
    if (allLiteral) rest.insert(rest.begin(), std::string(kEndOfOptions));
    TakeSharedAnswers(rest, request);
    std::vector<std::string> own(words.begin() + 1, first);
    own.insert(own.end(), rest.begin(), rest.end());
    CliParse parse = ParseCliWords(*command, own);
    if (!parse.ok) return BadUsage(request, parse.error);
    request.action = std::move(parse.action);
    request.operand = std::move(parse.operand);
    request.secondOperand = std::move(parse.secondOperand);
    request.options = std::move(parse.options);
    return command->run(request);
  }
  err << "unknown command: " << (words.empty() ? "" : words[0]) << " (--help lists them)\n";
  return kExitUsage;
}

}  // namespace jig
