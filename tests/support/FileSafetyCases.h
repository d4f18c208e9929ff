#pragma once
// What every flash window's tests ask of the files: the images a write must refuse before
// the chip is touched, and the leftovers a failed read must not leave beside its target.
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "cli/CliInterrupt.h"
#include "files/DumpSink.h"
#include "files/SourceFile.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

// The injected faults of the file layer and the signal count are process-wide: a test that
// holds one of these leaves them as it found them.
struct CleanFileFaults {
  ~CleanFileFaults() {
    InjectSourceReadFault(std::nullopt);
    InjectDumpWriteFault(std::nullopt);
    ResetInterrupts();
  }
};

// A dump sink's leftovers in folder: ".NAME.PID.XXXXXXXX.part".
inline std::vector<std::string> PartFiles(const std::filesystem::path& folder) {
  std::vector<std::string> parts;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().ends_with(".part")) parts.push_back(entry.path().string());
  return parts;
}

// A row's name as a test name: letters, digits and '_' only.
template <class Row>
std::string CaseName(const ::testing::TestParamInfo<Row>& row) {
  return std::regex_replace(std::string(row.param.name), std::regex("[^A-Za-z0-9]"), "_");
}

struct BadSource {
  std::string name;
  std::function<std::string(const TempDir&)> make;  // makes the file, returns its path
  std::string why;                                  // what the refusal says right after the path
  std::optional<std::size_t> readFaultAfter;        // the read fails with EIO after this many bytes
  SourceFile refusal;                               // what the check finds
};

inline SourceFile Refusal(SourceProblem problem, std::uint64_t size = 0, int error = 0) {
  SourceFile source;
  source.problem = problem;
  source.size = size;
  source.error = error;
  return source;
}

// The image files a write to a chip of chipSize bytes refuses.
inline std::vector<BadSource> BadSources(std::size_t chipSize) {
  namespace fs = std::filesystem;
  const std::string tooLarge = std::to_string(chipSize + 1);
  return {
      {"folder", [](const TempDir& d) { fs::create_directory(d.file("folder.bin")); return d.file("folder.bin"); },
       " is not a regular file", {}, Refusal(SourceProblem::NotRegular)},
#ifndef _WIN32  // Windows has neither FIFOs nor /dev/zero
      {"FIFO", [](const TempDir& d) { ::mkfifo(d.file("fifo.bin").c_str(), 0644); return d.file("fifo.bin"); },
       " is not a regular file", {}, Refusal(SourceProblem::NotRegular)},
      {"link to /dev/zero",
       [](const TempDir& d) { fs::create_symlink("/dev/zero", d.file("zero.bin")); return d.file("zero.bin"); },
       " is not a regular file", {}, Refusal(SourceProblem::NotRegular)},
#endif
      {"empty", [](const TempDir& d) { WriteFileBytes(d.file("empty.bin"), {}); return d.file("empty.bin"); }, " is empty", {},
       Refusal(SourceProblem::Empty)},
      {"one byte more than the chip",
       [chipSize](const TempDir& d) {
         WriteFileBytes(d.file("long.bin"), std::vector<std::uint8_t>(chipSize + 1, 0x5A));
         return d.file("long.bin");
       },
       " holds " + tooLarge + " bytes, more than the chip's " + std::to_string(chipSize), {},
       Refusal(SourceProblem::TooLarge, chipSize + 1)},
      {"read error mid-file",
       [chipSize](const TempDir& d) {
         WriteFileBytes(d.file("stick.bin"), std::vector<std::uint8_t>(chipSize, 0x5A));
         return d.file("stick.bin");
       },
       " could not be read whole", chipSize / 2, Refusal(SourceProblem::ReadError, chipSize, EIO)},
  };
}

}  // namespace jig::test
