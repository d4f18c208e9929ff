#include "link/DataFiles.h"

#include <algorithm>
#include <filesystem>

namespace jig {

namespace fs = std::filesystem;

namespace {
std::vector<std::string> Places() {
  std::vector<std::string> places;
  std::error_code ec;
  const fs::path current = fs::current_path(ec);
  if (!ec) places.push_back(current.string());
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) places.push_back(self.parent_path().string());
#ifdef JIG_DATA_DIR
  places.push_back(JIG_DATA_DIR);
#endif
  std::vector<std::string> unique;
  for (auto& place : places)
    if (std::find(unique.begin(), unique.end(), place) == unique.end()) unique.push_back(place);
  return unique;
}
}  // namespace

DataFileSearch FindDataFile(const std::string& name) {
  DataFileSearch search;
  search.places = Places();
  for (const auto& place : search.places) {
    std::error_code ec;
    const fs::path candidate = fs::path(place) / name;
    if (fs::is_regular_file(candidate, ec)) {
      search.path = candidate.string();
      break;
    }
  }
  return search;
}

std::string DescribePlaces(const DataFileSearch& search) {
  std::string text = "looked in: ";
  for (std::size_t i = 0; i < search.places.size(); ++i) text += (i ? ", " : "") + search.places[i];
  return text;
}

}  // namespace jig
