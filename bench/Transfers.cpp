#include "bench/Transfers.h"

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include <array>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "Edid/EdidDecode.h"
#include "Edid/EdidOperations.h"
#include "Ite/IteOperations.h"
#include "Ite/MbConnectionIte.h"
#include "Kb901x_form/Kb90Operations.h"
#include "Keyboard/KeyboardOperations.h"
#include "Mec16xx/Mec16Operations.h"
#include "Npce/NpceOperations.h"
#include "cli/ConsoleView.h"
#include "Keyboard/KeyboardBounds.h"
#include "link/OpenProgrammer.h"
#include "link/ReadIdioms.h"
#include "main/BootUpload.h"
#include "sim/Kb90Sim.h"
#include "sim/Mec16Sim.h"
#include "sim/IteSim.h"
#include "sim/NpceSim.h"
#include "sim/EdidSim.h"
#include "sim/SimD2xx.h"
#include "sim/StandInImage.h"
#include "sim/WireModel.h"
#include "Edid/EdidFamily.h"
#include "Ite/IteFamily.h"
#include "Kb901x_form/Kb90Family.h"
#include "Keyboard/KeyboardFamily.h"
#include "Mec16xx/Mec16Family.h"
#include "Npce/NpceFamily.h"

namespace jig::bench {

namespace {

using Clock = std::chrono::steady_clock;
using Transcript = std::vector<sim::TranscriptEntry>;

double Seconds(sim::WireDuration duration) { return std::chrono::duration<double>(duration).count(); }

// A view that says nothing and answers no dialog (the raw-link rows need one).
class QuietView : public TaskView {
 public:
  void log(std::string) override {}
  void clearLog() override {}
  void setGaugeMax(std::string_view, int) override {}
  void setGauge(std::string_view, int) override {}
  void setGaugeColour(std::string_view, Rgb) override {}
  void enable(std::string_view, bool) override {}
  void setCaption(std::string_view, std::string) override {}
  void paint(std::string_view, Rgb) override {}
  void select(std::string_view, int) override {}
  void showWindow(std::string_view, bool) override {}
  void setTimer(std::string_view, bool) override {}
  void ended(bool) override {}
  std::optional<std::string> askSaveFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> askOpenFile(const FileDialog&) override { return std::nullopt; }
  void errorBox(std::string) override {}
  bool askYesNo(std::string) override { return false; }
};

// With JIG_BENCH_GAPS set: the three longest host turnarounds of a run and what the
// host wrote after each, to find where a row loses its time.
void ShowLongestTurnarounds(const Transcript& transcript) {
  std::vector<std::pair<double, std::string>> gaps;
  for (std::size_t i = 1; i < transcript.size(); ++i) {
    if (!transcript[i].toDevice) continue;
    const Transcript upTo(transcript.begin(), transcript.begin() + static_cast<std::ptrdiff_t>(i + 1));
    const Transcript before(transcript.begin(), transcript.begin() + static_cast<std::ptrdiff_t>(i));
    const double gap = Seconds(sim::HostTurnaround(upTo) - sim::HostTurnaround(before));
    std::string head;
    for (std::size_t k = 0; k < std::min<std::size_t>(4, transcript[i].bytes.size()); ++k) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X ", transcript[i].bytes[k]);
      head += hex;
    }
    gaps.emplace_back(gap, "write #" + std::to_string(i) + ": " + head);
    if (i > 4000) break;  // enough to see a pattern
  }
  std::sort(gaps.rbegin(), gaps.rend());
  for (std::size_t k = 0; k < std::min<std::size_t>(3, gaps.size()); ++k)
    std::fprintf(stderr, "  turnaround %.3f ms before %s\n", gaps[k].first * 1e3, gaps[k].second.c_str());
}

// Times one run of body against the programmer's transcript; model turns the transcript
// into the best-case seconds (BestCaseTime unless the row says otherwise).
template <typename Body, typename Model>
void Time(sim::SimProgrammer& programmer, Sample& sample, Body&& body, Model&& model) {
  programmer.clearTranscript();
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  const bool ok = body();
  const auto t1 = Clock::now();
  sample.wall += std::chrono::duration<double>(t1 - t0).count();
  sample.cpu += CpuSeconds() - cpu0;
  const Transcript transcript = programmer.transcript();
  sample.model += model(transcript);
  sample.turnaround += Seconds(sim::HostTurnaround(transcript));
  sample.modelAt16Ms += Seconds(sim::BestCaseTime(transcript, 16));
  if (std::getenv("JIG_BENCH_GAPS") && !transcript.empty()) {
    ShowLongestTurnarounds(transcript);
    if (transcript.size() < 12)
      for (const auto& entry : transcript)
        std::fprintf(stderr, "    %s %zu bytes at %.3f ms, work %.3f ms\n", entry.toDevice ? "host" : "programmer",
                     entry.bytes.size(), std::chrono::duration<double, std::milli>(entry.at - t0).count(),
                     std::chrono::duration<double, std::milli>(entry.work).count());
    std::fprintf(stderr, "  before the first write %.3f ms, after the last answer was sent %.3f ms\n",
                 std::chrono::duration<double, std::milli>(transcript.front().at - t0).count(),
                 std::chrono::duration<double, std::milli>(t1 - transcript.back().at).count());
  }
  sample.ok = sample.ok && ok;
  ++sample.runs;
}

double WholeExchange(const Transcript& transcript) { return Seconds(sim::BestCaseTime(transcript)); }

// A link opened by hand (no profile): for the rows that time one exchange.
ProgrammerLink OpenRaw(sim::SimD2xx& d2xx, DWORD baud) {
  ProgrammerLink link(d2xx, 64);
  DWORD count = 0;
  d2xx.FT_CreateDeviceInfoList(&count);
  d2xx.FT_Open(0, &link.handle);
  link.isOpen = true;
  d2xx.FT_SetBaudRate(link.handle, baud);
  d2xx.FT_SetTimeouts(link.handle, 300, 300);
  d2xx.FT_SetLatencyTimer(link.handle, 2);
  return link;
}

sim::SimOptions WireOn(const std::string& image) {
  sim::SimOptions options;
  options.wireTime = true;
  options.image = image;
  return options;
}

std::string TempFile(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("jig-bench-" + std::to_string(getpid()) + "-" + name)).string();
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  return bytes;
}

