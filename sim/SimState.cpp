#include "sim/SimState.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace jig::sim {

namespace fs = std::filesystem;

std::vector<std::uint8_t> LoadBlob(const std::string& dir, const std::string& name, std::size_t size,
                                   std::uint8_t fill) {
  if (!dir.empty()) {
    std::ifstream in(fs::path(dir) / name, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() == size) return bytes;
  }
  return std::vector<std::uint8_t>(size, fill);
}

bool SaveBlob(const std::string& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  if (dir.empty()) return true;
  std::error_code ec;
  fs::create_directories(dir, ec);
  const fs::path target = fs::path(dir) / name;
  const fs::path temporary = fs::path(dir) / (name + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return false;
  }
  fs::rename(temporary, target, ec);
  return !ec;
}

std::string LoadText(const std::string& dir, const std::string& name, const std::string& fallback) {
  if (dir.empty()) return fallback;
  std::ifstream in(fs::path(dir) / name);
  std::string text;
  if (!std::getline(in, text) || text.empty()) return fallback;
  return text;
}

bool SaveText(const std::string& dir, const std::string& name, const std::string& text) {
  return SaveBlob(dir, name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace jig::sim
