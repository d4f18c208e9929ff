#include "files/DataFiles.h"

#include <algorithm>

#include "files/PlatformFiles.h"

#include "files/SourceFile.h"

namespace jig {

namespace fs = std::filesystem;

std::vector<fs::path> DataFolders() {
  std::vector<fs::path> places;
  std::error_code ec;
  const fs::path current = fs::current_path(ec);
  if (!ec) places.push_back(current);
  const fs::path self = platform::ProgramPath();
  if (!self.empty()) places.push_back(self.parent_path());
#ifdef JIG_DATA_DIR
  places.push_back(JIG_DATA_DIR);
#endif
  // An installation moved as a whole (another prefix, a package) keeps its data here.
  if (!self.empty()) places.push_back((self.parent_path() / ".." / "share" / "holbrenik-jig").lexically_normal());
  std::vector<fs::path> unique;
  for (auto& place : places) {
    place = place.lexically_normal();
    if (!place.empty() && place.string().size() > 1 && place.string().back() == '/') place = place.parent_path();
    if (std::find(unique.begin(), unique.end(), place) == unique.end()) unique.push_back(place);
  }
  return unique;
}

DataFileSearch FindDataFile(const std::string& name) { return FindDataFile(name, DataFolders()); }

DataFileSearch FindDataFile(const std::string& name, const std::vector<fs::path>& folders) {
  DataFileSearch search;
  for (const auto& place : folders) search.places.push_back(place.string());
  for (const auto& place : folders) {
    std::error_code ec;
    const fs::path candidate = place / name;
    if (fs::is_regular_file(candidate, ec)) {
      search.path = candidate.string();
      break;
    }
  }
  return search;
}

std::optional<std::vector<std::uint8_t>> ReadDataFile(const fs::path& path, std::string& problem) {
  problem.clear();
  if (!platform::PathExists(path.string())) return std::nullopt;  // not there: no line of its own
  SourceFile source = ReadSourceFile(path.string(), kMaxDataFileBytes);
  if (source.ok()) return std::move(source.bytes);
  // An empty file is there and is read as such; what it holds is the reader's to judge.
  if (source.problem == SourceProblem::Empty) return std::vector<std::uint8_t>{};
  problem = DataFileProblemLine(path.string(), source, kMaxDataFileBytes);
  return std::nullopt;
}

std::optional<FoundDataFile> ReadFirstDataFile(const std::string& name, const std::vector<fs::path>& folders,
                                               std::vector<std::string>* problems) {
  for (const auto& folder : folders) {
    std::string problem;
    const fs::path path = folder / name;
    if (auto bytes = ReadDataFile(path, problem)) return FoundDataFile{path.string(), std::move(*bytes)};
    if (!problem.empty() && problems) problems->push_back(problem);
  }
  return std::nullopt;
}

std::string DescribePlaces(const DataFileSearch& search, LogLanguage language) {
  std::string text = language == LogLanguage::Russian ? "искали в: " : "looked in: ";
  for (std::size_t i = 0; i < search.places.size(); ++i) text += (i ? ", " : "") + search.places[i];
  return text;
}

std::string MissingFileLine(const std::string& name, const DataFileSearch& search, LogLanguage language) {
  return name + ": " + DescribePlaces(search, language);
}

}  // namespace jig