// A sound EDID image (header and both block checksums right), so that the write does not
// stop to ask about a wrong checksum.
std::vector<std::uint8_t> EdidImage() {
  auto bytes = Pattern(sim::EdidSim::kSize);
  const std::uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  std::copy(std::begin(header), std::end(header), bytes.begin());
  edid::FixEdidChecksums(bytes);
  return bytes;
}

// A version answer of length bytes as a firmware image may send it: its tag first (cut to
// the length when the length is shorter), then more text, CR LF at the end.
std::string VersionAnswer(std::string_view tag, std::size_t length) {
  std::string text(tag.substr(0, std::min(tag.size(), length)));
  const bool lineEnd = length >= text.size() + 2;
  const std::string_view more = " Q27 FW 1.7 bench unit programmer";
  const std::size_t body = lineEnd ? length - 2 : length;
  text += more.substr(0, std::min(body - text.size(), more.size()));
  if (lineEnd) text += "\r\n";
  return text;
}

// A console view that counts the operation endings, so that a set-up click before the
// timed one does not end the wait early.
class CountingView : public ConsoleView {
 public:
  using ConsoleView::ConsoleView;
  void ended(bool success) override {
    ConsoleView::ended(success);
    std::lock_guard lock(mutex_);
    ++endings_;
    last_ = success;
    changed_.notify_all();
  }
  // True when the n-th ending came within the bound and said success.
  bool waitEndings(int n, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return endings_ >= n; }) && last_;
  }
  int endings() {
    std::lock_guard lock(mutex_);
    return endings_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int endings_ = 0;
  bool last_ = false;
};

// The longest click: the ITE write of a half-FF image, one exchange per byte not FF.
constexpr std::chrono::minutes kClickBound{6};

// One window click (the operation without its window), run repeats times on one
// simulated programmer, from the click to its end. The bridge starts each run at its
// 16 ms default, as after plugging in.
template <typename Operations, typename Prepare, typename Click>
Sample Clicks(sim::SimOptions options, double bytes, int repeats, Prepare prepare, Click click,
              double (*model)(const Transcript&) = WholeExchange) {
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach(std::move(options));
  Sample sample;
  sample.bytes = bytes;
  for (int i = 0; i < repeats && sample.ok; ++i) {
    programmer.setLatency(16);
    std::ostringstream out, err;
    CountingView view(out, err);
    Operations operations(d2xx, view);
    if (!prepare(operations, view)) {
      sample.ok = false;
    } else {
      const int before = view.endings();
      Time(programmer, sample, [&] {
        click(operations, view);
        return view.waitEndings(before + 1, kClickBound);
      }, model);
    }
    if (!sample.ok) std::fprintf(stderr, "%s", (out.str() + err.str()).c_str());
  }
  return sample;
}

