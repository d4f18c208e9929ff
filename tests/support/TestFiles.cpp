#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace jig::test {

TempDir::TempDir() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() / ("jig-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string PanelEdidFolder() { return std::string(JIG_SOURCE_DIR) + "/tests/data/edid/"; }

std::vector<std::uint8_t> PanelEdid(const std::string& name) {
  const std::string path = PanelEdidFolder() + name;
  auto bytes = ReadFileBytes(path);
  if (bytes.size() == 128 || bytes.size() == 256) return bytes;
  ADD_FAILURE() << "test data " << path << " is missing or not an EDID (" << bytes.size()
                << " bytes); it belongs to the repository";
  return std::vector<std::uint8_t>(256, 0xFF);
}

}  // namespace jig::test
