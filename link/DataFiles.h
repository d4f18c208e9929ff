#pragma once
// Files the program reads beside itself (firmware images, motherboard bases): looked for in
// the current directory, then in the program's own folder, then in the installed data
// folder.
#include <optional>
#include <string>
#include <vector>

namespace jig {

struct DataFileSearch {
  std::optional<std::string> path;   // the first place that has the file
  std::vector<std::string> places;   // the folders looked in, in order
};

DataFileSearch FindDataFile(const std::string& name);
// "looked in: /a, /b, /c" for a log line when the file was not found.
std::string DescribePlaces(const DataFileSearch& search);

}  // namespace jig
