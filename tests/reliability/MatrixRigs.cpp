#include "tests/reliability/MatrixRigs.h"

#include <thread>

#include "Edid/EdidOperations.h"
#include "Ite/IteOperations.h"
#include "Kb901x_form/Kb90Operations.h"
#include "Keyboard/KeyboardOperations.h"
#include "Mec16xx/Mec16Operations.h"
#include "Npce/NpceOperations.h"
#include "app/Families.h"
#include "main/MainForm.h"
#include "sim/Mec16Sim.h"
#include "tests/Ite/IteTestSupport.h"
#include "tests/Mec16xx/Mec16Bench.h"
#include "tests/Npce/NpceBench.h"

namespace jig::test {
namespace {

using std::chrono::milliseconds;

// Bounds short enough for a fast matrix, long enough for a loaded machine under sanitizers.
constexpr EdidBounds kEdidBounds{300, 200, 300};
const Kb90Bounds kKb90Bounds{200, 300, 300, 300, 300, 300};
constexpr KeyboardBounds kKeyboardBounds{300, 300};

// The open's version query and the drain that may follow a failure, in every window.
constexpr std::uint32_t kOpenMs = limits::kNpceQueryTimeoutMs;
constexpr std::uint32_t kDrainMs = limits::kDrainTimeoutMs;

class EdidRig : public Rig {
 public:
  EdidRig(sim::SimOptions options, bool write) : write_(write) {
    programmer_ = &d2xx.attach(std::move(options));
    ops_ = std::make_unique<EdidOperations>(d2xx, view, kEdidBounds);
    if (write_) makeSource("panel.bin", Pattern(256, 5));
    else dumpPath = dir.file("edid.bin");
  }
  void click() override {
    view.answerDialog(write_ ? sourcePath : dumpPath);
    if (write_) view.answerYesNo(true);  // the test pattern is no EDID: write it past the checksum question
    if (write_) ops_->write();
    else ops_->read();
  }
  bool idle() const override { return true; }  // runs in the click: nothing stays behind

 protected:
  void exitClick() override { ops_->EXIT_EDIDClick(); }

 private:
  bool write_;
  std::unique_ptr<EdidOperations> ops_;
};

class Kb90Rig : public Rig {
 public:
  Kb90Rig(sim::SimOptions options, bool write) : write_(write) {
    programmer_ = &d2xx.attach(std::move(options));
    ops_ = std::make_unique<Kb90Operations>(d2xx, view, kKb90Bounds);
    if (write_) makeSource("kb90.bin", Pattern(131072, 9));
    else dumpPath = dir.file("kb90-dump.bin");
  }
  void click() override {
    view.answerDialog(write_ ? sourcePath : dumpPath);
    if (write_) ops_->KB901X_WRITEClick();
    else ops_->KB901X_READClick();
  }
  bool idle() const override { return ops_->mode() == Kb90Mode::None; }
  bool exitWorks() override { return ops_->EXIT_KB901XClick() && Rig::exitWorks(); }

 protected:
  void exitClick() override {}

 private:
  bool write_;
  std::unique_ptr<Kb90Operations> ops_;
};

class KeyboardRig : public Rig {
 public:
  explicit KeyboardRig(sim::SimOptions options) {
    if (!options.has("keyboard-script")) options.faults["keyboard-script"] = "0:1-2;40:;80:3-4";
    programmer_ = &d2xx.attach(std::move(options));
    ops_ = std::make_unique<KeyboardOperations>(d2xx, view, kKeyboardBounds);
    // Timer_keyboard_scan as the window runs it.
    ticker_ = std::jthread([this](std::stop_token stop) {
      while (!stop.stop_requested()) {
        std::this_thread::sleep_for(milliseconds(10));
        ops_->Timer_keyboard_scanTimer();
      }
    });
  }
  ~KeyboardRig() override { ticker_ = {}; }
  void click() override { ops_->startScan(); }
  bool idle() const override { return ops_->modeText() == "NONE" && !view.timerRunning("Timer_keyboard_scan"); }
  void join() override { ops_->waitForScan(); }
  // EXIT while scanning stops the scan.
  void stop() { ops_->endTest(); }

 protected:
  void exitClick() override { ops_->endTest(); }

