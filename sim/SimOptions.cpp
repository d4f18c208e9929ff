#include "sim/SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>

#include "sim/SimImages.h"

namespace jig::sim {

std::string SimOptions::value(const std::string& fault, const std::string& fallback) const {
  const auto it = faults.find(fault);
  return it == faults.end() ? fallback : it->second;
}

long long SimOptions::number(const std::string& fault, long long fallback) const {
  const auto it = faults.find(fault);
  if (it == faults.end() || it->second.empty()) return fallback;
  try {
    return std::stoll(it->second, nullptr, 0);
  } catch (...) {
    return fallback;
  }
}

std::vector<FaultName> AllFaultNames() {
  std::vector<FaultName> names = {
      {"open-fails", "the programmer cannot be opened"},
      {"no-answer", "the programmer answers nothing at all"},
      {"silence-after=N", "the programmer stops answering after N bytes to the host"},
      {"garbage-after=N", "every byte to the host after the first N is garbage"},
      {"unplug-after=N", "the programmer is unplugged after N bytes to the host"},
      {"version=TEXT", "the answer to 'B' (escapes \\r \\n \\xHH)"},
      {"version-split=N:MS", "the answer to 'B' pauses for MS ms after its first N bytes"},
      {"send-past-purge=N:MS",
       "after each purge of the host's receive queue, N more bytes come over MS ms (the rest of a block "
       "still on its way when the host stopped reading)"},
  };
  for (const auto& more : CommandSetFaultNames()) names.push_back(more);
  return names;
}

namespace {

// A count, a time or an address: digits (0x for hex; an address may be bare hex), no sign,
// and no more than its largest value. A fault that would read "-1" or a number past the
// range as "no fault" would run a test of nothing.
bool UnsignedValue(const std::string& value, unsigned long long largest, bool bareHex) {
  if (value.empty()) return true;  // the fault's own default
  if (value.find_first_of("+- ") != std::string::npos) return false;
  auto parse = [&](int base) -> std::optional<unsigned long long> {
    errno = 0;
    char* end = nullptr;
    const unsigned long long number = std::strtoull(value.c_str(), &end, base);
    if (errno == ERANGE || end != value.c_str() + value.size()) return std::nullopt;
    return number;
  };
  std::optional<unsigned long long> number = parse(0);
  if (!number && bareHex) number = parse(16);
  return number && *number <= largest;
}

}  // namespace

bool AddFault(SimOptions& options, const std::string& fault, std::string& error) {
  const auto eq = fault.find('=');
  const std::string name = fault.substr(0, eq);
  const std::string value = eq == std::string::npos ? "" : fault.substr(eq + 1);
  const auto names = AllFaultNames();
  const auto declared = std::find_if(names.begin(), names.end(), [&](const FaultName& f) {
    return f.name.substr(0, f.name.find('=')) == name;
  });
  if (declared == names.end()) {
    error = "unknown fault: " + name;
    return false;
  }
  const std::size_t placeholderAt = declared->name.find('=');
  const std::string placeholder = placeholderAt == std::string::npos ? "" : declared->name.substr(placeholderAt + 1);
  constexpr unsigned long long kLargestCount = 0x7FFFFFFF;
  const bool badNumber = ((placeholder == "N" || placeholder == "MS" || placeholder == "US") &&
                          !UnsignedValue(value, kLargestCount, false)) ||
                         (placeholder == "ADDR" &&
                          !UnsignedValue(value, 0xFFFFFFFF, declared->help.find("(hex)") != std::string::npos)) ||
                         (placeholder == "V" && !UnsignedValue(value, 0xFF, false));
  if (badNumber) {
    error = name + " takes a number from 0 to " +
            std::to_string(placeholder == "ADDR" ? 0xFFFFFFFFULL : placeholder == "V" ? 0xFFULL : kLargestCount) +
            ", not \"" + value + "\"";
    return false;
  }
  // The faults whose value is N:MS, with an example each.
  static const std::map<std::string, std::string> kBytesAndMs = {{"version-split", "5:30"},
                                                                 {"send-past-purge", "40:10"}};
  if (const auto it = kBytesAndMs.find(name); it != kBytesAndMs.end() && !ParseBytesAndMs(value)) {
    error = name + " needs N:MS, e.g. " + name + "=" + it->second;
    return false;
  }
  options.faults[name] = value;
  return true;
}

std::optional<BytesAndMs> ParseBytesAndMs(const std::string& value) {
  const auto colon = value.find(':');
  if (colon == std::string::npos) return std::nullopt;
  try {
    std::size_t usedBytes = 0, usedTime = 0;
    const std::string bytes = value.substr(0, colon), time = value.substr(colon + 1);
    const long long count = std::stoll(bytes, &usedBytes);
    const long long ms = std::stoll(time, &usedTime);
    if (usedBytes != bytes.size() || usedTime != time.size() || count < 0 || ms < 0) return std::nullopt;
    return BytesAndMs{static_cast<std::size_t>(count), ms};
  } catch (...) {
    return std::nullopt;
  }
}

std::string DecodeEscapes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char c = text[++i];
    if (c == 'r') out.push_back('\r');
    else if (c == 'n') out.push_back('\n');
    else if (c == 't') out.push_back('\t');
    else if (c == 'x' && i + 2 < text.size()) {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else out.push_back(c);
  }
  return out;
}

}  // namespace jig::sim
