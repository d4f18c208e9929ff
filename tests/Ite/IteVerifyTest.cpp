// What comes after the documented read and write: the read-back that verifies a write,
// the backup before it, and the line that flags a dump of no real content. The read twice
// that every flash window shares is in tests/reliability/ReadTwiceTest.cpp.
#include <algorithm>
#include <filesystem>
#include <random>

#include "Ite/IteTexts.h"
#include "tests/Ite/IteTestSupport.h"

namespace jig {
namespace {

using test::IteBench;

constexpr const char* kVerifyOk = "Проверка после записи: OK, флеш совпадает с образом.";
constexpr const char* kRealData = "Проверка дампа: содержимое похоже на настоящие данные.";

std::vector<std::uint8_t> MixedImage(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image(131072);
  for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
  return image;
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

std::size_t CountOf(const std::vector<std::uint8_t>& bytes, std::uint8_t value) {
  return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), value));
}

// The host's last bytes are `before`, then a new open ('B') and the whole read exchange.
void ExpectEndsWithReadBack(const IteBench& bench, std::vector<std::uint8_t> before) {
  before.push_back('B');
  const auto read = test::ReadExchange();
  before.insert(before.end(), read.begin(), read.end());
  const auto commands = bench.sent();
  ASSERT_GE(commands.size(), before.size());
  EXPECT_EQ(std::vector<std::uint8_t>(commands.end() - static_cast<long>(before.size()), commands.end()), before);
}

// A write whose image is FF but for a few bytes: quick on the wire, and the last byte counts.
struct SparseWrite {
  explicit SparseWrite(sim::SimOptions options = {}, std::size_t fileSize = 131072) : bench(std::move(options)) {
    image.assign(fileSize, 0xFF);
    image[0] = 0x12;
    if (fileSize == 131072) image[0x1FFFF] = 0x5A;
  }
  bool run(int seconds = 10) {
    if (!bench.apply()) return false;
    // A short file and an image of nothing but FFh are asked about.
    bench.clickWrite("in.bin", image,
                     image.size() != 131072 ||
                         std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; }));
    return bench.waitEnded(seconds);
  }
  void expectIdle() const {
    EXPECT_EQ(bench.ops.mode(), IteMode::NONE);
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
    for (const char* control : {"ITE_READ_BitBtn", "ITE_SETUP_BitBtn", "ITE_CHECK_CON_BitBtn", "ITE_EXIT_BitBtn"})
      EXPECT_EQ(bench.view.enabled(control), true) << control;
    // The job's boxes are the window's to map (showJob).
    for (const char* control : {"VerifyAfterWrite", "ReadTwice", "Backup_ITE"})
      EXPECT_NE(bench.view.enabled(control), false) << control;
  }
  IteBench bench;
  std::vector<std::uint8_t> image;
};

TEST(IteVerify, ReadsBackAsItsOwnExchangeAfterTheWritesEnd) {
  SparseWrite write;
  ASSERT_TRUE(write.run());
  EXPECT_EQ(write.bench.view.endings().back(), true);
  const auto lines = write.bench.view.allLines();
  EXPECT_EQ(write.bench.view.lastLine(), kVerifyOk);
  EXPECT_LT(IndexOf(lines, "Мы все записали. "), IndexOf(lines, std::string(ite::text::kVerifyStart)));
  EXPECT_LT(IndexOf(lines, std::string(ite::text::kVerifyStart)), IndexOf(lines, "Мы все прочитали "));
  // The read-back says nothing about the dump's content: the image is what counts.
  EXPECT_EQ(IndexOf(lines, kRealData), lines.size());

  // The write ends with its 49 before a new open and the whole read exchange.
  ExpectEndsWithReadBack(write.bench, {0x77, 0x5A, 'I'});
  EXPECT_EQ(write.bench.view.gauge("ITE_CGauge1"), 512);
  write.expectIdle();
}

