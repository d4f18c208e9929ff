#pragma once
// Reading a file the technician chose (an image to write) or one the program keeps beside
// itself (a firmware image, a motherboard base): a regular file only, opened without
// blocking, read whole, and every fault found before anything goes to the programmer. A
// folder, a FIFO, a device or a file cut short by a failing stick is refused, never taken
// for a short image padded with FFh.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/DumpChecks.h"

namespace jig {

enum class SourceProblem { None, CannotOpen, NotRegular, Empty, TooLarge, ReadError };

struct SourceFile {
  SourceProblem problem = SourceProblem::None;
  int error = 0;                    // errno of a failed open or read
  std::uint64_t size = 0;           // what fstat said
  std::vector<std::uint8_t> bytes;  // the whole file when problem is None
  bool ok() const { return problem == SourceProblem::None; }
};

// Refuses anything but a regular file (a link to one is fine) of 1 to maxSize bytes.
SourceFile ReadSourceFile(const std::string& path, std::size_t maxSize);

// The line that says why a file to write was refused and that nothing was written; a check
// of a file alone (no chip involved) says only why.
enum class ChipInvolved { Yes, No };
std::string SourceProblemLine(const std::string& path, const SourceFile& source, std::size_t maxSize,
                              LogLanguage language, ChipInvolved chip = ChipInvolved::Yes);
// Why a file was refused, without its name: "cannot be opened (No such file or directory)".
std::string SourceProblemReason(const SourceFile& source, std::size_t maxSize);
// The line for a file beside the program that is not used (the program goes on without it).
std::string DataFileProblemLine(const std::string& path, const SourceFile& source, std::size_t maxSize);

// Tests only: the next reads fail with EIO after this many bytes (nullopt: no fault).
void InjectSourceReadFault(std::optional<std::size_t> afterBytes);

}  // namespace jig
