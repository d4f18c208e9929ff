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
    backend.d2xx = std::make_unique<SerialD2xx>(options.ports);
  }
  return backend;
}

}  // namespace jig
