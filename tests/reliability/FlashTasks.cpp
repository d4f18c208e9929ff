#include "tests/reliability/FlashTasks.h"

#include <algorithm>

#include "tests/Ite/IteTestSupport.h"
#include "tests/Kb901x_form/Kb90Bench.h"
#include "tests/Mec16xx/Mec16Bench.h"
#include "tests/Npce/NpceBench.h"

namespace jig::test {
namespace {

using std::chrono::seconds;

class Kb90Task : public FlashTask {
 public:
  explicit Kb90Task(Faults faults) : bench_(Options("", std::move(faults))), ops_(bench_.d2xx, bench_.view, Kb90ShortBounds()) {}
  TaskBench& bench() override { return bench_; }
  void setFlash(const Data& bytes) override { bench_.chip().setFlash(bytes); }
  Data flash() override { return bench_.chip().flash(); }
  void read(const std::string& path, bool twice) override {
    ops_.job().setReadTwice(twice);
    bench_.view.answerDialog(path);
    ops_.KB901X_READClick();
  }
  void write(const std::string& path, bool backup) override {
    ops_.job().setBackup(backup);
    bench_.view.answerDialog(path);
    ops_.KB901X_WRITEClick();
  }
  void stop() override { ops_.job().requestStop(); }
  bool waitEnded(seconds bound) override { return bench_.view.waitEnded(bound); }
  void expectAfterTwoReads() override { EXPECT_EQ(bench_.chip().lastEndMark(), 'I'); }
  FlashJob* job() override { return &ops_.job(); }
  void expectIdle() override {
    EXPECT_EQ(ops_.mode(), Kb90Mode::None);
    EXPECT_EQ(bench_.d2xx.openHandles(), 0u);
    for (const char* control : {"KB901X_READ", "KB901X_WRITE", "EXIT_KB901X", "ReadTwice", "Backup_KB901X"})
      EXPECT_NE(bench_.view.enabled(control), false) << control;
    EXPECT_EQ(bench_.view.endings().size(), 1u);
  }

 private:
  Kb90Bench bench_;
  Kb90Operations ops_;
};

class NpceTask : public FlashTask {
 public:
  explicit NpceTask(Faults faults) : bench_(std::move(faults)) {}
  TaskBench& bench() override { return bench_; }
  void setFlash(const Data& bytes) override { bench_.chip().setFlash(bytes); }
  Data flash() override { return bench_.chip().flash(); }
  void read(const std::string& path, bool twice) override {
    bench_.ops.job().setReadTwice(twice);
    bench_.view.answerDialog(path);
    bench_.ops.NPCE_READClick();
  }
  void write(const std::string& path, bool backup) override {
    bench_.ops.job().setBackup(backup);
    bench_.view.answerDialog(path);
    bench_.ops.NPCE_WRITEClick();
  }
  void stop() override { bench_.ops.job().requestStop(); }
  bool waitEnded(seconds bound) override { return bench_.view.waitEnded(bound); }
  FlashJob* job() override { return &bench_.ops.job(); }
  void expectIdle() override {
    EXPECT_TRUE(bench_.idle());
    EXPECT_NE(bench_.view.enabled("ReadTwice"), false);
    EXPECT_NE(bench_.view.enabled("Backup_NPCE"), false);
    EXPECT_EQ(bench_.view.endings().size(), 1u);
  }

 private:
  NpceBench bench_;
};

class Mec16Task : public FlashTask {
 public:
  explicit Mec16Task(Faults faults) : bench_(Options("V42", std::move(faults))) {}
  TaskBench& bench() override { return bench_; }
  void setFlash(const Data& bytes) override { bench_.chip().setMainArray(bytes); }
  Data flash() override { return bench_.chip().mainArray(); }
  void read(const std::string& path, bool twice) override {
    bench_.ops.job().setReadTwice(twice);
    bench_.view.answerDialog(path);
    bench_.ops.read(false);
  }
  void write(const std::string& path, bool backup) override {
    bench_.ops.job().setBackup(backup);
    bench_.view.answerDialog(path);
    bench_.ops.write(false);
  }
  void stop() override { bench_.ops.job().requestStop(); }
  bool waitEnded(seconds bound) override {
    const bool ended = bench_.view.waitEnded(bound);
    bench_.ops.job().joinWorker();
    return ended;
  }
  FlashJob* job() override { return &bench_.ops.job(); }
  // Each read is a run of its own, with its own close.
  void expectAfterTwoReads() override {
    EXPECT_EQ(bench_.chip().mainReads(), 2);
    const auto lines = bench_.view.allLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Закрыли VCOM порт"), 2);
  }
  void expectIdle() override {
    EXPECT_EQ(bench_.ops.mode(), Mec16Mode::None);
    EXPECT_EQ(bench_.d2xx.openHandles(), 0u);
    EXPECT_NE(bench_.view.enabled("ReadTwice"), false);
    EXPECT_EQ(bench_.view.endings().size(), 1u);
  }

