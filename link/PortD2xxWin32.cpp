#include "link/PortD2xx.h"
#include "link/Win32D2xx.h"

namespace jig {

// A COM port has one owner while it is open; between a command's opens it is not held.
std::unique_ptr<D2xx> MakePortD2xx(std::vector<std::string> ports, bool) {
  return std::make_unique<Win32D2xx>(std::move(ports));
}

}  // namespace jig