auto SaveTo(std::string path) {
  return [path](auto&, CountingView& view) {
    view.setSaveFile(path, true);
    return true;
  };
}

auto OpenFrom(std::string path) {
  return [path](auto&, CountingView& view) {
    view.setOpenFile(path);
    return true;
  };
}

constexpr int kScanSeconds = 2;

// The scan polls on its 100 ms timer for as long as asked: that time is the user's, not
// the wire's. At best: the exchanges before the first poll, the scan time, and the
// exchanges from the last poll on.
double ScanModel(const Transcript& transcript) {
  const auto isPoll = [](const sim::TranscriptEntry& entry) {
    return entry.toDevice && entry.bytes.size() == 1 && entry.bytes[0] == 'U';
  };
  const auto first = std::find_if(transcript.begin(), transcript.end(), isPoll);
  const auto last = std::find_if(transcript.rbegin(), transcript.rend(), isPoll);
  if (first == transcript.end()) return WholeExchange(transcript) + kScanSeconds;
  const Transcript before(transcript.begin(), first);
  const Transcript after(last.base() - 1, transcript.end());
  return WholeExchange(before) + kScanSeconds + WholeExchange(after);
}

// The pins of the simulated board's wiring, applied once before the first timed click
// (as a technician does once per board; the programmer keeps them).
auto IteReady(std::string path, bool save) {
  return [path, save, applied = false](IteOperations& operations, CountingView& view) mutable {
    if (!applied) {
      constexpr std::array<int, ite::kSignalCount> kWiring = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16};
      for (int signal = 0; signal < ite::kSignalCount; ++signal)
        operations.setPin(signal, kWiring[static_cast<std::size_t>(signal)]);
      const int before = view.endings();
      operations.apply();
      if (!view.waitEndings(before + 1, kClickBound)) return false;
      applied = true;
    }
    if (save) view.setSaveFile(path, true);
    else view.setOpenFile(path);
    return true;
  };
}

// The scan as the window runs it: its timer ticks every 100 ms (a sleeping thread here)
// until the scan has ended; EXIT stops it after the time asked for.
void Scan(KeyboardOperations& operations, CountingView& view) {
  const int before = view.endings();
  operations.startScan();
  if (!operations.scanning()) return;
  std::jthread ticker([&operations](std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any sleep;
    std::unique_lock lock(mutex);
    while (!sleep.wait_for(lock, stop, std::chrono::milliseconds(limits::kKeyboardTickIntervalMs), [] { return false; }) &&
           !stop.stop_requested())
      operations.Timer_keyboard_scanTimer();
  });
  // A scan that fails by itself ends before the time asked for.
  if (view.waitEndings(before + 1, std::chrono::seconds(kScanSeconds))) return;
  operations.endTest();
  view.waitEndings(before + 1, kClickBound);
}

using AddRow = std::function<void(const std::string&, const std::function<Sample()>&)>;

// A scratch file a row wrote, and the dump a read made beside it.
void RemoveFiles(const std::string& file) {
  std::filesystem::remove(file);
  std::filesystem::remove(file + ".read");
}

// The bare exchanges: one command and its answer, and the start query.
void AddQueryRows(const AddRow& add, int repeats) {
  add("'B' round trip, latency timer 2 ms", [&] {
    sim::SimD2xx d2xx;
    auto& programmer = d2xx.attach(WireOn("V41"));
    auto link = OpenRaw(d2xx, 921600);
    Sample sample;
    sample.bytes = 4;
    for (int i = 0; i < 20 * repeats; ++i)
      Time(programmer, sample, [&] {
        link.writeByte('B');
        return QueueWait(link, 3, 1000) == WaitResult::Ok && link.transferred == 3;
      }, WholeExchange);
    link.close();
    return sample;
  });

  // The start query asks for 16 bytes: a shorter answer ends on the line's silence. The
  // bridge is at its 16 ms default for the first Start after plugging in, and at 2 ms for
  // every later one (each open leaves it there).
  for (const std::uint32_t latency : {16u, 2u})
    for (const std::size_t length : {3u, 13u})
      add("version, " + std::to_string(length) + " B answer, latency timer " + std::to_string(latency) + " ms", [&] {
        sim::SimD2xx d2xx;
        auto options = WireOn("V41");
        options.faults["version"] = VersionAnswer("V41", length);
        auto& programmer = d2xx.attach(options);
        Sample sample;
        sample.bytes = 1.0 + static_cast<double>(length);
        for (int i = 0; i < 5 * repeats; ++i) {
          programmer.setLatency(latency);
          Time(programmer, sample, [&] {
            ProgrammerLink link(d2xx, 64);
            const std::string text = QueryProgrammerVersion(link);
            link.close();
            return text.starts_with("V41");
          }, WholeExchange);
        }
        return sample;
      });
}

