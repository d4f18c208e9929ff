#pragma once
// A simulated ITE bench for the tests: the programmer runs the ITE image, the board is
// wired like "Board-1" below, and the operations run with short bounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Ite/IteOperations.h"
#include "sim/IteSim.h"
#include "tests/support/TaskBench.h"

namespace jig::test {

inline const std::string kBoard1 =
    "Board-1 PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=11 AFD=12 INIT=13 SLIN=14 KSI4=15 "
    "KSI5=16 KB_pins=30";
inline const std::string kBoard2 =
    "Board-2 PD0=30 PD1=29 PD2=28 PD3=27 PD4=26 PD5=25 PD6=24 PD7=23 BUSY=21 STB=20 AFD=19 INIT=18 SLIN=17 "
    "KSI4=16 KSI5=15 KB_pins=30";

inline const std::string kIteVersion = "Q27 ITE_PROJ FW 2.3 bench unit\\r\\n";

inline ite::IteBounds IteShortBounds() {
  return {.connectMs = 1000, .answerMs = 300, .blockMs = 300, .eraseMs = 2000, .drainMs = 500};
}

inline sim::SimOptions IteOptions(Faults faults) { return Options("ITE", std::move(faults)); }

struct IteBench : TaskBench {
  explicit IteBench(sim::SimOptions options = {}, ite::IteBounds bounds = IteShortBounds())
      : TaskBench(Prepared(std::move(options))), ops(d2xx, view, bounds) {
    ops.FormCreate({true, {kBoard1, kBoard2, ""}});
  }

  sim::IteSim& chip() { return dynamic_cast<sim::IteSim&>(*programmer.commandSet("ITE")); }

  // Chooses a board and sends its pins; the transcript starts after it.
  bool apply(int entry = 1) {
    ops.ITE_ComboBox_MB_SWITCHSelect(entry);
    ops.apply();
    const bool ok = view.endings().back();
    programmer.clearTranscript();
    mark_ = view.endings().size();
    return ok;
  }

  // Clicks READ into `name` in the bench's folder.
  void clickRead(const std::string& name) {
    view.answerDialog(dir.file(name));
    ops.ITE_READ_BitBtnClick();
  }

  // Clicks WRITE with the image saved as `name` in the bench's folder; `yes` answers the
  // question before an unusual image.
  void clickWrite(const std::string& name, const std::vector<std::uint8_t>& image, bool yes = false) {
    WriteFileBytes(dir.file(name), image);
    view.answerDialog(dir.file(name));
    if (yes) view.answerYesNo(true);
    ops.ITE_WRITE_BitBtnClick();
  }

  // Waits for the end of the action started since the last apply or wait.
  bool waitEnded(int seconds) {
    const bool ended = view.waitEnded(std::chrono::seconds(seconds), static_cast<int>(mark_ + 1));
    mark_ = view.endings().size();
    return ended;
  }

  IteOperations ops;

 private:
  static sim::SimOptions Prepared(sim::SimOptions options) {
    options.image = "ITE";
    // A wrong board is told within 600 ms instead of the firmware's 5 s.
    if (!options.has("ite-connect-window-ms")) options.faults["ite-connect-window-ms"] = "600";
    // A version text of the full 32 bytes spares every open the read time-out.
    if (!options.has("version")) options.faults["version"] = kIteVersion;
    return options;
  }
  std::size_t mark_ = 0;
};

// The read's pre-preparation as register writes: A reg W value, thirteen times.
inline std::vector<std::uint8_t> ReadPreparationBytes() {
  const std::uint8_t table[13][2] = {{0x27, 0x01}, {0x27, 0x80}, {0x04, 0xFF}, {0x07, 0x7F}, {0x06, 0xFF},
                                     {0x05, 0xFE}, {0x08, 0x00}, {0x05, 0xFD}, {0x08, 0x0B}, {0x08, 0x00},
                                     {0x08, 0x00}, {0x08, 0x00}, {0x08, 0x00}};
  std::vector<std::uint8_t> bytes;
  for (const auto& step : table) bytes.insert(bytes.end(), {'A', step[0], 'W', step[1]});
  return bytes;
}

// The whole read exchange after the open's 'B': Connect, pre-preparation, 512 blocks, 49.
inline std::vector<std::uint8_t> ReadExchange() {
  std::vector<std::uint8_t> bytes{'T'};
  const auto prep = ReadPreparationBytes();
  bytes.insert(bytes.end(), prep.begin(), prep.end());
  bytes.insert(bytes.end(), 512, 'r');
  bytes.push_back('I');
  return bytes;
}

inline std::string FailureLine(const std::string& code) {
  return "ITE мульт нам не отвечает, проверяйте соединение и настройки выводов. MB запитана? (" + code + ")";
}

}  // namespace jig::test
