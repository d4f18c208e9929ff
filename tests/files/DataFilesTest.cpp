// Files beside the program: the current directory first, then the program's own folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "files/DataFiles.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;

class InDirectory {
 public:
  explicit InDirectory(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
  ~InDirectory() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

TEST(DataFiles, CurrentDirectoryFirstThenTheProgramsFolder) {
  test::TempDir dir;
  InDirectory here(dir.path());
  test::WriteFileBytes(dir.file("MB connection ENE.txt"), {'x'});
  const DataFileSearch found = FindDataFile("MB connection ENE.txt");
  ASSERT_TRUE(found.path.has_value());
  EXPECT_EQ(fs::path(*found.path), fs::current_path() / "MB connection ENE.txt");

  const DataFileSearch missing = FindDataFile("no such image.hex");
  EXPECT_FALSE(missing.path.has_value());
  ASSERT_GE(missing.places.size(), 2u);
  EXPECT_EQ(fs::path(missing.places[0]), fs::current_path());
  EXPECT_EQ(fs::path(missing.places[1]), fs::read_symlink("/proc/self/exe").parent_path());
  EXPECT_EQ(DescribePlaces(missing).rfind("looked in: " + missing.places[0] + ", ", 0), 0u);
}

}  // namespace
}  // namespace jig
