// The base file, the parse of a motherboard line and the reversed-cable mirror.
#include <gtest/gtest.h>

#include <filesystem>

#include "view/Cp1251.h"
#include "files/DataFiles.h"
#include "Ite/MbConnectionIte.h"
#include "tests/Ite/IteTestSupport.h"

namespace jig {
namespace {

using ite::KeyValue;
using ite::ParseResult;

std::string LineWithPd0(const std::string& value) {
  return "X PD0=" + value + " PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=11 AFD=12 INIT=13 SLIN=14 "
         "KSI4=15 KSI5=16";
}

TEST(IteBase, LinesEndAtLfCrIsDroppedAndAnUnterminatedTailIsNotTaken) {
  const auto lines = ite::SplitBaseLines("one\r\n\r\ntw\ro\nlast without LF");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "one");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "two");
}

TEST(IteBase, MissingFileIsNotFoundAndAPresentOneIsReadAsBytes) {
  test::TempDir dir;
  EXPECT_FALSE(ite::LoadIteBase(dir.file("none.txt")).found);
  test::WriteFileBytes(dir.file("b.txt"), {'A', 0xCF, 0xEB, '\n', 'B', '\n'});
  const auto base = ite::LoadIteBase(dir.file("b.txt"));
  ASSERT_TRUE(base.found);
  ASSERT_EQ(base.lines.size(), 2u);
  EXPECT_EQ(base.lines[0], std::string("A\xCF\xEB"));
}

// The ITE base is looked for as the ENE base is: a file that is there but not usable (a
// folder, a FIFO, one too large) gets one line naming it, and the next folder is tried.
TEST(IteBase, AnUnusableBaseIsNamedAndTheNextFolderIsTried) {
  namespace fs = std::filesystem;
  test::TempDir here, beside, installed;
  const std::string name(ite::kBaseFileName);
  fs::create_directory(here.file(name));
  test::WriteFileBytes(beside.file(name), std::vector<std::uint8_t>(kMaxDataFileBytes + 1, 'x'));
  test::WriteFileBytes(installed.file(name), test::Bytes(test::kBoard1 + "\n"));
  std::vector<std::string> problems;
  const auto found = ReadFirstDataFile(name, {here.path(), beside.path(), installed.path()}, &problems);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->path, installed.file(name));
  EXPECT_EQ(problems, (std::vector<std::string>{here.file(name) + " is not a regular file; it is not used.",
                                                beside.file(name) + " is larger than 1048576 bytes; it is not used."}));

  // The search the window and the command line make starts in the current folder.
  const fs::path before = fs::current_path();
  fs::current_path(here.path());
  problems.clear();
  const std::string path = ite::FindBesideProgram(name, &problems);
  fs::current_path(before);
  EXPECT_NE(path, (here.path() / name).string());
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems[0], (here.path() / name).string() + " is not a regular file; it is not used.");
}

TEST(IteBase, DisplayKeepsUtf8AndDecodesWindows1251) {
  EXPECT_EQ(DisplayText("Плата Board"), "Плата Board");
  EXPECT_EQ(DisplayText("\xCF\xEB\xE0\xF2\xE0 \xA8\xB8 \xB9"), "Плата Ёё №");
  EXPECT_FALSE(IsValidUtf8("\xD0"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
  EXPECT_TRUE(IsValidUtf8("plain ascii"));
}

TEST(IteParse, ValueIsOneOrTwoCharactersAfterTheKey) {
  EXPECT_EQ(ite::ReadKeyValue("PD0=12", "PD0=").value, 12);
  EXPECT_EQ(ite::ReadKeyValue("PD0=123 x", "PD0=").value, 12);  // the third digit is not read
  EXPECT_EQ(ite::ReadKeyValue("PD0=7 PD1=8", "PD0=").value, 7);
  EXPECT_EQ(ite::ReadKeyValue("a PD0=9", "PD0=").value, 9);
  EXPECT_EQ(ite::ReadKeyValue("PD0=4,", "PD0=").kind, KeyValue::NotNumber);
  EXPECT_EQ(ite::ReadKeyValue("x PD0=", "PD0=").kind, KeyValue::NotNumber);
  EXPECT_EQ(ite::ReadKeyValue("pd0=4", "PD0=").kind, KeyValue::Missing);  // case-sensitive
  // The first occurrence counts.
  EXPECT_EQ(ite::ReadKeyValue("PD0=3 PD0=4", "PD0=").value, 3);
}

TEST(IteParse, StopsAtTheFirstBadSignalKeepingWhatWasTaken) {
  ite::PinAssignment before{};
  before.fill(0);
  const auto ok = ite::ParseMbLine(test::kBoard1, before);
  EXPECT_EQ(ok.kind, ParseResult::Ok);
  EXPECT_EQ(ok.pins, (ite::PinAssignment{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16}));

  EXPECT_EQ(ite::ParseMbLine(LineWithPd0("12"), before).pins[0], 12);
  EXPECT_EQ(ite::ParseMbLine(LineWithPd0("123"), before).pins[0], 12);
  EXPECT_EQ(ite::ParseMbLine(LineWithPd0("0"), before).kind, ParseResult::BadPin);
  EXPECT_EQ(ite::ParseMbLine(LineWithPd0("33"), before).kind, ParseResult::BadPin);
  EXPECT_EQ(ite::ParseMbLine("", before).kind, ParseResult::MissingKey);

  std::string noBusy = test::kBoard1;
  noBusy.replace(noBusy.find("BUSY="), 5, "BUZY=");
  const auto stopped = ite::ParseMbLine(noBusy, before);
  EXPECT_EQ(stopped.kind, ParseResult::MissingKey);
  EXPECT_EQ(ite::kSignals[static_cast<std::size_t>(stopped.signal)].name, "BUSY");
  EXPECT_EQ(stopped.pins[7], 8);  // PD7 taken before the stop
  EXPECT_EQ(stopped.pins[9], 0);  // STB# untouched
}

TEST(IteMirror, ThirtyPinsTwiceRestoresAndNcStaysNc) {
  ite::PinAssignment pins{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 0, 30};
  const auto once = ite::MirrorPins(test::kBoard1, pins);
  ASSERT_EQ(once.kind, ite::MirrorResult::Ok);
  EXPECT_EQ(once.pins[0], 30);
  EXPECT_EQ(once.pins[14], 1);
  EXPECT_EQ(once.pins[13], 0);  // "NC" stays "NC"
  const auto twice = ite::MirrorPins(test::kBoard1, once.pins);
  EXPECT_EQ(twice.pins, pins);
}

TEST(IteMirror, CountMissingOutOfRangeOrBelowAPinChangesNothing) {
  ite::PinAssignment pins{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16};
  EXPECT_EQ(ite::MirrorPins("Board PD0=1", pins).kind, ite::MirrorResult::MissingCount);
  EXPECT_EQ(ite::MirrorPins("KB_pins=23", pins).kind, ite::MirrorResult::BadCount);
  EXPECT_EQ(ite::MirrorPins("KB_pins=33", pins).kind, ite::MirrorResult::BadCount);
  EXPECT_EQ(ite::MirrorPins("KB_pins=24", pins).kind, ite::MirrorResult::Ok);
  pins[4] = 31;  // beyond a 30-pin connector: no mirror image exists
  const auto outside = ite::MirrorPins("KB_pins=30", pins);
  EXPECT_EQ(outside.kind, ite::MirrorResult::PinOutside);
  EXPECT_EQ(outside.pins, pins);
}

}  // namespace
}  // namespace jig
