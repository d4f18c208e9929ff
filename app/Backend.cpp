#include "app/Backend.h"

#include "link/PortD2xx.h"

namespace jig {

Backend MakeBackend(const Options& options) {
  Backend backend;
  if (options.simulate) {
    auto sim = std::make_unique<sim::SimD2xx>();
    sim::SimOptions simOptions = options.sim;
    simOptions.transcript = false;  // nobody reads it, and it would grow with every operation
    sim->attach(std::move(simOptions));
    backend.sim = sim.get();
    backend.d2xx = std::move(sim);
  } else {
    // A command keeps the port from its first open to its end (firmware check, operation,
    // verify, read twice); the windows take it for each operation.
    backend.d2xx = MakePortD2xx(options.ports, !options.words.empty());
  }
  return backend;
}

}  // namespace jig
