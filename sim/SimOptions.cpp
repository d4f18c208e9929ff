#include "sim/SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

constexpr unsigned long long kLargestCount = 0x7FFFFFFF;

// A count, a time or an address: digits (0x for hex; an address may be bare hex), no sign,
// and no more than its largest value. A fault that would read "-1" or a number past the
// range as "no fault" would run a test of nothing.
bool UnsignedValue(const std::string& value, unsigned long long least, unsigned long long largest, bool bareHex) {
  if (value.empty()) return false;
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
  return number && *number >= least && *number <= largest;
}

// The range a fault's help gives its number ("(1-512)"), else any count.
std::pair<unsigned long long, unsigned long long> DocumentedRange(const std::string& help) {
  std::size_t open = help.find('(');
  for (; open != std::string::npos; open = help.find('(', open + 1)) {
    unsigned long long least = 0, most = 0;
    int used = 0;
    if (std::sscanf(help.c_str() + open, "(%llu-%llu)%n", &least, &most, &used) == 2 && used > 0) return {least, most};
  }
  return {0, kLargestCount};
}

// Why a fault's value cannot be taken; empty when it can.
std::string ValueError(const std::string& name, const std::string& placeholder, const std::string& help,
                       const std::string& value) {
  // A fault that counts something without a count would run a test of nothing, unless its
  // help gives what no value means.
  const bool numeric = placeholder == "N" || placeholder == "MS" || placeholder == "US" || placeholder == "ADDR" ||
                       placeholder == "V" || placeholder == "N[,M..]";
  if (numeric && value.empty() && help.find("no value:") == std::string::npos)
    return name + " needs a value: " + name + "=" + placeholder;
  if (value.empty()) return {};
  auto outOfRange = [&](unsigned long long least, unsigned long long most) {
    return name + " takes a number from " + std::to_string(least) + " to " + std::to_string(most) + ", not \"" +
           value + "\"";
  };
  if (placeholder == "N" || placeholder == "MS" || placeholder == "US") {
    const auto [least, most] = DocumentedRange(help);
    if (!UnsignedValue(value, least, most, false)) return outOfRange(least, most);
  }
  if (placeholder == "ADDR" && !UnsignedValue(value, 0, 0xFFFFFFFF, help.find("(hex)") != std::string::npos))
    return outOfRange(0, 0xFFFFFFFF);
  if (placeholder == "V" && !UnsignedValue(value, 0, 0xFF, false)) return outOfRange(0, 0xFF);
  if (placeholder == "N[,M..]") {
    // Every item a count: "1,,3", a sign or a number past the range would quietly match nothing.
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = value.find(',', start);
      const std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      if (item.empty() || !UnsignedValue(item, 0, kLargestCount, false))
        return name + " takes a list of numbers from 0 to " + std::to_string(kLargestCount) + ", not \"" + value +
               "\"";
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return {};
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
  if (std::string reason = ValueError(name, placeholder, declared->help, value); !reason.empty()) {
    error = std::move(reason);
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
    // Both are counts as every other fault's number: no sign, no more than kLargestCount.
    if (usedBytes != bytes.size() || usedTime != time.size() || bytes.find_first_of("+- ") != std::string::npos ||
        time.find_first_of("+- ") != std::string::npos || count < 0 || ms < 0 ||
        static_cast<unsigned long long>(count) > kLargestCount || static_cast<unsigned long long>(ms) > kLargestCount)
      return std::nullopt;
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
