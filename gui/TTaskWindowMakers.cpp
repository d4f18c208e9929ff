#include "gui/TTaskWindowMakers.h"

#include <map>

namespace jig {

namespace {
// Filled while the program starts (static registrations), read afterwards only.
std::map<std::string_view, TaskWindowMaker>& makers() {
  static std::map<std::string_view, TaskWindowMaker> all;
  return all;
}
}  // namespace

TaskWindowRegistration::TaskWindowRegistration(std::string_view windowClass, TaskWindowMaker make) {
  makers()[windowClass] = make;
}

TaskWindowMaker FindTaskWindowMaker(std::string_view windowClass) {
  const auto it = makers().find(windowClass);
  return it == makers().end() ? nullptr : it->second;
}

}  // namespace jig
