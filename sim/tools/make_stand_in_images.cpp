// make-stand-in-images DIR LIST: writes the stand-in firmware images as Intel HEX files
// (CR LF) into DIR, where the program looks for them beside itself, and their names, one
// a line, into LIST once all are written (the build's record of what to install).
#include <cstdio>
#include <fstream>
#include <string>

#include "sim/SimImages.h"
#include "sim/StandInImage.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-stand-in-images DIR LIST\n");
    return 2;
  }
  std::string names;
  for (const jig::sim::SimImage& row : jig::sim::SimImages()) {
    if (row.file.empty()) continue;  // the boot loader has no image file
    const std::string tag(row.tag);
    const auto image = jig::sim::StandInImage(tag);
    const std::string path = std::string(argv[1]) + "/" + jig::sim::StandInImageFile(tag);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << jig::sim::ToIntelHex(image);
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    names += jig::sim::StandInImageFile(tag) + "\n";
  }
  std::ofstream list(argv[2], std::ios::binary | std::ios::trunc);
  list << names;
  if (!list.flush()) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
