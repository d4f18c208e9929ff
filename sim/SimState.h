#pragma once
// What a simulated programmer keeps between runs (--sim-state DIR): its running image
// and its chips' contents, one file each.
#include <cstdint>
#include <string>
#include <vector>

namespace jig::sim {

// The blob of that name, or size bytes of fill when the folder has none of that size.
std::vector<std::uint8_t> LoadBlob(const std::string& dir, const std::string& name, std::size_t size,
                                   std::uint8_t fill);
// Written through a temporary file and a rename, so a crash never leaves half a chip.
bool SaveBlob(const std::string& dir, const std::string& name, const std::vector<std::uint8_t>& bytes);
std::string LoadText(const std::string& dir, const std::string& name, const std::string& fallback);
bool SaveText(const std::string& dir, const std::string& name, const std::string& text);

}  // namespace jig::sim
