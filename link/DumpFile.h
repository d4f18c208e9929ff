#pragma once
// A dump file held without sharing: created (replacing any old one) for a read, opened for
// a write. Closing a created file flushes it to the disk, so a dump that was reported saved
// is on it; a file that was only read is not flushed (that would wait on the disk for
// nothing, and could fail on another writer's error).
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
  DumpFile(int fd, std::string path, bool created) : fd_(fd), path_(std::move(path)), created_(created) {}
  int fd_ = -1;
  std::string path_;
  bool created_ = false;
};

}  // namespace jig