// Each window's open of the programmer, and the boot loader's upload.
void AddOpenRows(const AddRow& add, int repeats) {
  const int few = std::max(1, repeats / 3);
  // One open per window profile, with the tag cut to 3 bytes and with a 13-byte text; the
  // bridge at the 2 ms an earlier open left it at. A 3-byte answer cannot hold "NPCE": that
  // open ends in WrongFirmware, as it should.
  for (const OpenProfile* profile :
       {&profiles::kEdid, &profiles::kKb90, &profiles::kKeyboard, &profiles::kMec16, &profiles::kIte, &profiles::kNpce})
    for (const std::size_t length : {3u, 13u})
      add("open, " + std::string(profile->window) + " profile, " + std::to_string(length) + " B answer", [&] {
        sim::SimD2xx d2xx;
        auto options = WireOn(std::string(profile->tag));
        options.faults["version"] = VersionAnswer(profile->tag, length);
        auto& programmer = d2xx.attach(options);
        const OpenResult expected = length >= profile->tag.size() ? OpenResult::Ready : OpenResult::WrongFirmware;
        QuietView view;
        Sample sample;
        sample.bytes = 1.0 + static_cast<double>(length);
        for (int i = 0; i < 5 * repeats; ++i) {
          programmer.setLatency(2);
          Time(programmer, sample, [&] {
            ProgrammerLink link(d2xx, 64);
            const OpenResult result = OpenProgrammer(link, *profile, view);
            link.close();
            return result == expected;
          }, WholeExchange);
          programmer.purge(true, true, sim::SimClock::now());  // what a 3-byte read left of a longer answer
        }
        return sample;
      });

  add("firmware upload, 6144 B at 115200", [&] {
    sim::SimD2xx d2xx;
    auto& programmer = d2xx.attach(WireOn("BOOT"));
    auto link = OpenRaw(d2xx, 115200);
    link.writeByte('U');
    DWORD greeted = 0;
    Gather(link, 14, 1000, greeted);
    FirmwareImage image;
    const auto data = sim::StandInImage("V41");
    std::copy(data.begin(), data.end(), image.bytes.begin());
    image.lastUsed = static_cast<unsigned>(data.size() - 1);
    QuietView view;
    Sample sample;
    sample.bytes = kFirmwareImageSize;
    for (int i = 0; i < few; ++i)
      Time(programmer, sample, [&] { return UploadFirmwareImage(link, image, view) == kResultUpgradeOk; }, WholeExchange);
    link.close();
    return sample;
  });
}

// The EDID EEPROM and the KB90xx flash, read and written.
void AddEdidAndKb90Rows(const AddRow& add, int repeats) {
  const int few = std::max(1, repeats / 3);
  const std::string edid = TempFile("edid.bin");
  WriteFile(edid, EdidImage());
  add("EDID read", [&] {
    return Clicks<EdidOperations>(WireOn("V41"), sim::EdidSim::kSize, 5 * repeats, SaveTo(edid + ".read"),
                                  [](EdidOperations& o, CountingView&) { o.read(); });
  });
  add("EDID write", [&] {
    return Clicks<EdidOperations>(WireOn("V41"), sim::EdidSim::kSize, 5 * repeats, OpenFrom(edid),
                                  [](EdidOperations& o, CountingView&) { o.write(); });
  });

  const std::string kb90 = TempFile("kb90.bin");
  WriteFile(kb90, Pattern(sim::Kb90Sim::kFlashSize));
  add("KB90xx read, 128 KiB", [&] {
    return Clicks<Kb90Operations>(WireOn("V41"), sim::Kb90Sim::kFlashSize, repeats, SaveTo(kb90 + ".read"),
                                  [](Kb90Operations& o, CountingView&) { o.KB901X_READClick(); });
  });
  add("KB90xx write + verify, 128 KiB", [&] {
    return Clicks<Kb90Operations>(WireOn("V41"), 2.0 * sim::Kb90Sim::kFlashSize, few, OpenFrom(kb90),
                                  [](Kb90Operations& o, CountingView&) { o.KB901X_WRITEClick(); });
  });
  RemoveFiles(edid);
  RemoveFiles(kb90);
}