TEST(IteVerify, OffMeansNoReadBackAndAFailedWriteIsNotReadBack) {
  {
    SparseWrite write(test::IteOptions({{"ite-flip-bit", "0x1FFFF"}}));
    write.bench.ops.job().setVerifyAfterWrite(false);
    ASSERT_TRUE(write.run());
    EXPECT_EQ(write.bench.view.endings().back(), true);
    EXPECT_EQ(CountOf(write.bench.sent(), 'r'), 0u);
    EXPECT_EQ(write.bench.sent().back(), 'I');
    EXPECT_FALSE(write.bench.logged(std::string(ite::text::kVerifyStart)));
  }
  {
    SparseWrite write(test::IteOptions({{"ite-program-silent", "2"}}));
    ASSERT_TRUE(write.run());
    EXPECT_EQ(write.bench.view.endings(), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(write.bench.view.lastLine().rfind("Текущее время  ", 0), 0u);
    EXPECT_EQ(CountOf(write.bench.sent(), 'r'), 0u);
  }
}

TEST(IteVerify, TimeOutInTheReadBackEndsIdleWithinItsBound) {
  // The write takes 41 commands after its Connect; the read-back's 100th is block 73.
  SparseWrite write(test::IteOptions({{"ite-silent-from", "100"}}));
  ASSERT_TRUE(write.bench.apply());
  write.bench.clickWrite("in.bin", write.image);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(write.bench.waitEnded(10));
  // The erase (200 ms), the read up to block 73, the 300 ms block bound and the drain: about
  // a second, several under the thread checker on a busy machine; a missed bound is 30 s.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(5000));
  EXPECT_EQ(write.bench.view.endings(), (std::vector<bool>{true, true, false}));
  EXPECT_TRUE(write.bench.logged("Ошибка при чтении блока ->73"));
  EXPECT_EQ(write.bench.view.lastLine(), std::string(ite::text::kVerifyNotDone));
  EXPECT_EQ(write.bench.sent().back(), 'O');
  write.expectIdle();
}

// A serial flash that erases ignores every frame, the read's fast read too. An image with
// no byte to program sends no Flash address, so nothing in the write waits for the erase:
// the read-back must, or its fast read is lost and block 1 comes without 6F.
TEST(IteVerify, AnImageOfOnlyFfWaitsForTheEraseBeforeTheReadBack) {
  for (const std::size_t size : {std::size_t{131072}, std::size_t{1024}}) {
    SparseWrite write(test::IteOptions({{"ite-erase-ms", "400"}}));
    write.image.assign(size, 0xFF);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(write.run());
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400)) << size;
    EXPECT_EQ(write.bench.view.endings().back(), true) << size;
    EXPECT_EQ(write.bench.view.lastLine(), kVerifyOk) << size;
    // One Flash address, answered when the erase is over, before the write's 49.
    ExpectEndsWithReadBack(write.bench, {0x59, 0, 0, 0, 'I'});
    EXPECT_EQ(CountOf(write.bench.sent(), 0x59), 1u);
    write.expectIdle();
  }
  {
    // Without the read-back the documented write sends no Flash address; a read started
    // at once meets the erasing flash, which ignores its fast read.
    SparseWrite write(test::IteOptions({{"ite-erase-ms", "10000"}}));
    std::fill(write.image.begin(), write.image.end(), 0xFF);
    write.bench.ops.job().setVerifyAfterWrite(false);
    ASSERT_TRUE(write.run());
    EXPECT_EQ(CountOf(write.bench.sent(), 0x59), 0u);
    const int ignoredByWrite = write.bench.chip().ignoredWhileErasing();  // the second erase command
    write.bench.clickRead("dump.bin");
    ASSERT_TRUE(write.bench.waitEnded(10));
    EXPECT_EQ(write.bench.view.endings().back(), false);
    EXPECT_TRUE(write.bench.logged("Ошибка при чтении блока ->1"));
    EXPECT_GT(write.bench.chip().ignoredWhileErasing(), ignoredByWrite);
  }
}

