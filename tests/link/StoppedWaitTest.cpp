// A long receive wait that a stop request ends: at once on the backends that can be woken
// (the simulator, the termios port), within a look of kStopLookMs on the others; without a
// request it runs to its bound as before.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "link/Bounds.h"
#include "link/SerialD2xx.h"
#include "sim/SimD2xx.h"
#include "tests/support/SimProcess.h"

namespace jig {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A backend that cannot be woken: it waits as the interface does by default.
class SlicedSim : public sim::SimD2xx {
 public:
  FT_STATUS WaitForRxOrStop(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available,
                            const std::stop_token& stop) override {
    return D2xx::WaitForRxOrStop(handle, count, timeoutMs, available, stop);
  }
};

// A silent programmer, open, behind one backend.
struct Silent {
  virtual ~Silent() = default;
  virtual D2xx& d2xx() = 0;
  FT_HANDLE handle = 0;
};

template <class Sim>
struct SilentSim : Silent {
  SilentSim() {
    sim::SimOptions options;
    options.faults["no-answer"] = "";
    backend.attach(options);
    DWORD count = 0;
    backend.FT_CreateDeviceInfoList(&count);
    EXPECT_EQ(backend.FT_Open(0, &handle), FT_OK);
  }
  D2xx& d2xx() override { return backend; }
  Sim backend;
};

struct SilentPort : Silent {
  SilentPort() : backend(std::vector<std::string>{program.path()}) {
    DWORD count = 0;
    backend.FT_CreateDeviceInfoList(&count);
    EXPECT_EQ(backend.FT_Open(0, &handle), FT_OK);
  }
  D2xx& d2xx() override { return backend; }
  test::SimProcess program;  // asked nothing, it says nothing
  SerialD2xx backend;
};

struct Backend {
  const char* name;
  std::function<std::unique_ptr<Silent>()> make;
  DWORD wakeMs;  // how late a stop may be seen
};

// When the stop comes: -1 never, 0 before the wait, else ms into it.
struct When {
  const char* name;
  int stopAfterMs;
};

constexpr DWORD kLongMs = 10000;   // a chip erase's order
constexpr DWORD kShortMs = 150;    // a bound the no-stop row waits out
constexpr DWORD kSchedulingMs = 400;  // a sanitizer's slow thread start and wake-up

class StoppedWait : public ::testing::TestWithParam<std::tuple<Backend, When>> {};

TEST_P(StoppedWait, EndsAtTheStopOrAtItsBound) {
  const auto& [backend, when] = GetParam();
  const auto silent = backend.make();
  ASSERT_NE(silent->handle, 0u);
  std::stop_source source;
  if (when.stopAfterMs == 0) source.request_stop();
  // From before the stopper starts: its sleep is inside what is measured.
  const auto started = Clock::now();
  std::jthread stopper;
  if (when.stopAfterMs > 0)
    stopper = std::jthread([&source, after = when.stopAfterMs] {
      std::this_thread::sleep_for(milliseconds(after));
      source.request_stop();
    });
  const DWORD bound = when.stopAfterMs < 0 ? kShortMs : kLongMs;
  DWORD available = 9;
  const FT_STATUS status = silent->d2xx().WaitForRxOrStop(silent->handle, 1, bound, &available, source.get_token());
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - started);
  EXPECT_EQ(available, 0u);
  if (when.stopAfterMs < 0) {
    EXPECT_EQ(status, FT_WAIT_TIMEOUT);
    EXPECT_GE(took, milliseconds(kShortMs));
  } else {
    EXPECT_EQ(status, FT_WAIT_STOPPED);
    EXPECT_GE(took, milliseconds(when.stopAfterMs));
    EXPECT_LT(took, milliseconds(when.stopAfterMs + backend.wakeMs + kSchedulingMs)) << took.count() << " ms";
  }
  silent->d2xx().FT_Close(silent->handle);
}

const Backend kBackends[] = {
    {"Simulator", [] { return std::unique_ptr<Silent>(new SilentSim<sim::SimD2xx>); }, 0},
    {"TermiosPort", [] { return std::unique_ptr<Silent>(new SilentPort); }, 0},
    {"NotWakeable", [] { return std::unique_ptr<Silent>(new SilentSim<SlicedSim>); }, limits::kStopLookMs},
};
const When kWhens[] = {{"StopBefore", 0}, {"StopDuring", 100}, {"NoStop", -1}};

INSTANTIATE_TEST_SUITE_P(Backends, StoppedWait, ::testing::Combine(::testing::ValuesIn(kBackends), ::testing::ValuesIn(kWhens)),
                         [](const auto& row) {
                           return std::string(std::get<0>(row.param).name) + "_" + std::get<1>(row.param).name;
                         });

}  // namespace
}  // namespace jig