 private:
  Mec16Bench bench_;
};

class IteTask : public FlashTask {
 public:
  explicit IteTask(Faults faults) : bench_(IteOptions(std::move(faults))) {
    applied_ = bench_.apply();
    before_ = bench_.view.endings().size();
  }
  TaskBench& bench() override { return bench_; }
  void setFlash(const Data& bytes) override { bench_.chip().flash() = bytes; }
  Data flash() override { return bench_.chip().flash(); }
  void read(const std::string& path, bool twice) override {
    bench_.ops.job().setReadTwice(twice);
    bench_.view.answerDialog(path);
    bench_.ops.ITE_READ_BitBtnClick();
  }
  void write(const std::string& path, bool backup) override {
    bench_.ops.job().setBackup(backup);
    bench_.view.answerDialog(path);
    bench_.ops.ITE_WRITE_BitBtnClick();
  }
  void stop() override { bench_.ops.job().requestStop(); }
  bool waitEnded(seconds bound) override {
    const bool ended = bench_.waitEnded(static_cast<int>(bound.count()));
    bench_.ops.job().joinWorker();
    return ended;
  }
  FlashJob* job() override { return &bench_.ops.job(); }
  std::vector<bool> endings() override {
    const auto all = bench_.view.endings();
    return std::vector<bool>(all.begin() + static_cast<std::ptrdiff_t>(std::min(before_, all.size())), all.end());
  }
  void expectIdle() override {
    EXPECT_TRUE(applied_);
    EXPECT_EQ(bench_.ops.mode(), IteMode::NONE);
    EXPECT_EQ(bench_.d2xx.openHandles(), 0u);
    // A click that ends before its job runs has disabled no button; the job's boxes are the
    // window's to map (showJob).
    for (const char* control : {"ITE_READ_BitBtn", "ITE_WRITE_BitBtn", "ITE_SETUP_BitBtn", "ITE_CHECK_CON_BitBtn",
                                "ITE_EXIT_BitBtn", "VerifyAfterWrite", "ReadTwice", "Backup_ITE"})
      EXPECT_NE(bench_.view.enabled(control), false) << control;
    // One ending since the pins were applied.
    EXPECT_EQ(bench_.view.endings().size(), before_ + 1);
  }

 private:
  IteBench bench_;
  bool applied_ = false;
  std::size_t before_ = 0;
};

template <class Task>
std::function<std::unique_ptr<FlashTask>(Faults)> Make() {
  return [](Faults faults) -> std::unique_ptr<FlashTask> { return std::make_unique<Task>(std::move(faults)); };
}

Data Mec16ReadWire() {
  const std::string text = Mec16MainRead();
  return Data(text.begin(), text.end());
}

const std::string kLooksReal = "Dump check: the content looks like real data.";
const std::string kLooksRealRu = "Проверка дампа: содержимое похоже на настоящие данные.";

}  // namespace

void PrintTo(const FlashTaskRow& row, std::ostream* os) { *os << row.name; }

std::vector<FlashTaskRow> FlashTasks() {
  return {
      {"Kb90", Make<Kb90Task>(), kKb90Image, Kb90ReadWire(), "kb90-unstable-first-block",
       "Reading completed successfully.", "Reading KB9012 again to compare ...", "Read twice: both reads match.",
       "Read twice: the reads differ, first difference at 00000000, 2 bytes differ. The file is not written.",
       kLooksReal, true,
       {{"silence-after", "Reading stopped: block ", "Reading stopped", true, false},
        {"unplug-after", "Reading stopped: the programmer was disconnected at block ", "Reading stopped", false, false}}},
      {"Npce", Make<NpceTask>(), 131072, Cat({Bytes("BZI"), Repeat('r', 256), Bytes("-I")}),
       "npce-unstable-first-block", "Reading complete ...", "Reading again to compare ...",
       "Read twice: both reads match.",
       "Read twice: the reads differ, first difference at 00000000, 2 bytes differ. The file is not written.",
       kLooksReal, true,
       {{"silence-after", "No answer from the programmer: block ", "No answer from the programmer: block ", false, true},
        {"unplug-after", "The programmer is gone (unplugged?) while waiting for block ",
         "The programmer is gone (unplugged?) while waiting for block ", false, true}}},
      {"Mec16", Make<Mec16Task>(), sim::Mec16Sim::kMainSize, Mec16ReadWire(), "mec16-unstable-first-block",
       "Чтение MAIN блока завершено успешно.", "Двойное чтение: читаем второй раз.",
       "Двойное чтение: оба чтения совпадают.",
       "Двойное чтение: чтения различаются, первое отличие по адресу 00000200, различных байт: 4. Файл не записан.",
       kLooksRealRu, false, {}},
      {"Ite", Make<IteTask>(), 131072, Cat({Bytes("B"), ReadExchange()}), "ite-unstable-first-block",
       "Мы все прочитали ", "Двойное чтение: читаем флеш второй раз ...", "Двойное чтение: оба чтения совпадают.",
       "Двойное чтение: чтения различаются, первое отличие по адресу 00000000, различных байт: 256. Файл не записан.",
       kLooksRealRu, false, {}},
  };
}

}  // namespace jig::test
