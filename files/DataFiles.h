#pragma once
// Files the program reads beside itself (firmware images, motherboard bases): looked for in
// the current directory, then in the program's own folder, then in the installed data
// folder. One search serves the image loader and both bases, so all of them say alike
// where they looked when a file is missing.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "view/LogLanguage.h"

namespace jig {

struct DataFileSearch {
  std::optional<std::string> path;   // the first place that has the file
  std::vector<std::string> places;   // the folders looked in, in order
};

// The folders, in the order they are searched; each once.
std::vector<std::filesystem::path> DataFolders();

DataFileSearch FindDataFile(const std::string& name);
DataFileSearch FindDataFile(const std::string& name, const std::vector<std::filesystem::path>& folders);
// A file beside the program is a regular file of at most this size (bases are a few KiB,
// firmware HEX files tens of KiB): a folder, a FIFO or a link to a device is never read.
inline constexpr std::size_t kMaxDataFileBytes = 1024 * 1024;

// The bytes of a file beside the program; nullopt when it is missing or not usable, and
// then problem gets the line that says why (empty when the file is simply not there).
std::optional<std::vector<std::uint8_t>> ReadDataFile(const std::filesystem::path& path, std::string& problem);

// The first usable file of that name in the folders, read whole. One that is there but not
// usable (a folder, a FIFO, too large) gets its line in problems and the search goes on to
// the next folder. nullopt when none is usable.
struct FoundDataFile {
  std::string path;
  std::vector<std::uint8_t> bytes;
};
std::optional<FoundDataFile> ReadFirstDataFile(const std::string& name, const std::vector<std::filesystem::path>& folders,
                                               std::vector<std::string>* problems);

// "looked in: /a, /b, /c" ("искали в: ..." in a Russian window) for a log line when the
// file was not found.
std::string DescribePlaces(const DataFileSearch& search, LogLanguage language = LogLanguage::English);
// "<name>: looked in: /a, /b, /c", the line that follows a missing-file message.
std::string MissingFileLine(const std::string& name, const DataFileSearch& search,
                            LogLanguage language = LogLanguage::English);

}  // namespace jig
