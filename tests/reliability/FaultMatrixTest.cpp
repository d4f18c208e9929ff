// Every user action under every fault the simulator injects, at points taken from the
// action's own clean run: the action ends within its bound, the window is idle, the handle
// closed, a dump holds only whole blocks that came, and the user is told what failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "tests/reliability/MatrixRigs.h"

namespace jig::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Where in the action's traffic a counted fault strikes.
enum class Point { None, First, Middle };

struct FaultColumn {
  std::string name;
  std::string value;  // used as is when the point is None
  Point point = Point::None;
  bool garbles = false;  // the bytes that come are not the device's
};

// The programmer's own faults; every action meets each of them.
const std::vector<FaultColumn> kGenericFaults = {
    {"open-fails", "", Point::None},
    {"silence-after", "", Point::First},   // silence from the first byte of the action
    {"silence-after", "", Point::Middle},  // silence in the middle of the transfer
    {"unplug-after", "", Point::Middle},
    {"garbage-after", "", Point::First, true},
    {"garbage-after", "", Point::Middle, true},
};

// What the action does when nothing goes wrong: the yardstick of every faulted run.
struct CleanRun {
  milliseconds took{0};
  std::size_t before = 0;  // device bytes before the action (what prepare took)
  std::size_t after = 0;
  std::set<std::string> report;
  std::vector<std::uint8_t> dump;
};

constexpr auto kEndless = milliseconds(300);  // how long an endless action runs before the stop

bool Meaningful(const std::string& line) {
  if (line.rfind("Current time  ", 0) == 0 || line.rfind("Текущее время  ", 0) == 0) return false;
  return line.find_first_not_of(" \t\r\n") != std::string::npos;
}

// The last line that says something about the run (not a time, not a closing line).
std::string LastMeaningful(const std::vector<std::string>& lines, const std::vector<std::string>& closing) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (Meaningful(*it) && std::find(closing.begin(), closing.end(), *it) == closing.end()) return *it;
  return {};
}

const std::vector<Action>& Actions() {
  static const std::vector<Action> actions = AllActions();
  return actions;
}

sim::SimOptions OptionsFor(const Action& action) {
  sim::SimOptions options;
  options.image = action.image;
  return options;
}

const CleanRun& Clean(const Action& action) {
  static std::map<std::string, CleanRun> cache;
  auto found = cache.find(action.name);
  if (found != cache.end()) return found->second;
  CleanRun run;
  auto rig = action.make(OptionsFor(action));
  rig->prepare();
  const std::size_t endingsBefore = rig->endings().size();
  run.before = rig->programmer().deviceBytes().size();
  const auto start = Clock::now();
  rig->click();
  if (action.endless) {
    std::this_thread::sleep_for(kEndless);
    StopEndless(*rig);
  }
  const auto deadline = start + std::chrono::seconds(60);
  while (rig->endings().size() <= endingsBefore && Clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(5));
  run.took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  rig->join();
  EXPECT_EQ(rig->endings().size(), endingsBefore + 1) << action.name << ": the clean run did not end";
  if (!action.endless) {
    const auto lines = rig->report();
    EXPECT_TRUE(rig->endings().back()) << action.name << ": the clean run failed, saying: "
                                       << (lines.empty() ? std::string("nothing") : lines.back());
  }
  run.after = rig->programmer().deviceBytes().size();
  for (const auto& line : rig->report()) run.report.insert(line);
  if (!rig->dumpPath.empty()) run.dump = ReadFileBytes(rig->dumpPath);
  return cache.emplace(action.name, std::move(run)).first->second;
}

struct Case {
  std::size_t action;
  FaultColumn fault;
  std::string label;
};

std::string Label(const std::string& action, const FaultColumn& fault) {
  std::string label = action + "_" + fault.name;
  if (fault.point == Point::First) label += "_first";
  if (fault.point == Point::Middle) label += "_middle";
  if (!fault.value.empty()) label += "_" + fault.value;
  for (auto& c : label)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return label;
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (std::size_t a = 0; a < Actions().size(); ++a) {
    const Action& action = Actions()[a];
    for (const auto& fault : kGenericFaults) cases.push_back({a, fault, Label(action.name, fault)});
    for (const auto& [name, value] : action.ownFaults) {
      const FaultColumn fault{name, value, Point::None};
      cases.push_back({a, fault, Label(action.name, fault)});
    }
  }
  return cases;
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.label; }

class FaultMatrix : public ::testing::TestWithParam<Case> {};

