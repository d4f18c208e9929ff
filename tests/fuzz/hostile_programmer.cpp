// Every action of every task window against a programmer whose every answer comes from
// the fuzzer. Each run must end within its bound with exactly one ending per click and the
// handle closed; anything else aborts so the fuzzer keeps the input.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "Edid/EdidOperations.h"
#include "Ite/IteOperations.h"
#include "Kb901x_form/Kb90Operations.h"
#include "Keyboard/KeyboardOperations.h"
#include "Mec16xx/Mec16Operations.h"
#include "Npce/NpceOperations.h"
#include "tests/fuzz/HostileDevice.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace {

using namespace jig;
using std::chrono::milliseconds;

// Far beyond the longest chain of the short bounds below, short enough to call a hang.
constexpr milliseconds kRunBound{20000};

const std::string kIteBoard =
    "Board-1 PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=11 AFD=12 INIT=13 SLIN=14 KSI4=15 "
    "KSI5=16 KB_pins=30";

[[noreturn]] void Finding(const char* action, const char* what) {
  std::fprintf(stderr, "hostile programmer: %s: %s\n", action, what);
  std::abort();
}

// The files the writes read and the reads replace, made once.
struct Files {
  Files() {
    std::vector<std::uint8_t> image(196608);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    test::WriteFileBytes(source, image);
    test::WriteFileBytes(edidSource, std::vector<std::uint8_t>(image.begin(), image.begin() + 256));
    test::WriteFileBytes(flashSource, std::vector<std::uint8_t>(image.begin(), image.begin() + 131072));
  }
  test::TempDir dir;
  std::string source = dir.file("source.bin");
  std::string edidSource = dir.file("edid.bin");
  // 128 KiB: a larger file is refused before the write of a 128 KiB chip starts.
  std::string flashSource = dir.file("flash.bin");
  std::string dump = dir.file("dump.bin");
};

Files& TheFiles() {
  static Files files;
  return files;
}

enum Action {
  EdidRead, EdidWrite, Kb90Read, Kb90Write, KeyboardScan, Mec16Probe, Mec16Read, Mec16Erase, Mec16Write,
  IteApply, IteCheck, IteRead, IteWrite, NpceRead, NpceWrite, ActionCount
};
const char* const kNames[ActionCount] = {"EdidRead",  "EdidWrite", "Kb90Read",  "Kb90Write", "KeyboardScan",
                                         "Mec16Probe", "Mec16Read", "Mec16Erase", "Mec16Write", "IteApply",
                                         "IteCheck",  "IteRead",   "IteWrite",  "NpceRead",  "NpceWrite"};

// Clicks, waits for the endings it should see, joins whatever worker is left.
void Run(Action action, fuzz::HostileDevice& device, test::RecordingView& view) {
  Files& files = TheFiles();
  int endings = 1;
  auto ended = [&] {
    if (!view.waitEnded(kRunBound, endings)) Finding(kNames[action], "no ending within the bound");
  };
  switch (action) {
    case EdidRead:
    case EdidWrite: {
      EdidOperations ops(device, view, EdidBounds{10, 10, 10});
      view.answerDialog(action == EdidRead ? files.dump : files.edidSource);
      if (action == EdidRead) ops.read();
      else {
        view.answerYesNo(true);  // the pattern is no EDID: write it past the checksum question
        ops.write();
      }
      ended();
      break;
    }
    case Kb90Read:
    case Kb90Write: {
      Kb90Operations ops(device, view, Kb90Bounds{10, 10, 10, 10, 10, 10});
      view.answerDialog(action == Kb90Read ? files.dump : files.flashSource);
      if (action == Kb90Read) ops.KB901X_READClick();
      else ops.KB901X_WRITEClick();
      ended();
      break;
    }
    case KeyboardScan: {
      KeyboardOperations ops(device, view, KeyboardBounds{10, 50});
      ops.startScan();
      // A few ticks of Timer_keyboard_scan, then EXIT stops the scan if it still runs.
      for (int tick = 0; tick < 20 && view.endings().empty(); ++tick) {
        std::this_thread::sleep_for(milliseconds(1));
        ops.Timer_keyboard_scanTimer();
      }
      if (view.endings().empty()) ops.endTest();
      ended();
      ops.waitForScan();
      break;
    }
    case Mec16Probe:
    case Mec16Read:
    case Mec16Erase:
    case Mec16Write: {
      Mec16Operations ops(device, view, Mec16Bounds{10, 10, 10, 50});
      if (action == Mec16Probe) ops.probe();
      if (action == Mec16Read) view.answerDialog(files.dump), ops.read(true);
      if (action == Mec16Erase) view.answerYesNo(true), ops.erase(true);
      if (action == Mec16Write) view.answerDialog(files.source), ops.write(true);
      ended();
      ops.job().joinWorker();
      break;
    }
    case IteApply:
    case IteCheck:
    case IteRead:
    case IteWrite: {
      IteOperations ops(device, view, {.connectMs = 20, .answerMs = 10, .blockMs = 10, .eraseMs = 50, .drainMs = 10});
      ops.FormCreate({true, {kIteBoard, ""}});
      // Choosing the board is an action of its own, with its own ending.
      ops.ITE_ComboBox_MB_SWITCHSelect(1);
      ended();
      ++endings;
      if (action != IteApply) {
        // The pins go out first, as a user does; the action follows whatever APPLY got.
        ops.apply();
        ended();
        ops.job().joinWorker();
        ++endings;
      }
      if (action == IteApply) ops.apply();
      if (action == IteCheck) ops.checkConnection();
      if (action == IteRead) view.answerDialog(files.dump), ops.ITE_READ_BitBtnClick();
      if (action == IteWrite) view.answerDialog(files.source), ops.ITE_WRITE_BitBtnClick();
      ended();
      ops.job().joinWorker();
      break;
    }
    case NpceRead:
    case NpceWrite: {
      NpceOperations ops(device, view,
                         {.eraseMs = 20, .blankCheckMs = 20, .blockMs = 10, .answerMs = 10, .drainMs = 10, .byteTries = 1});
      view.answerDialog(action == NpceRead ? files.dump : files.flashSource);
      if (action == NpceRead) ops.NPCE_READClick();
      else ops.NPCE_WRITEClick();
      ended();
      break;
    }
    case ActionCount:
      break;
  }
  // The operations are gone (workers joined): nothing may end twice or stay open.
  if (view.endings().size() != static_cast<std::size_t>(endings)) {
    for (const auto& line : view.allLines()) std::fprintf(stderr, "  | %s\n", line.c_str());
    std::fprintf(stderr, "  %zu endings, %d expected\n", view.endings().size(), endings);
    Finding(kNames[action], "a click did not end exactly once");
  }
  if (device.openHandles() != 0) Finding(kNames[action], "the handle was left open");
}

}  // namespace

// Input: the action, a flag byte (bit 0: pulled out when the answers run out, else
// silent), then the answers.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto action = static_cast<Action>(data[0] % ActionCount);
  fuzz::HostileDevice device(std::span(data + 2, size - 2), (data[1] & 1) != 0);
  test::RecordingView view;
  Run(action, device, view);
  return 0;
}
