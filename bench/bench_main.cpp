// jig-bench: each transfer against the simulator with wire time on, next to the time the
// wire and the programmer need at best, and the host's CPU time while it ran.
#include <sys/resource.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "Kb901x_form/Kb90Operations.h"
#include "Npce/NpceOperations.h"
#include "link/ConsoleView.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"
#include "main/BootUpload.h"
#include "sim/NpceSim.h"
#include "sim/StandInImage.h"
#include "sim/SimD2xx.h"
#include "sim/WireModel.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// At best: the request on the wire, the answer on the wire, and the latency timer for a
// last packet that is not full.
double ExchangeModelSeconds(std::size_t requestBytes, std::size_t answerBytes, std::uint32_t baud,
                            std::uint32_t latencyMs) {
  const double byteTime = 10.0 / baud;
  double seconds = static_cast<double>(requestBytes + answerBytes) * byteTime;
  if (answerBytes % jig::sim::WireModel::kPacketDataBytes != 0) seconds += latencyMs / 1000.0;
  return seconds;
}

struct Row {
  std::string name;
  std::size_t bytes;
  double wall;
  double model;
  double cpu;
};

class NullView : public jig::TaskView {
 public:
  void log(std::string) override {}
  void clearLog() override {}
  void setGaugeMax(std::string_view, int) override {}
  void setGauge(std::string_view, int) override {}
  void setGaugeColour(std::string_view, jig::Rgb) override {}
  void enable(std::string_view, bool) override {}
  void setCaption(std::string_view, std::string) override {}
  void paint(std::string_view, jig::Rgb) override {}
  void select(std::string_view, int) override {}
  void showWindow(std::string_view, bool) override {}
  void setTimer(std::string_view, bool) override {}
  void ended(bool) override {}
  std::optional<std::string> askSaveFile(const jig::FileDialog&) override { return std::nullopt; }
  std::optional<std::string> askOpenFile(const jig::FileDialog&) override { return std::nullopt; }
  void errorBox(std::string) override {}
};

// A view whose operation end can be waited for; dialogs answer with one file.
class EndingView : public NullView {
 public:
  explicit EndingView(std::string file) : file_(std::move(file)) {}
  void ended(bool ok) override {
    std::lock_guard lock(mutex_);
    ended_ = true;
    ok_ = ok;
    changed_.notify_all();
  }
  std::optional<std::string> askSaveFile(const jig::FileDialog&) override { return file_; }
  std::optional<std::string> askOpenFile(const jig::FileDialog&) override { return file_; }
  bool waitEnded() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::minutes(2), [&] { return ended_; });
    const bool ok = ended_ && ok_;
    ended_ = false;
    return ok;
  }

 private:
  std::string file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false;
  bool ok_ = false;
};

// Runs body repeats times; the row holds the mean of one run.
Row Measure(const std::string& name, std::size_t bytes, double model, int repeats, const std::function<void()>& body) {
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  for (int i = 0; i < repeats; ++i) body();
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count() / repeats;
  const double cpu = (CpuSeconds() - cpu0) / repeats;
  return {name, bytes, wall, model, cpu};
}

}  // namespace

