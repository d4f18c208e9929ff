#include "Ite/MbConnectionIte.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/DataFiles.h"

namespace jig::ite {

// clang-format off
const std::array<IteSignal, kSignalCount> kSignals = {{
    {"PD0",   "PD0 (pin 36 KSO0)",          "ComboBox1",  "PD0=",  'd', '0'},
    {"PD1",   "PD1 (pin 37 KSO1)",          "ComboBox2",  "PD1=",  'd', '1'},
    {"PD2",   "PD2 (pin 38 KSO2)",          "ComboBox3",  "PD2=",  'd', '2'},
    {"PD3",   "PD3 (pin 39 KSO3)",          "ComboBox4",  "PD3=",  'd', '3'},
    {"PD4",   "PD4 (pin 40 KSO4)",          "ComboBox5",  "PD4=",  'd', '4'},
    {"PD5",   "PD5 (pin 41 KSO5)",          "ComboBox6",  "PD5=",  'd', '5'},
    {"PD6",   "PD6 (pin 42 KSO6)",          "ComboBox7",  "PD6=",  'd', '6'},
    {"PD7",   "PD7 (pin 43 KSO7)",          "ComboBox8",  "PD7=",  'd', '7'},
    {"BUSY",  "BUSY (pin 45 KSO9)",         "ComboBox13", "BUSY=", 'B', 'L'},
    {"STB#",  "STB# (58 KSI0) WR/RD 0/1",   "ComboBox9",  "STB=",  'W', 'R'},
    {"AFD#",  "AFD# (59 KSI1) DS",          "ComboBox10", "AFD=",  'D', 'S'},
    {"INIT#", "INIT# (60 KSI2) IN",         "ComboBox12", "INIT=", 'I', 'N'},
    {"SLIN#", "SLIN# (61 KSI3) AS",         "ComboBox11", "SLIN=", 'A', 'S'},
    {"KSI4",  "KSI4 (pin 62)",              "ComboBox14", "KSI4=", 'K', '4'},
    {"KSI5",  "KSI5 (pin 63)",              "ComboBox15", "KSI5=", 'K', '5'},
}};
// clang-format on

// INIT#, AFD#, SLIN#, STB#, KSI4, KSI5, BUSY, PD0 … PD7.
const std::array<int, kSignalCount> kApplyOrder = {11, 10, 12, 9, 13, 14, 8, 0, 1, 2, 3, 4, 5, 6, 7};

std::vector<std::string> SplitBaseLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (const char c : bytes) {
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    } else if (c != '\r') {
      line.push_back(c);
    }
  }
  return lines;
}

IteBase LoadIteBase(const std::string& path) {
  IteBase base;
  const auto bytes = ReadDataFile(path, base.problem);
  if (!bytes) return base;
  base.found = true;
  base.lines = SplitBaseLines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  return base;
}

std::string FindBesideProgram(const std::string& name, std::vector<std::string>* problems) {
  const auto found = ReadFirstDataFile(name, DataFolders(), problems);
  return found ? found->path : name;
}

DataFileSearch WhereBaseWasSought(const std::string& basePath) {
  namespace fs = std::filesystem;
  if (basePath == kBaseFileName) return FindDataFile(kBaseFileName);
  DataFileSearch search;
  const fs::path folder = fs::path(basePath).parent_path();
  search.places.push_back(folder.empty() ? fs::current_path().string() : folder.string());
  return search;
}

std::string MissingBaseLine(const std::string& basePath) {
  // The ITE window speaks Russian.
  return MissingFileLine(std::filesystem::path(basePath).filename().string(), WhereBaseWasSought(basePath),
                         LogLanguage::Russian);
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

KeyValue ReadKeyValue(std::string_view line, std::string_view key) {
  const auto at = line.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t first = at + key.size();
  if (first >= line.size() || !IsDigit(line[first])) return {KeyValue::NotNumber, 0};
  int value = line[first] - '0';
  const std::size_t second = first + 1;
  if (second < line.size() && line[second] != ' ') {
    if (!IsDigit(line[second])) return {KeyValue::NotNumber, 0};
    value = value * 10 + (line[second] - '0');
  }
  return {KeyValue::Number, value};
}

ParseResult ParseMbLine(std::string_view line, const PinAssignment& before) {
  ParseResult result;
  result.pins = before;
  for (int signal = 0; signal < kSignalCount; ++signal) {
    const KeyValue value = ReadKeyValue(line, kSignals[static_cast<std::size_t>(signal)].key);
    result.signal = signal;
    if (value.kind == KeyValue::Missing) {
      result.kind = ParseResult::MissingKey;
      return result;
    }
    if (value.kind == KeyValue::NotNumber) {
      result.kind = ParseResult::NotNumber;
      return result;
    }
    if (value.value < 1 || value.value > kMaxPin) {
      result.kind = ParseResult::BadPin;
      return result;
    }
    result.pins[static_cast<std::size_t>(signal)] = value.value;
    result.taken = signal + 1;
  }
  result.signal = -1;
  return result;
}

MirrorResult MirrorPins(std::string_view line, const PinAssignment& pins) {
  MirrorResult result;
  result.pins = pins;
  const KeyValue count = ReadKeyValue(line, "KB_pins=");
  if (count.kind == KeyValue::Missing) {
    result.kind = MirrorResult::MissingCount;
    return result;
  }
  if (count.kind == KeyValue::NotNumber || count.value < 24 || count.value > kMaxPin) {
    result.kind = MirrorResult::BadCount;
    return result;
  }
  result.count = count.value;
  for (int signal = 0; signal < kSignalCount; ++signal) {
    const int pin = pins[static_cast<std::size_t>(signal)];
    if (pin > count.value) {
      result.kind = MirrorResult::PinOutside;
      result.signal = signal;
      result.pins = pins;
      return result;
    }
    if (pin != 0) result.pins[static_cast<std::size_t>(signal)] = count.value + 1 - pin;
  }
  return result;
}

}  // namespace jig::ite
