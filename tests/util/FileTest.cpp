// Whole-file reads, atomic replacement and the result type: what callers rely on when a step fails.

#include <gtest/gtest.h>

#include <optional>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/resource.h>

#include "tests/support/Files.h"
#include "util/File.h"
#include "util/FileSystem.h"
#include "util/LittleEndian.h"

namespace brevanto::util {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class FileTest : public ::testing::Test {
 protected:
  std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(root), {})); }

  testing::ScratchFolder scratch;
  const fs::path& root = scratch.path();
};

TEST_F(FileTest, ReplacingWritesEverythingOrKeepsTheOldFileAndLeavesNothing) {
  const fs::path target = root / "movie.swf";
  ASSERT_TRUE(replaceFile(target, Bytes{1, 2, 3}).ok());
  ASSERT_TRUE(replaceFile(target, Bytes{4, 5}).ok());
  EXPECT_EQ(*readWholeFile(target), (Bytes{4, 5}));

  // A writer that fails: the old file stays, no temporary file is left.
  const auto failed = replaceFile(target, [](std::FILE*) { return false; });
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().step, WriteFailure::Step::Write);
  EXPECT_EQ(*readWholeFile(target), (Bytes{4, 5}));

  // A file size limit hit half-way through a large write.
  std::optional<brevanto::testing::FileSizeLimit> fullDisk(std::in_place, 64 * 1024);
  const auto tooLarge = replaceFile(target, Bytes(256 * 1024, 7));
  fullDisk.reset();
  ASSERT_FALSE(tooLarge.ok());
  EXPECT_FALSE(tooLarge.error().reason().empty());
  EXPECT_EQ(*readWholeFile(target), (Bytes{4, 5}));
  EXPECT_EQ(entries(), 1u);

  // No folder to put the temporary file in.
  const auto noFolder = replaceFile(root / "missing" / "x.swf", Bytes{1});
  ASSERT_FALSE(noFolder.ok());
  EXPECT_EQ(noFolder.error().step, WriteFailure::Step::Create);
  EXPECT_EQ(noFolder.error().reason(), "No such file or directory");
}

TEST_F(FileTest, ReadingReportsWhyAndLetsTheCallerRefuseASize) {
  EXPECT_EQ(readWholeFile(root / "none").error(), "no such file " + (root / "none").string());
  EXPECT_EQ(readWholeFile(root).error(), "no such file " + root.string());  // a folder
  std::ofstream(root / "empty").close();
  EXPECT_TRUE(readWholeFile(root / "empty")->empty());
  std::ofstream(root / "big") << "0123456789";
  const auto refused = readWholeFile(
      root / "big", [](std::uint64_t size) -> Result<void> {
        if (size > 4) return fail("too large: " + std::to_string(size));
        return {};
      });
  EXPECT_EQ(refused.error(), "too large: 10");
}

TEST(Plumbing, FolderRuleAndLittleEndianFields) {
  EXPECT_EQ(folderPath("/out"), "/out/");
  EXPECT_EQ(folderPath("/out/"), "/out/");
  EXPECT_EQ(folderPath(""), "");  // a missing folder stays missing
  Bytes out;
  appendU16(out, 0x1234);
  appendU32(out, 0xA1B2C3D4);
  EXPECT_EQ(out, (Bytes{0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1}));
}

}  // namespace
}  // namespace brevanto::util
