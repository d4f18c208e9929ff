#include "link/PortD2xx.h"
#include "link/SerialD2xx.h"

namespace jig {

std::unique_ptr<D2xx> MakePortD2xx(std::vector<std::string> ports, bool holdPortLocks) {
  auto serial = std::make_unique<SerialD2xx>(std::move(ports));
  serial->holdPortLocks(holdPortLocks);
  return serial;
}

}  // namespace jig
