#include <gtest/gtest.h>

#include "view/Cp1251.h"
#include "Kb901x_form/MbConnectionEne.h"
#include "tests/support/TestFiles.h"

namespace jig::ene {
namespace {

using test::Bytes;
constexpr const char* kExample = "Board-X KSO3=5 KSI4=12 KSI7=16 KSI6=14 KSI5=13";

TEST(Kb901xBase, LinesOfTheBase) {
  const auto crlf = SplitBaseLines(Bytes("one KSO3=1\r\n\r\ntwo\r\nlast without end"));
  const auto lf = SplitBaseLines(Bytes("one KSO3=1\n\ntwo\nlast without end"));
  EXPECT_EQ(crlf, lf);
  EXPECT_EQ(lf, (std::vector<std::string>{"one KSO3=1", "", "two"}));
  // CR is dropped wherever it stands; no trimming otherwise.
  EXPECT_EQ(SplitBaseLines(Bytes("a\rb  \n")), std::vector<std::string>{"ab  "});
  EXPECT_TRUE(SplitBaseLines(Bytes("no line end")).empty());
}

TEST(Kb901xBase, LinesShownAsUtf8OrWindows1251) {
  const std::string cp1251 = "\xCF\xEB\xE0\xF2\xE0 KSO3=5";  // "Плата" in Windows-1251
  const std::string utf8 = "Плата KSO3=5";
  EXPECT_EQ(BaseList(Bytes(cp1251 + "\r\n" + utf8 + "\n")), (std::vector<std::string>{utf8, utf8}));
  EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9"), "Ёё№");
  EXPECT_FALSE(IsValidUtf8("\xD0"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
  EXPECT_TRUE(IsValidUtf8("plain ascii"));
}

TEST(Kb901xBase, WorkedExampleBothOrientations) {
  EXPECT_EQ(ComputeWiring(kExample, "30 pin", true).text, "Please connect GND and:  A5 B12 C16 D14 E13");
  EXPECT_EQ(ComputeWiring(kExample, "30 pin", false).text, "Please connect GND and:  A26 B19 C15 D17 E18");
}

TEST(Kb901xBase, ValueTakesOneOrTwoCharacters) {
  const std::string rest = " KSI4=1 KSI7=1 KSI6=1 KSI5=1";
  auto wireA = [&](const std::string& line) {
    const Wiring w = ComputeWiring(line, "32 pin", true);
    EXPECT_EQ(w.kind, Wiring::Kind::Label) << line;
    return w.text.substr(0, w.text.find(" B"));
  };
  EXPECT_EQ(wireA("KSO3=5" + rest), "Please connect GND and:  A5");
  EXPECT_EQ(wireA("KSO3=05" + rest), "Please connect GND and:  A5");
  EXPECT_EQ(wireA("KSO3=123" + rest), "Please connect GND and:  A12");
  EXPECT_EQ(wireA(rest.substr(1) + " KSO3=5"), "Please connect GND and:  A5");  // at the very end
  // Only the first occurrence of a key counts; keys may stand in any order.
  EXPECT_EQ(wireA("KSI5=1 KSI6=1 KSO3=7 KSI7=1 KSI4=1 KSO3=9"), "Please connect GND and:  A7");
}

TEST(Kb901xBase, CableOrientationMirror) {
  const Wiring w = ComputeWiring("B KSO3=18 KSI4=1 KSI7=2 KSI6=17 KSI5=9", "18 pin", false);
  EXPECT_EQ(w.text, "Please connect GND and:  A1 B18 C17 D2 E10");
}

TEST(Kb901xBase, PinAboveTheCableIsRefusedForEveryKey) {
  const char* keys[] = {"KSO3=", "KSI4=", "KSI7=", "KSI6=", "KSI5="};
  for (int big = 0; big < 5; ++big) {
    std::string equal, above;
    for (int k = 0; k < 5; ++k) {
      equal += std::string(keys[k]) + (k == big ? "24 " : "3 ");
      above += std::string(keys[k]) + (k == big ? "25 " : "3 ");
    }
    EXPECT_EQ(ComputeWiring(equal, "24 pin", true).kind, Wiring::Kind::Label);
    EXPECT_NE(ComputeWiring(equal, "24 pin", true).text, kCableTooSmall) << equal;
    EXPECT_EQ(ComputeWiring(above, "24 pin", true).text, kCableTooSmall) << above;
  }
}

TEST(Kb901xBase, BadLines) {
  EXPECT_EQ(ComputeWiring("", "30 pin", true).text, kFormatError);
  EXPECT_EQ(ComputeWiring("// comment line", "30 pin", true).text, kFormatError);
  EXPECT_EQ(ComputeWiring("kso3=5 KSI4=12 KSI7=16 KSI6=14 KSI5=13", "30 pin", true).text, kFormatError);

  Wiring w = ComputeWiring("KSO3=a5 KSI4=12 KSI7=16 KSI6=14 KSI5=13", "30 pin", true);
  EXPECT_EQ(w.kind, Wiring::Kind::ConversionError);
  EXPECT_EQ(w.text, "'a5' is not a valid integer value");
  w = ComputeWiring("KSO3=5 KSI4=x KSI7=16 KSI6=14 KSI5=13", "30 pin", true);
  EXPECT_EQ(w.text, "'x' is not a valid integer value");
  // A bad value is found before a missing key that comes later in the order.
  w = ComputeWiring("KSO3=5 KSI4=Ж", "30 pin", true);
  EXPECT_EQ(w.text, "'Ж' is not a valid integer value");
  w = ComputeWiring("KSO3=5 KSI4=1 KSI7=1 KSI6=1 KSI5=", "30 pin", true);
  EXPECT_EQ(w.text, "'' is not a valid integer value");
  // Only a blank ends a one-digit value: a tab is taken as its second character.
  w = ComputeWiring("KSO3=5\tKSI4=12 KSI7=16 KSI6=14 KSI5=13", "30 pin", true);
  EXPECT_EQ(w.kind, Wiring::Kind::ConversionError);
  EXPECT_EQ(w.text, "'5\t' is not a valid integer value");
  // Pin 0 is no pin, in either orientation (turned over it would be contact 31 of 30).
  for (const bool straight : {true, false}) {
    w = ComputeWiring("KSO3=5 KSI4=12 KSI7=16 KSI6=00 KSI5=13", "30 pin", straight);
    EXPECT_EQ(w.kind, Wiring::Kind::Label);
    EXPECT_EQ(w.text, "Invalid pin for KSI6: 0 (connector pins start at 1)!");
  }
}

TEST(Kb901xBase, LoadsTheFirstFolderThatHasTheBase) {
  test::TempDir first, second;
  test::WriteFileBytes(second.file(kBaseFileName), Bytes("x\n"));
  EXPECT_FALSE(LoadBase({first.path()}).has_value());
  const auto base = LoadBase({first.path(), second.path()});
  ASSERT_TRUE(base.has_value());
  EXPECT_EQ(*base, Bytes("x\n"));
}

}  // namespace
}  // namespace jig::ene