 private:
  std::unique_ptr<KeyboardOperations> ops_;
  std::jthread ticker_;
};

enum class Mec16Action { Probe, Read, Erase, Write };

class Mec16Rig : public Rig {
 public:
  Mec16Rig(sim::SimOptions options, Mec16Action action) : action_(action) {
    programmer_ = &d2xx.attach(std::move(options));
    ops_ = std::make_unique<Mec16Operations>(d2xx, view, kMec16Bounds);
    if (action_ == Mec16Action::Read) dumpPath = dir.file("mec16-dump.bin");
    if (action_ == Mec16Action::Write) {
      makeSource("mec16.bin", Pattern(196608, 3));
      // Erased, as a technician leaves it before a write: the verify that follows passes.
      dynamic_cast<sim::Mec16Sim&>(*programmer_->commandSet("MEC16")).setMainArray({});
    }
  }
  void click() override {
    switch (action_) {
      case Mec16Action::Probe: ops_->probe(); break;
      case Mec16Action::Read: view.answerDialog(dumpPath); ops_->read(false); break;
      case Mec16Action::Erase: view.answerYesNo(true); ops_->erase(false); break;
      case Mec16Action::Write: view.answerDialog(sourcePath); ops_->write(false); break;
    }
  }
  bool idle() const override { return ops_->mode() == Mec16Mode::None; }
  void join() override { ops_->job().joinWorker(); }

 protected:
  void exitClick() override { ops_->EXIT_MEC16Click(); }

 private:
  Mec16Action action_;
  std::unique_ptr<Mec16Operations> ops_;
};

enum class IteAction { Apply, Check, Read, Write };

class IteRig : public Rig {
 public:
  IteRig(sim::SimOptions options, IteAction action) : action_(action) {
    // A board that does not answer is told within 600 ms instead of the firmware's 5 s.
    if (!options.has("ite-connect-window-ms")) options.faults["ite-connect-window-ms"] = "600";
    programmer_ = &d2xx.attach(std::move(options));
    ops_ = std::make_unique<IteOperations>(d2xx, view, IteShortBounds());
    ops_->FormCreate({true, {kBoard1, ""}});
    if (action_ == IteAction::Read) dumpPath = dir.file("ite-dump.bin");
    if (action_ == IteAction::Write) {
      // Data in the first 8 KiB, erased flash after it: the write skips FFh runs, so the
      // clean run (and every case built on it) programs 8 KiB byte by byte, not 128 KiB.
      auto image = Pattern(8192, 7);
      image.resize(131072, 0xFF);
      makeSource("ite.bin", image);
    }
  }
  void prepare() override {
    ops_->ITE_ComboBox_MB_SWITCHSelect(1);
    if (action_ != IteAction::Apply) ops_->apply();
  }
  void click() override {
    switch (action_) {
      case IteAction::Apply: ops_->apply(); break;
      case IteAction::Check: ops_->checkConnection(); break;
      case IteAction::Read: view.answerDialog(dumpPath); ops_->ITE_READ_BitBtnClick(); break;
      case IteAction::Write: view.answerDialog(sourcePath); ops_->ITE_WRITE_BitBtnClick(); break;
    }
  }
  bool idle() const override { return ops_->mode() == IteMode::NONE; }
  void join() override { ops_->job().joinWorker(); }

 protected:
  void exitClick() override { ops_->ITE_EXIT_BitBtnClick(); }

 private:
  IteAction action_;
  std::unique_ptr<IteOperations> ops_;
};

class NpceRig : public Rig {
 public:
  NpceRig(sim::SimOptions options, bool write) : write_(write) {
    if (!options.has("npce-erase-ms")) options.faults["npce-erase-ms"] = "10";
    // A version answer of the full length spares each case the open's read time-out.
    if (!options.has("version")) options.faults["version"] = kNpceVersion;
    programmer_ = &d2xx.attach(std::move(options));
    ops_ = std::make_unique<NpceOperations>(d2xx, view, NpceShortBounds());
    if (write_) makeSource("npce.bin", Pattern(131072, 11));
    else dumpPath = dir.file("npce-dump.bin");
  }
  ~NpceRig() override { ops_.reset(); }
  void click() override {
    view.answerDialog(write_ ? sourcePath : dumpPath);
    if (write_) ops_->NPCE_WRITEClick();
    else ops_->NPCE_READClick();
  }
  bool idle() const override { return ops_->mode() == NpceMode::NONE; }

