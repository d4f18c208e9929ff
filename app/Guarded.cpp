#include "app/Guarded.h"

#include "cli/ConsoleView.h"

namespace jig {

std::string EscapedErrorText(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "Unknown error";
}

int RunGuarded(const std::function<int()>& run, std::ostream& err) {
  try {
    return run();
  } catch (...) {
    err << "holbrenik-jig: " << EscapedErrorText(std::current_exception()) << '\n';
    return kExitFailed;
  }
}

}  // namespace jig
