#include "app/Backend.h"

#include "link/SerialD2xx.h"

namespace jig {

Backend MakeBackend(const Options& options) {
  Backend backend;
  if (options.simulate) {
    auto sim = std::make_unique<sim::SimD2xx>();
    sim->attach(options.sim);
    backend.sim = sim.get();
    backend.d2xx = std::move(sim);
  } else {
    auto serial = std::make_unique<SerialD2xx>(options.ports);
    // A command keeps the port from its first open to its end (firmware check, operation,
    // verify, read twice); the windows take it for each operation.
    serial->holdPortLocks(!options.words.empty());
    backend.d2xx = std::move(serial);
  }
  return backend;
}

}  // namespace jig