 protected:
  void exitClick() override { ops_->EXIT_NPCEClick(); }

 private:
  bool write_;
  std::unique_ptr<NpceOperations> ops_;
};

// Start on the main window with a task whose image is not the one running: the switch.
class SwitchRig : public Rig {
 public:
  explicit SwitchRig(sim::SimOptions options) {
    programmer_ = &d2xx.attach(std::move(options));
    form_ = std::make_unique<MainForm>(d2xx, view, updateView_, TaskList());
    form_->settings().imageFolders = {JIG_BINARY_DIR};
    form_->settings().bootWindow = milliseconds(1500);
  }
  void click() override { form_->startSwitch("MEC1609"); }
  bool idle() const override { return !form_->switching(); }
  void join() override { form_->waitForSwitch(); }
  // The update window's EXIT is how the user leaves it.
  bool exitWorks() override { return updateView_.enabled("SpeedButton_UPD_EXIT") != false; }
  std::vector<bool> endings() const override {
    auto all = view.endings();
    for (bool ending : updateView_.endings()) all.push_back(ending);
    return all;
  }
  std::vector<std::string> report() const override {
    auto lines = updateView_.allLines();
    for (auto& box : view.errorBoxes()) lines.push_back(box);
    for (auto& box : updateView_.errorBoxes()) lines.push_back(box);
    return lines;
  }
  std::optional<bool> enabled(const std::string& control) const override { return updateView_.enabled(control); }

 protected:
  void exitClick() override {}

