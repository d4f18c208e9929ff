// The search for FTDI ports in sysfs: every tty whose USB device carries vendor 0403.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/SerialD2xx.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

std::string ReadFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// Natural order, so ttyUSB2 comes before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      std::size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      const unsigned long long x = std::stoull(a.substr(i, ie - i));
      const unsigned long long y = std::stoull(b.substr(j, je - j));
      if (x != y) return x < y;
      i = ie;
      j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

}  // namespace

std::vector<std::string> SerialD2xx::FindFtdiPorts(const std::string& sysfsRoot) {
  std::vector<std::string> names;
  std::error_code ec;
  const fs::path ttyClass = fs::path(sysfsRoot) / "class" / "tty";
  for (const auto& entry : fs::directory_iterator(ttyClass, ec)) {
    const fs::path device = entry.path() / "device";
    fs::path dir = fs::canonical(device, ec);
    if (ec) {
      ec.clear();
      continue;
    }
    // Walk up from the tty's device to the USB device that carries the vendor id.
    for (int depth = 0; depth < 8 && !dir.empty() && dir != dir.root_path(); ++depth) {
      const fs::path vendor = dir / "idVendor";
      if (fs::exists(vendor, ec)) {
        if (ReadFirstLine(vendor) == "0403") names.push_back(entry.path().filename().string());
        break;
      }
      dir = dir.parent_path();
    }
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  std::vector<std::string> paths;
  for (const auto& name : names) paths.push_back("/dev/" + name);
  return paths;
}

}  // namespace jig