int main() {
  using namespace jig;
  std::vector<Row> rows;
  constexpr int kRepeats = 50;

  {
    sim::SimD2xx d2xx;
    sim::SimOptions options;
    options.wireTime = true;
    d2xx.attach(options);
    ProgrammerLink link(d2xx, 64);
    DWORD count = 0;
    d2xx.FT_CreateDeviceInfoList(&count);
    d2xx.FT_Open(0, &link.handle);
    link.isOpen = true;
    d2xx.FT_SetBaudRate(link.handle, 921600);
    d2xx.FT_SetTimeouts(link.handle, 300, 300);
    d2xx.FT_SetLatencyTimer(link.handle, 2);
    rows.push_back(Measure("'B' round trip (latency 2 ms)", 4, ExchangeModelSeconds(1, 3, 921600, 2), kRepeats, [&] {
      link.writeByte('B');
      QueueWait(link, 3, 1000);
    }));
    link.close();
  }
  {
    sim::SimD2xx d2xx;
    sim::SimOptions options;
    options.wireTime = true;
    d2xx.attach(options);
    NullView view;
    // The KB90xx profile asks before it sets the latency timer: the bridge's 16 ms rules.
    rows.push_back(Measure("OpenProgrammer, KB90xx profile", 4, ExchangeModelSeconds(1, 3, 921600, 16), 20, [&] {
      d2xx.programmer(0).setLatency(16);
      ProgrammerLink link(d2xx, 64);
      OpenProgrammer(link, profiles::kKb90, view);
      link.close();
    }));
    rows.push_back(Measure("OpenProgrammer, EDID profile", 4, ExchangeModelSeconds(1, 3, 921600, 2), 20, [&] {
      ProgrammerLink link(d2xx, 64);
      OpenProgrammer(link, profiles::kEdid, view);
      link.close();
    }));
  }

  {
    // A whole 6144-byte image into the boot loader at 115200 baud: per line the 44 bytes
    // out, then the short answer, which the bridge hands over when its latency timer runs
    // out after the answer's first byte (the other bytes arrive within that time).
    sim::SimD2xx d2xx;
    sim::SimOptions options;
    options.wireTime = true;
    options.image = "BOOT";
    d2xx.attach(options);
    ProgrammerLink link(d2xx, 64);
    DWORD count = 0;
    d2xx.FT_CreateDeviceInfoList(&count);
    d2xx.FT_Open(0, &link.handle);
    link.isOpen = true;
    d2xx.FT_SetBaudRate(link.handle, 115200);
    d2xx.FT_SetTimeouts(link.handle, 300, 300);
    d2xx.FT_SetLatencyTimer(link.handle, 2);
    link.writeByte('U');
    DWORD greeted = 0;
    Gather(link, 14, 1000, greeted);
    FirmwareImage image;
    const auto data = sim::StandInImage("V41");
    std::copy(data.begin(), data.end(), image.bytes.begin());
    image.lastUsed = static_cast<unsigned>(data.size() - 1);
    const std::size_t lines = kFirmwareImageSize / 16;
    const auto latencyBound = [](std::size_t request, std::size_t answer) {
      const double byteTime = 10.0 / 115200;
      return static_cast<double>(request + 1) * byteTime +
             std::max(0.002, static_cast<double>(answer - 1) * byteTime);
    };
    const double model = latencyBound(3, 7) + static_cast<double>(lines) * latencyBound(kHexLineSize, 3) +
                         latencyBound(12, 7);
    NullView view;
    bool ok = true;
    rows.push_back(Measure("boot-loader upload, 6144 bytes", kFirmwareImageSize, model, 3, [&] {
      ok = ok && UploadFirmwareImage(link, image, view) == kResultUpgradeOk;
    }));
    link.close();
    if (!ok) std::printf("boot-loader upload FAILED\n");
  }

  {
    // KB90xx: 128 KiB each way. Every block is an exchange of its own, so every partial
    // last packet waits out the 2 ms latency timer.
    using namespace jig;
    const std::string file = (std::filesystem::temp_directory_path() / "jig-bench-kb90.bin").string();
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      for (int i = 0; i < 131072; ++i) out.put(static_cast<char>(i * 7));
    }
    const double open = ExchangeModelSeconds(1, 3, 921600, 16) + ExchangeModelSeconds(1, 1, 921600, 2);
    double readModel = open;
    for (int k = 0; k < 512; ++k) readModel += ExchangeModelSeconds(1, 256, 921600, 2);
    double writeModel = open;
    for (int k = 0; k < 512; ++k)
      writeModel += ExchangeModelSeconds(1, 1, 921600, 2) + ExchangeModelSeconds(256, 1, 921600, 2);
    writeModel += ExchangeModelSeconds(2, 512 + 4, 921600, 2);
    for (const bool write : {true, false}) {
      sim::SimD2xx d2xx;
      sim::SimOptions options;
      options.wireTime = true;
      d2xx.attach(options);
      EndingView view(write ? file : file + ".read");
      Kb90Operations operations(d2xx, view);
      bool ok = true;
      rows.push_back(Measure(write ? "KB90xx write + verify, 128 KiB" : "KB90xx read, 128 KiB", 131072,
                             write ? writeModel : readModel, 3, [&] {
                               d2xx.programmer(0).setLatency(16);
                               if (write) operations.KB901X_WRITEClick();
                               else operations.KB901X_READClick();
                               ok = view.waitEnded() && ok;
                             }));
      if (!ok) std::fprintf(stderr, "KB90xx %s did not succeed\n", write ? "write" : "read");
    }
    std::filesystem::remove(file);
    std::filesystem::remove(file + ".read");
  }

  {
    // NPCE: the whole click, from the open to the last signal, against the sum of its
    // exchanges; the open asks before it sets the latency timer (the bridge's 16 ms).
    using sim::NpceSim;
    constexpr std::uint32_t kBaud = 921600;
    constexpr long long kEraseMs = 200;
    sim::SimOptions options;
    options.image = "NPCE";
    options.wireTime = true;
    options.faults["version"] = "Q27 NPCE288 FW 1.7 bench units\\r\\n";  // the 32 bytes the open reads
    options.faults["npce-erase-ms"] = std::to_string(kEraseMs);
    sim::SimD2xx d2xx;
    d2xx.attach(options);
    const std::string path = "/tmp/jig-bench-npce.bin";
    std::vector<std::uint8_t> image(NpceSim::kFlashSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    {
      std::FILE* file = std::fopen(path.c_str(), "wb");
      if (file) {
        std::fwrite(image.data(), 1, image.size(), file);
        std::fclose(file);
      }
    }
    auto exchange = [&](std::size_t request, std::size_t answer) { return ExchangeModelSeconds(request, answer, kBaud, 2); };
    const double open = ExchangeModelSeconds(1, 32, kBaud, 16) + exchange(1, 4) + exchange(1, 1);
    const double readBack = 256 * exchange(1, 512) + exchange(1, 2) + exchange(1, 1);
    const double readModel = open + readBack;
    const double writeModel = open + exchange(1, 2) + kEraseMs / 1000.0 + exchange(1, 2) +
                              std::chrono::duration<double>(NpceSim::kBlankCheckTime).count() +
                              512 * (exchange(1, 1) + exchange(256, 1) +
                                     std::chrono::duration<double>(NpceSim::kPageProgramTime).count()) +
                              exchange(1, 1) + readBack;
    auto run = [&](bool write) {
      d2xx.programmer(0).setLatency(16);
      std::ostringstream out, err;
      ConsoleView view(out, err);
      if (write) view.setOpenFile(path);
      else view.setSaveFile(path + ".read", true);
      NpceOperations operations(d2xx, view);
      if (write) operations.NPCE_WRITEClick();
      else operations.NPCE_READClick();
      if (view.waitEnded(std::chrono::seconds(60)) != true) std::fprintf(stderr, "NPCE %s failed:\n%s", write ? "write" : "read", out.str().c_str());
    };
    rows.push_back(Measure("NPCE read 128 KiB", NpceSim::kFlashSize, readModel, 3, [&] { run(false); }));
    rows.push_back(Measure("NPCE erase, write and verify", 2 * NpceSim::kFlashSize, writeModel, 2, [&] { run(true); }));
    std::remove(path.c_str());
    std::remove((path + ".read").c_str());
  }

  std::printf("%-34s %8s %11s %11s %8s %9s\n", "transfer", "bytes", "wall ms", "model ms", "ratio", "cpu/wall");
  for (const Row& row : rows)
    std::printf("%-34s %8zu %11.3f %11.3f %8.3f %8.1f%%\n", row.name.c_str(), row.bytes, row.wall * 1e3,
                row.model * 1e3, row.wall / row.model, 100.0 * row.cpu / row.wall);
  return 0;
}
