#pragma once
// How a simulated programmer is set up: the image it runs at power-on, its faults, where
// it keeps its state between runs and whether bytes take their wire time.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace jig::sim {

struct SimOptions {
  // A tag of the image table (sim/SimImages.cpp); empty: what the state folder kept, else
  // the default image.
  std::string image;
  std::map<std::string, std::string> faults;    // name -> value ("" when the fault has none)
  std::string stateDir;                         // empty: nothing kept between runs
  bool wireTime = false;                        // deliver bytes at wire speed
  // Keep every byte both ways for the bench to read back (transcript(), hostBytes()). The
  // program's own simulator keeps none: a window used all day would hold every byte of it.
  bool transcript = true;

  bool has(const std::string& fault) const { return faults.count(fault) != 0; }
  std::string value(const std::string& fault, const std::string& fallback = "") const;
  long long number(const std::string& fault, long long fallback) const;
};

struct FaultName {
  std::string name;  // with "=VALUE" when it takes one
  std::string help;
};

// Every fault a programmer and its chips understand, for --help and for checking names.
std::vector<FaultName> AllFaultNames();
// "name" or "name=value"; false when the name is not known.
bool AddFault(SimOptions& options, const std::string& fault, std::string& error);

// The value "N:MS" of a fault: a count of bytes and a time. version-split: the answer to
// 'B' stops after its first N bytes and goes on MS ms later. send-past-purge: N bytes
// still on their way come over MS ms after the host's purge.
struct BytesAndMs {
  std::size_t bytes = 0;
  long long ms = 0;
};
std::optional<BytesAndMs> ParseBytesAndMs(const std::string& value);

// Decodes \r, \n, \t, \\ and \xHH in a text given on the command line.
std::string DecodeEscapes(const std::string& text);

}  // namespace jig::sim
