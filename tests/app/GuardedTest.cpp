// The command line's last line of defence: an escaped error is one line on stderr and
// exit status 1; a command that returns is left alone.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "app/Guarded.h"
#include "cli/ConsoleView.h"

namespace jig {
namespace {

TEST(Guarded, EscapedErrorsEndWithOneLineAndStatus1) {
  struct Case {
    std::function<int()> run;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {[] { return kExitUsage; }, kExitUsage, ""},
      {[]() -> int { throw std::runtime_error("disk gone"); }, kExitFailed, "holbrenik-jig: disk gone\n"},
      {[]() -> int { throw 42; }, kExitFailed, "holbrenik-jig: Unknown error\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    EXPECT_EQ(RunGuarded(c.run, err), c.status);
    EXPECT_EQ(err.str(), c.err);
  }
}

}  // namespace
}  // namespace jig
