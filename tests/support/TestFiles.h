#pragma once
// Scratch files and folders for tests, removed when the test ends.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jig::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> Bytes(const std::string& text);
// Bytes that differ from block to block and are no repeated pattern.
inline std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 37u + seed) ^ (i >> 8));
  return bytes;
}

// Real panels' EDIDs kept with the tests: tests/data/edid/ (see its README).
std::string PanelEdidFolder();
// One of them, 128 or 256 bytes. When the file is missing or not an EDID's size, the
// calling test fails with a message naming it and gets 256 bytes of FFh (a blank
// EEPROM), so that it goes on to fail instead of reading past an empty vector.
std::vector<std::uint8_t> PanelEdid(const std::string& name);

}  // namespace jig::test
