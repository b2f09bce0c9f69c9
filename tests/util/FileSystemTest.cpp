// File-system helpers.

#include "util/FileSystem.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace brevanto::util {
namespace {

namespace fs = std::filesystem;

TEST(FileSystem, FileNamePartSplitsAtTheLastSeparator) {
  EXPECT_EQ(fileNamePart("/home/user/gifs/anim.gif"), "anim.gif");
  EXPECT_EQ(fileNamePart("anim.gif"), "anim.gif");
  EXPECT_EQ(fileNamePart("/gifs/"), "");
  EXPECT_EQ(fileNamePart(""), "");
#ifndef _WIN32
  EXPECT_EQ(fileNamePart("C:\\gifs\\anim.gif"), "C:\\gifs\\anim.gif");  // a backslash is a character
#endif
}

TEST(FileSystem, ZeroPaddedPadsButNeverCuts) {
  EXPECT_EQ(zeroPadded(7, 5), "00007");
  EXPECT_EQ(zeroPadded(0, 5), "00000");
  EXPECT_EQ(zeroPadded(123456, 5), "123456");
  EXPECT_EQ(zeroPadded(42, 0), "42");
  EXPECT_EQ(zeroPadded(-7, 5), "-0007");
}

TEST(FileSystem, ProgramFolderIsTheExecutablesFolderWithSlash) {
  const std::string folder = programFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(isDirectory(folder));
  EXPECT_TRUE(fs::equivalent(fs::path(folder), fs::read_symlink("/proc/self/exe").parent_path()));
  EXPECT_EQ(programFolder(), folder);
}

class DirectoryChain : public ::testing::Test {
 protected:
  brevanto::testing::ScratchFolder scratch;
  const fs::path& root = scratch.path();
  std::string base = root.generic_string();
};

TEST_F(DirectoryChain, CreatesEveryMissingFolder) {
  EXPECT_TRUE(createDirectoryChain(base + "/a/b/c"));
  EXPECT_TRUE(isDirectory(base + "/a/b/c"));
  // With a trailing slash, as the program's own folder texts have.
  EXPECT_TRUE(createDirectoryChain(base + "/out/tolvane_brevanto/Temp/"));
  EXPECT_TRUE(isDirectory(base + "/out/tolvane_brevanto/Temp"));
  // Already there.
  EXPECT_TRUE(createDirectoryChain(base + "/a/b/c"));
}

TEST_F(DirectoryChain, ReportsWhatCannotBeCreated) {
  EXPECT_FALSE(createDirectoryChain(""));
  EXPECT_FALSE(createDirectoryChain("relative"));
  std::ofstream(root / "file") << "x";
  EXPECT_FALSE(createDirectoryChain(base + "/file/sub"));
  EXPECT_FALSE(isDirectory(base + "/file"));
  EXPECT_FALSE(isDirectory(base + "/missing"));
  EXPECT_FALSE(isDirectory(""));
  EXPECT_TRUE(isDirectory(base));
}

}  // namespace
}  // namespace brevanto::util
