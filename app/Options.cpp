#include "app/Options.h"

#include <sstream>

#include "app/Commands.h"
#include "sim/SimImages.h"
#include "sim/SimProgrammer.h"

namespace jig {

Options ParseOptions(const std::vector<std::string>& arguments) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--") {
      // The end of the options: what follows is taken as it stands (a file named "--force").
      // The command's own parser is told where its options end.
      options.words.push_back(word);
      options.words.insert(options.words.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           arguments.end());
      break;
    }
    auto value = [&](std::string& into) {
      if (i + 1 >= arguments.size()) {
        options.error = word + " needs a value";
        return false;
      }
      into = arguments[++i];
      return true;
    };
    std::string text;
    if (word == "--simulate") {
      options.simulate = true;
    } else if (word == "--port") {
      if (!value(text)) break;
      options.ports.push_back(text);
    } else if (word == "--sim-image") {
      if (!value(options.sim.image)) break;
      if (!sim::FindSimImage(options.sim.image)) options.error = "unknown image: " + options.sim.image;
    } else if (word == "--sim-state") {
      if (!value(options.sim.stateDir)) break;
    } else if (word == "--sim-fault") {
      if (!value(text)) break;
      if (!sim::AddFault(options.sim, text, options.error)) break;
    } else if (word == "--sim-wire") {
      options.sim.wireTime = true;
    } else if (word == "--force") {
      options.force = true;
    } else if (word == "--yes") {
      options.yes = true;
    } else if (word == "--no-backup") {
      options.backup = false;
    } else if (word == "--label") {
      if (!value(options.label)) break;
    } else if (word == "--help" || word == "-h") {
      options.help = true;
    } else {
      options.words.push_back(word);  // a command's words and its own options
    }
  }
  if (options.simulate && !options.ports.empty() && options.error.empty())
    options.error = "--simulate and --port exclude each other";
  return options;
}

std::string UsageText() {
  std::ostringstream text;
  text << "Usage: holbrenik-jig [OPTIONS] [TASK ACTION [FILE] [COMMAND OPTIONS]]\n"
          "\n"
          "Without a command the windows open. With one, the same operation runs headless:\n"
          "the window's log lines go to standard output, error boxes to standard error;\n"
          "exit status 0 on success, 1 on failure, 2 on bad usage, 130 after Ctrl-C.\n"
          "\n"
          "Options:\n"
          "  --simulate              attach one simulated programmer (no hardware needed)\n"
          "  --port PATH             use this serial device as the programmer (repeatable;\n"
          "                          replaces the search for FTDI adapters)\n"
          "  --force                 replace an existing output file\n"
          "  --yes                   answer Yes to the questions before a write (a size that is not\n"
          "                          the chip's, a blank image, an EDID that does not look right)\n"
          "  --no-backup             no backup read of the chip before a write\n"
          "  --label TEXT            the job's label in the journal (a ticket or board number);\n"
          "                          with history, show only the jobs whose label holds TEXT\n"
          "  --                      the end of the options: the words after it are taken as they\n"
          "                          stand (a FILE that begins with a dash)\n"
          "  --sim-image TAG         image the simulated programmer runs at start:\n"
          "                          "
       << sim::SimImageTags() << " (default " << sim::kDefaultImage << ")\n"
          "  --sim-state DIR         keep the simulated programmer's image and chips in DIR\n"
          "  --sim-wire              simulated bytes take their time on the wire\n"
          "  --sim-fault NAME[=VALUE]  make the simulated programmer misbehave (repeatable)\n"
          "  --help                  this text\n"
          "\n"
          "Commands:\n";
  for (const CliCommand* command : CommandTable()) {
    for (const std::string& line : UsageLines(*command)) text << "  " << line << '\n';
    text << "      " << command->help << '\n';
  }
  text << "\nSimulator faults:\n";
  for (const auto& fault : sim::AllFaultNames()) text << "  " << fault.name << "\n      " << fault.help << '\n';
  return text.str();
}

}  // namespace jig
