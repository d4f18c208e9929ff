#pragma once
// The road to the programmer the command line chose: the FTDI ports, the given ports, or
// one simulated programmer.
#include <memory>

#include "app/Options.h"
#include "link/D2xx.h"
#include "sim/SimD2xx.h"

namespace jig {

struct Backend {
  std::unique_ptr<D2xx> d2xx;
  sim::SimD2xx* sim = nullptr;  // set with --simulate
};

Backend MakeBackend(const Options& options);

}  // namespace jig
