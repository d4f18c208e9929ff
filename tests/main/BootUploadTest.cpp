// The boot-loader upload: the lines on the wire, the answers gathered, refusals and bounds.
#include <gtest/gtest.h>

#include <chrono>

#include "link/ReadIdioms.h"
#include "link/Bounds.h"
#include "main/BootUpload.h"
#include "sim/BootLoaderSim.h"
#include "sim/SimD2xx.h"
#include "sim/StandInImage.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimLink.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using test::Bytes;
using test::RecordingView;

FirmwareImage ImageOf(const std::vector<std::uint8_t>& data) {
  FirmwareImage image;
  image.bytes.fill(0xFF);
  std::copy(data.begin(), data.end(), image.bytes.begin());
  image.lastUsed = static_cast<unsigned>(data.size() - 1);
  return image;
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A programmer in its boot loader, greeted, at 115200 baud.
class BootLoaderLink {
 public:
  explicit BootLoaderLink(std::map<std::string, std::string> faults = {}) {
    sim::SimOptions options;
    options.image = "BOOT";
    options.faults = std::move(faults);
    programmer = &d2xx.attach(options);
    link = test::OpenSimLink(d2xx, 115200, 300);
    link.writeByte('U');
    DWORD got = 0;
    Gather(link, 14, 1000, got);
    programmer->clearTranscript();
  }
  ~BootLoaderLink() { link.close(); }
  sim::BootLoaderSim& loader() { return dynamic_cast<sim::BootLoaderSim&>(*programmer->commandSet("BOOT")); }

  sim::SimD2xx d2xx;
  sim::SimProgrammer* programmer;
  ProgrammerLink link{d2xx, 64};
};

TEST(BootUpload, LinesMatchTheHexFileWithLfOnly) {
  // An independently written HEX line, CR LF cut to LF, is what goes on the wire.
  const auto data = sim::StandInImage("V42");
  const FirmwareImage image = ImageOf(data);
  const std::string hex = sim::ToIntelHex(data);
  for (unsigned address : {0x0000u, 0x0010u, 0x0A30u}) {
    const std::string record = hex.substr(address / 16 * 45, 43) + "\n";
    const auto line = BuildHexLine(image, address);
    EXPECT_EQ(std::string(line.begin(), line.end()), record) << address;
  }
  // A line reaching beyond the last used address carries FFh there.
  FirmwareImage zeros = ImageOf(std::vector<std::uint8_t>(4, 0));
  const auto line = BuildHexLine(zeros, 0);
  EXPECT_EQ(std::string(line.begin(), line.end()), ":1000000000000000FFFFFFFFFFFFFFFFFFFFFFFFFC\n");
}

TEST(BootUpload, RefusalRule) {
  const std::uint8_t X = kXon;
  EXPECT_FALSE(IsRefusal(Bytes(std::string("E-X") + char(X)))) << "k = 3";
  EXPECT_FALSE(IsRefusal(Bytes(std::string("E-") + char(X)))) << "k = 2";
  EXPECT_TRUE(IsRefusal(Bytes(std::string("E-CS\r") + char(X)))) << "five bytes, '-' second";
  EXPECT_FALSE(IsRefusal(Bytes(std::string("EECS\r") + char(X)))) << "five bytes, no '-'";
  EXPECT_FALSE(IsRefusal(Bytes(std::string("-") + char(X)))) << "one byte is never a refusal";
  EXPECT_FALSE(IsRefusal(Bytes(std::string(1, char(X))))) << "XON alone";
  EXPECT_TRUE(IsRefusal(Bytes("ABCDEFGHIJKLMNOP"))) << "16 bytes and still no XON";
}

TEST(BootUpload, WholeImageOnTheWireAndGaugeAtTheEnd) {
  BootLoaderLink boot;
  const auto data = sim::StandInImage("V42");  // used up to 0A3F
  RecordingView view;
  EXPECT_EQ(UploadFirmwareImage(boot.link, ImageOf(data), view), "FW UPGRADE OK");
  std::vector<std::uint8_t> expected = Bytes("pf\n");
  std::string hex = sim::ToIntelHex(data);
  for (std::size_t at; (at = hex.find('\r')) != std::string::npos;) hex.erase(at, 1);
  const auto lines = Bytes(hex);
  expected.insert(expected.end(), lines.begin(), lines.end());
  EXPECT_EQ(boot.programmer->hostBytes(), expected);
  EXPECT_EQ(view.lines(), (std::vector<std::string>{"отправлено EOF корректно"}));
  EXPECT_EQ(view.gauge("CGauge_UPD"), 0x0A3F);
  EXPECT_EQ(boot.loader().application(), "V42");
  EXPECT_TRUE(std::equal(data.begin(), data.end(), boot.loader().flash().begin()));
}

TEST(BootUpload, OneLineImage) {
  BootLoaderLink boot;
  RecordingView view;
  EXPECT_EQ(UploadFirmwareImage(boot.link, ImageOf(std::vector<std::uint8_t>(16, 0x42)), view), "FW UPGRADE OK");
  const auto line = BuildHexLine(ImageOf(std::vector<std::uint8_t>(16, 0x42)), 0);
  EXPECT_EQ(boot.programmer->hostBytes(),
            Concat({Bytes("pf\n"), {line.begin(), line.end()}, Bytes(":00000001FF\n")}));
}

TEST(BootUpload, AnswersGatheredInPiecesAndJudged) {
  const auto image = ImageOf(std::vector<std::uint8_t>(64, 0x00));
  struct Case {
    const char* answers;
    const char* result;
    int linesSent;
  };
  const Case cases[] = {
      {"E-|X\\x11", "FW UPGRADE OK", 4},            // k = 3 in two pieces
      {"\\r|\\n|\\x11", "FW UPGRADE OK", 4},        // three pieces
      {"X|-ABCD\\x11", "ERROR FW upgrade!", 1},     // '-' second, only seen with the second piece
      {"E-X\\x11;\\x11", "FW UPGRADE OK", 4},       // a lone XON after "E-X" is no refusal
      {"ok\\x11;Z-\\x11;A-B-C\\x11", "ERROR FW upgrade!", 3},
      {"ABCDEFGHIJKLMNOPQRSTU\\x11", "ERROR FW upgrade!", 1},  // longer than 16 bytes
  };
  for (const Case& c : cases) {
    BootLoaderLink boot(std::map<std::string, std::string>{{"boot-line-answer", c.answers}});
    RecordingView view;
    EXPECT_EQ(UploadFirmwareImage(boot.link, image, view), c.result) << c.answers;
    EXPECT_EQ(boot.loader().linesTaken(), c.linesSent) << c.answers;
    const auto sent = boot.programmer->hostBytes();
    const bool endSent = std::search(sent.begin(), sent.end(), std::begin(":00000001FF"),
                                     std::end(":00000001FF") - 1) != sent.end();
    EXPECT_EQ(endSent, std::string(c.result) == "FW UPGRADE OK") << c.answers;
    if (std::string(c.result) != "FW UPGRADE OK") {
      EXPECT_EQ(view.lastLine(), "ERROR FW upgrade!") << c.answers;
    }
  }
}

TEST(BootUpload, SilentLoaderEndsWithinItsBound) {
  BootLoaderLink boot(std::map<std::string, std::string>{{"boot-silent-line", "2"}});
  RecordingView view;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(UploadFirmwareImage(boot.link, ImageOf(std::vector<std::uint8_t>(64, 0)), view), "ERROR FW upgrade!");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(limits::kBootLineTimeoutMs + 1000));
  EXPECT_EQ(view.lastLine(), "BOOT_loader did not answer line 0020");
}

TEST(BootUpload, UnpluggedLoaderEndsAtOnce) {
  BootLoaderLink boot;
  boot.d2xx.unplug(0);
  RecordingView view;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(UploadFirmwareImage(boot.link, ImageOf(std::vector<std::uint8_t>(64, 0)), view), "ERROR FW upgrade!");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace jig
