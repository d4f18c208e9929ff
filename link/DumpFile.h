#pragma once
// A dump file held without sharing: created (replacing any old one) for a read, opened for
// a write. Closing flushes to the disk, so a dump that was reported saved is on it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace jig {

class DumpFile {
 public:
  static std::optional<DumpFile> Create(const std::string& path);
  static std::optional<DumpFile> OpenForReading(const std::string& path);

  DumpFile(DumpFile&& other) noexcept;
  DumpFile& operator=(DumpFile&& other) noexcept;
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;
  ~DumpFile();

  bool write(std::span<const std::uint8_t> bytes);
  // Reads up to bytes.size(); returns the count read (0 at the end or on an error).
  std::size_t read(std::span<std::uint8_t> bytes);
  bool close();
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  DumpFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::string path_;
};

}  // namespace jig