 private:
  RecordingView updateView_;
  std::unique_ptr<MainForm> form_;
};

template <typename R, typename... Args>
std::function<std::unique_ptr<Rig>(sim::SimOptions)> Make(Args... args) {
  return [=](sim::SimOptions options) -> std::unique_ptr<Rig> { return std::make_unique<R>(std::move(options), args...); };
}

milliseconds Ms(std::uint64_t ms) { return milliseconds(ms); }

}  // namespace

void StopEndless(Rig& rig) {
  if (auto* keyboard = dynamic_cast<KeyboardRig*>(&rig)) keyboard->stop();
}

std::vector<Action> AllActions() {
  const std::vector<std::string> edidButtons = {};
  const std::vector<std::string> kb90Buttons = {"KB901X_READ", "KB901X_WRITE", "EXIT_KB901X"};
  const std::vector<std::string> npceButtons = {"NPCE_READ", "NPCE_WRITE", "EXIT_NPCE"};
  const std::vector<std::string> iteButtons = {"Применить APPLY", "Проверка связи check connection", "Выход EXIT"};
  const auto edidFail = Ms(kOpenMs + kEdidBounds.readAnswerMs + kEdidBounds.readyMs + kEdidBounds.writeStatusMs + kDrainMs);
  const auto kb90Fail = Ms(kOpenMs + kKb90Bounds.handshakeMs + kKb90Bounds.blockMs + kKb90Bounds.readyMs +
                           kKb90Bounds.doneMs + kKb90Bounds.markMs + kKb90Bounds.checksumMs + kDrainMs);
  const auto mec16Fail = Ms(kOpenMs + kMec16Bounds.answerMs + kMec16Bounds.blockMs + kMec16Bounds.pageMs +
                            kMec16Bounds.eraseMs + kDrainMs);
  const auto ite = IteShortBounds();
  const auto iteFail = Ms(kOpenMs + ite.connectMs + ite.answerMs + ite.blockMs + ite.eraseMs + ite.drainMs);
  const auto npce = NpceShortBounds();
  const auto npceFail = Ms(kOpenMs + npce.eraseMs + npce.blankCheckMs + npce.blockMs + npce.answerMs + npce.drainMs);
  const auto keyboardFail = Ms(kOpenMs + kKeyboardBounds.reportMs + kKeyboardBounds.tickMs + kDrainMs);
  // The boot phase, one line's answer, the erase and the end of the upload.
  const auto switchFail = Ms(kOpenMs + 1500 + limits::kBootLineTimeoutMs + limits::kBootEraseTimeoutMs +
                             limits::kBootEndTimeoutMs);

  return {
      {"SwitchStart", Make<SwitchRig>(), "V41", 0, {"SpeedButton_UPD_EXIT"},
       {{"boot-silent-line", "40"}, {"boot-refuse-line", "40"}}, switchFail},
      {"EdidRead", Make<EdidRig>(false), "V41", 128, edidButtons,
       {{"edid-status", "QQ"}, {"edid-absent", ""}}, edidFail},
      {"EdidWrite", Make<EdidRig>(true), "V41", 0, edidButtons,
       {{"edid-no-ready", ""}, {"edid-status", "QQ"}, {"edid-write-protected", ""}}, edidFail},
      {"Kb90Read", Make<Kb90Rig>(false), "V41", 256, kb90Buttons,
       {{"kb90-silence-block", "200"}, {"kb90-surplus-block", "200"}, {"kb90-no-controller", ""}}, kb90Fail, false, true},
      {"Kb90Write", Make<Kb90Rig>(true), "V41", 0, kb90Buttons,
       {{"kb90-bad-byte", "4660"}, {"kb90-stray-marks", ""}, {"kb90-no-controller", ""}}, kb90Fail},
      {"KeyboardScan", Make<KeyboardRig>(), "V41", 0, {"START_SCAN"}, {}, keyboardFail, true},
      {"Mec16Probe", Make<Mec16Rig>(Mec16Action::Probe), "V42", 0, {}, {{"mec16-lose-register", "2"}, {"mec16-id-bytes", "1"}}, mec16Fail, false, false, true, {"Закрыли VCOM порт"}},
      {"Mec16Read", Make<Mec16Rig>(Mec16Action::Read), "V42", 1024, {},
       {{"mec16-bad-block", "60"}, {"mec16-silent-block", "60"}}, mec16Fail, false, false, false, {"Закрыли VCOM порт"}},
      {"Mec16Erase", Make<Mec16Rig>(Mec16Action::Erase), "V42", 0, {},
       {{"mec16-lose-register", "5"}, {"mec16-erase-ms", "60000"}, {"mec16-id-bytes", "2"}}, mec16Fail, false, false, false, {"Закрыли VCOM порт"}},
      {"Mec16Write", Make<Mec16Rig>(Mec16Action::Write), "V42", 0, {},
       {{"mec16-no-g", "30"}, {"mec16-silent-page", "30"}}, mec16Fail, false, false, false, {"Закрыли VCOM порт"}},
      {"IteApply", Make<IteRig>(IteAction::Apply), "ITE", 0, iteButtons,
       {{"ite-settings-refused", ""}, {"ite-pin-refused", "3"}}, iteFail},
      {"IteCheck", Make<IteRig>(IteAction::Check), "ITE", 0, iteButtons,
       {{"ite-absent", ""}, {"ite-lost-from", "2"}, {"ite-silent-from", "3"}}, iteFail},
      {"IteRead", Make<IteRig>(IteAction::Read), "ITE", 256, iteButtons,
       {{"ite-bad-block", "200"}, {"ite-short-block", "200"}, {"ite-silent-from", "100"}}, iteFail},
      {"IteWrite", Make<IteRig>(IteAction::Write), "ITE", 0, iteButtons,
       {{"ite-program-silent", "5000"}, {"ite-lost-from", "40"}, {"ite-silent-from", "40"}}, iteFail},
      {"NpceRead", Make<NpceRig>(false), "NPCE", 512, npceButtons,
       {{"npce-short-block", "100"}, {"npce-id", "EF401300"}, {"npce-silent-from", "0x2D"}}, npceFail, false, true},
      {"NpceWrite", Make<NpceRig>(true), "NPCE", 0, npceButtons,
       {{"npce-erase-fails", ""}, {"npce-erase-surplus", ""}, {"npce-not-blank", ""}, {"npce-block-fails", "100"}, {"npce-stuck-bit", "4097"}, {"npce-bad-ready", "100"},
        {"npce-silent-from", "0x2D"}}, npceFail},
  };
}

}  // namespace jig::test