TEST(IteDumpCheck, FlagsOneValueOrOneShortPatternButNotRealContent) {
  IteBench bench;
  ASSERT_TRUE(bench.apply());
  std::vector<std::uint8_t> pattern(131072);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(0x30 + i % 16);
  const std::vector<std::pair<std::vector<std::uint8_t>, std::string>> cases = {
      {std::vector<std::uint8_t>(131072, 0xFF),
       "Внимание: дамп весь из FFh. Обычно это плохой контакт; не записывайте такой дамп обратно."},
      {std::vector<std::uint8_t>(131072, 0x00),
       "Внимание: дамп весь из 00h. Обычно это плохой контакт; не записывайте такой дамп обратно."},
      {pattern,
       "Внимание: дамп повторяет один и тот же блок из 16 байт. Обычно это плохой контакт; не записывайте такой "
       "дамп обратно."},
      {MixedImage(5), kRealData},
  };
  for (const auto& [flash, line] : cases) {
    bench.chip().flash() = flash;
    bench.view.clearLog();
    bench.clickRead("dump.bin");
    ASSERT_TRUE(bench.waitEnded(10));
    // A warning, not a failure: the dump is saved all the same.
    EXPECT_EQ(bench.view.endings().back(), true) << line;
    EXPECT_EQ(test::ReadFileBytes(bench.dir.file("dump.bin")), flash);
    const auto lines = bench.view.lines();
    const std::size_t done = IndexOf(lines, "Мы все прочитали ");
    ASSERT_LT(done + 1, lines.size());
    EXPECT_EQ(lines[done + 1], line);
  }
}

// An image of nothing but FFh sends no Flash address, so nothing waits for the chip erase
// on its own: a real serial flash ignores the read-back's commands until the erase ends.
TEST(IteVerify, AllFfImageWaitsForTheEraseBeforeTheReadBack) {
  {
    IteBench bench(test::IteOptions({{"ite-erase-ms", "600"}}));
    bench.chip().flash() = MixedImage(8);
    ASSERT_TRUE(bench.apply());
    test::WriteFileBytes(bench.dir.file("blank.bin"), std::vector<std::uint8_t>(131072, 0xFF));
    bench.view.answerDialog(bench.dir.file("blank.bin"));
    bench.view.answerYesNo(true);
    const auto started = std::chrono::steady_clock::now();
    bench.ops.ITE_WRITE_BitBtnClick();
    ASSERT_TRUE(bench.waitEnded(10));
    const auto read = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(bench.view.endings().back(), true);
    EXPECT_EQ(bench.view.lastLine(), kVerifyOk);
    // One Flash address, answered once the erase is over, then the end byte and the read-back.
    ExpectEndsWithReadBack(bench, {0x59, 0, 0, 0, 'I'});
    EXPECT_EQ(CountOf(bench.sent(), 0x77), 0u);
    EXPECT_GE(read, std::chrono::milliseconds(600));
  }
  {
    // The erase outlasts its bound: the write ends as a failure and nothing is read back.
    // The erase runs while the host walks the image, which takes more than a second under
    // the thread checker on a busy machine: it lasts far longer than that walk.
    auto bounds = test::IteShortBounds();
    bounds.eraseMs = 200;
    IteBench bench(test::IteOptions({{"ite-erase-ms", "6000"}}), bounds);
    ASSERT_TRUE(bench.apply());
    bench.clickWrite("blank.bin", std::vector<std::uint8_t>(131072, 0xFF), true);
    ASSERT_TRUE(bench.waitEnded(10));
    EXPECT_EQ(bench.view.endings().back(), false);
    EXPECT_TRUE(bench.logged("Программатор не ответил за 200 мс на команду адреса во флеш (Y 00 00 00)."));
    EXPECT_TRUE(bench.logged(std::string(ite::text::kEraseNotOver)));
    EXPECT_FALSE(bench.logged("Мы все записали. "));
    EXPECT_EQ(bench.sent().back(), 'O');
    EXPECT_EQ(CountOf(bench.sent(), 'r'), 0u);
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

}  // namespace
}  // namespace jig
