#pragma once
// One side of a comparison of two dumps: a file the technician named, or bytes still in
// memory (an image next to the chip's read-back), under the name the comparison shows.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jig {

struct ComparedDump {
  std::string label;  // the file's path, or what the bytes are ("read-back")
  std::vector<std::uint8_t> bytes;
};

// Larger than any flash the programmer reads: a bigger file is no dump of ours.
inline constexpr std::size_t kMaxComparedDumpSize = std::size_t{64} * 1024 * 1024;

struct ComparedDumpRead {
  ComparedDump dump;
  std::string problem;  // empty when the file was read whole
  bool ok() const { return problem.empty(); }
};

// A regular file of 1 byte to kMaxComparedDumpSize, read whole; otherwise the line that
// says which file and why.
ComparedDumpRead ReadComparedDump(const std::string& path);

}  // namespace jig