TEST_P(FaultMatrix, EndsInBoundIdleClosedAndSaysWhatFailed) {
  const Case& c = GetParam();
  const Action& action = Actions()[c.action];
  const CleanRun& clean = Clean(action);
  ASSERT_GT(clean.after, clean.before) << "the clean run exchanged nothing";

  sim::SimOptions options = OptionsFor(action);
  std::string value = c.fault.value;
  if (c.fault.point == Point::First) value = std::to_string(clean.before);
  if (c.fault.point == Point::Middle) value = std::to_string(clean.before + (clean.after - clean.before) / 2);
  options.faults[c.fault.name] = value;
  SCOPED_TRACE(c.fault.name + "=" + value);

  auto rig = action.make(options);
  const auto source = rig->sourcePath.empty() ? std::vector<std::uint8_t>{} : ReadFileBytes(rig->sourcePath);
  rig->prepare();
  const std::size_t endingsBefore = rig->endings().size();
  const auto bound = clean.took + action.failureBound + std::chrono::seconds(1);

  const auto start = Clock::now();
  rig->click();
  bool endedAlone = true;
  while (rig->endings().size() <= endingsBefore && Clock::now() - start < bound)
    std::this_thread::sleep_for(milliseconds(5));
  if (rig->endings().size() <= endingsBefore && action.endless && c.fault.garbles) {
    // A scan that reads garbage keeps scanning (nothing in it is a key); the user stops it.
    endedAlone = false;
    StopEndless(*rig);
    const auto stopped = Clock::now();
    while (rig->endings().size() <= endingsBefore && Clock::now() - stopped < action.failureBound)
      std::this_thread::sleep_for(milliseconds(5));
  }
  const auto took = Clock::now() - start;
  ASSERT_GT(rig->endings().size(), endingsBefore) << "no end within " << bound.count() << " ms";
  rig->join();
  std::this_thread::sleep_for(milliseconds(20));  // a second ended() would come now

  const auto endings = rig->endings();
  EXPECT_EQ(endings.size(), endingsBefore + 1) << "ended() must come exactly once";
  EXPECT_LE(took, bound + (endedAlone ? milliseconds(0) : action.failureBound));
  // Garbled data in blocks that carry no check is data all the same: only then may a run succeed.
  const bool mayPass = c.fault.garbles && action.rawBlocks && c.fault.point == Point::Middle;
  if (endedAlone && !mayPass) {
    EXPECT_FALSE(endings.back()) << "a faulted run reported success";
  }

  EXPECT_TRUE(rig->idle()) << "the window's mode is not back to idle";
  EXPECT_EQ(rig->d2xx.openHandles(), 0u) << "the handle stayed open";
  for (const auto& button : action.buttons) {
    EXPECT_NE(rig->enabled(button), false) << button << " left disabled";
  }

  if (!rig->dumpPath.empty() && std::filesystem::exists(rig->dumpPath)) {
    const auto dump = ReadFileBytes(rig->dumpPath);
    EXPECT_EQ(dump.size() % action.block, 0u) << "the dump holds a part of a block: " << dump.size() << " bytes";
    EXPECT_LE(dump.size(), clean.dump.size());
    if (!c.fault.garbles && dump.size() <= clean.dump.size()) {
      EXPECT_TRUE(std::equal(dump.begin(), dump.end(), clean.dump.begin())) << "the dump holds bytes that never came";
    }
  }
  if (!rig->sourcePath.empty()) {
    EXPECT_EQ(ReadFileBytes(rig->sourcePath), source) << "the source file changed";
  }

  if (endedAlone && !(mayPass && endings.back())) {
    const std::string last = LastMeaningful(rig->report(), action.closingLines);
    EXPECT_FALSE(last.empty()) << "the user was told nothing";
    const auto report = rig->report();
    const bool toldSomethingNew = std::any_of(report.begin(), report.end(), [&](const std::string& line) {
      return Meaningful(line) && clean.report.count(line) == 0;
    });
    EXPECT_TRUE(toldSomethingNew) << "nothing in the log says what went wrong";
    // The probe logs a lost answer and reads the rest: its loss line need not be the last.
    if (!action.goesOnAfterLoss) {
      EXPECT_EQ(clean.report.count(last), 0u) << "the last line is one a clean run shows too: " << last;
    }
  }
  EXPECT_TRUE(rig->exitWorks()) << "the window cannot be left";
}

INSTANTIATE_TEST_SUITE_P(AllActions, FaultMatrix, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& param) { return param.param.label; });

}  // namespace
}  // namespace jig::test
