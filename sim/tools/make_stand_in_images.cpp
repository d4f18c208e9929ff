// make-stand-in-images DIR: writes the four stand-in firmware images as Intel HEX files
// (CR LF) into DIR, where the program looks for them beside itself.
#include <cstdio>
#include <fstream>
#include <string>

#include "sim/StandInImage.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-stand-in-images DIR\n");
    return 2;
  }
  for (const char* tag : {"V41", "V42", "ITE", "NPCE"}) {
    const auto image = jig::sim::StandInImage(tag);
    const std::string path = std::string(argv[1]) + "/" + jig::sim::StandInImageFile(tag);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << jig::sim::ToIntelHex(image);
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