// The MEC16xx and ITE flashes, read and written.
void AddMec16AndIteRows(const AddRow& add, int repeats) {
  const int few = std::max(1, repeats / 3);
  const std::string mec16 = TempFile("mec16.bin");
  WriteFile(mec16, Pattern(sim::Mec16Sim::kMainSize));
  add("MEC16xx MAIN read, 192 KiB", [&] {
    return Clicks<Mec16Operations>(WireOn("V42"), sim::Mec16Sim::kMainSize, repeats, SaveTo(mec16 + ".read"),
                                   [](Mec16Operations& o, CountingView&) { o.read(false); });
  });
  add("MEC16xx MAIN write, 192 KiB", [&] {
    return Clicks<Mec16Operations>(WireOn("V42"), sim::Mec16Sim::kMainSize, few, OpenFrom(mec16),
                                   [](Mec16Operations& o, CountingView&) { o.job().setVerifyAfterWrite(false); o.write(false); });
  });

  // The ITE and NPCE windows' programmers answer with a 13-byte version text, shorter
  // than the 32 bytes their opens ask for.
  const auto IteOptions = [] {
    auto options = WireOn("ITE");
    options.faults["version"] = VersionAnswer("ITE", 13);
    return options;
  };
  const std::string ite = TempFile("ite.bin");
  {
    auto half = Pattern(sim::IteSim::kFlashSize);
    std::fill(half.begin() + static_cast<std::ptrdiff_t>(half.size() / 2), half.end(), 0xFF);
    WriteFile(ite, half);
  }
  add("ITE read, 128 KiB", [&] {
    return Clicks<IteOperations>(IteOptions(), sim::IteSim::kFlashSize, repeats, IteReady(ite + ".read", true),
                                 [](IteOperations& o, CountingView&) { o.ITE_READ_BitBtnClick(); });
  });
  add("ITE write, 128 KiB, half FF", [&] {
    return Clicks<IteOperations>(IteOptions(), sim::IteSim::kFlashSize, 1, IteReady(ite, false),
                                 [](IteOperations& o, CountingView&) {
                                   o.job().setVerifyAfterWrite(false);  // the write alone is measured
                                   o.ITE_WRITE_BitBtnClick();
                                 });
  });
  RemoveFiles(mec16);
  RemoveFiles(ite);
}

// The NPCE flash, read and written, and a keyboard scan.
void AddNpceAndKeyboardRows(const AddRow& add, int repeats) {
  const int few = std::max(1, repeats / 3);
  const std::string npce = TempFile("npce.bin");
  WriteFile(npce, Pattern(sim::NpceSim::kFlashSize));
  auto npceOptions = [] {
    auto options = WireOn("NPCE");
    options.faults["version"] = VersionAnswer("NPCE", 13);
    options.faults["npce-erase-ms"] = "200";
    return options;
  };
  add("NPCE read, 128 KiB", [&] {
    return Clicks<NpceOperations>(npceOptions(), sim::NpceSim::kFlashSize, repeats, SaveTo(npce + ".read"),
                                  [](NpceOperations& o, CountingView&) { o.NPCE_READClick(); });
  });
  add("NPCE erase, write + verify, 128 KiB", [&] {
    return Clicks<NpceOperations>(npceOptions(), 2.0 * sim::NpceSim::kFlashSize, few, OpenFrom(npce),
                                  [](NpceOperations& o, CountingView&) { o.NPCE_WRITEClick(); });
  });

  add("keyboard scan, 2 s", [&] {
    const auto noSound = [](KeyboardOperations& o, CountingView&) {
      o.setNoSound(true);
      return true;
    };
    return Clicks<KeyboardOperations>(WireOn("V41"), 0, 1, noSound, Scan, ScanModel);
  });
  RemoveFiles(npce);
}

}  // namespace

std::vector<Row> RunTransfers(int repeats) {
  std::vector<Row> rows;
  const AddRow add = [&rows](const std::string& name, const std::function<Sample()>& body) {
    if (RowSelected(name)) rows.push_back(RunIsolated(name, body));
  };
  for (const auto& addRows : {AddQueryRows, AddOpenRows, AddEdidAndKb90Rows, AddMec16AndIteRows, AddNpceAndKeyboardRows})
    addRows(add, repeats);
  return rows;
}

}  // namespace jig::bench
