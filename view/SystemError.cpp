#include "view/SystemError.h"

#include <system_error>

namespace jig {

std::string SystemErrorText(int error) {
  return error == 0 ? std::string("unknown reason") : std::generic_category().message(error);
}

}  // namespace jig
