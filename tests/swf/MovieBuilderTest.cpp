// Building a movie slot by slot: the same bytes as the pull-based assembly, and the limits
// checked while slots arrive.

#include "SwfTestSupport.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>

namespace brevanto::swf {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class MovieBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    input.sourceWidth = 40;
    input.sourceHeight = 30;
    input.frameRate = 12;
  }
  Bytes readMovie() const { return brevanto::testing::readFile(root / "walk.swf"); }

  brevanto::testing::ScratchFolder scratch;
  const fs::path& root = scratch.path();
  MovieAssemblyInput input = test::movieInput(80, 60, 0, "/gifs/walk.gif", root.string() + "/");
};

TEST_F(MovieBuilderTest, SlotBySlotGivesTheBytesOfTheWholeInputAssembly) {
  // Pictures at slots 0, 3 and 6 (an empty one), nothing elsewhere; 8 slots in all.
  const std::map<int, Bytes> pictures{{0, {0xFF, 0xD8, 1, 0xFF, 0xD9}}, {3, Bytes(3000, 0x42)}, {6, {}}};
  input.slotCount = 8;
  const auto built = buildMovieBytes(input, [&](int slot) {
    const auto it = pictures.find(slot);
    return it == pictures.end() ? SlotPicture{} : SlotPicture::jpeg(it->second);
  });
  ASSERT_TRUE(built.ok());
  const Bytes expected = *built;

  MovieBuilder builder(input);
  for (const auto& [slot, jpeg] : pictures) {
    builder.padTo(slot);
    builder.addSlot(jpeg);
  }
  builder.padTo(8);
  EXPECT_EQ(builder.slotCount(), 8);
  EXPECT_TRUE(builder.accepting());
  const auto bytes = builder.fileBytes();
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(*bytes, expected);

  const auto written = builder.write();
  ASSERT_TRUE(written.ok());
  EXPECT_EQ(*written, input.outputFolder + "walk.swf");
  EXPECT_EQ(readMovie(), expected);
}

TEST_F(MovieBuilderTest, StreamedMoviesAreTheSameBytesAndFailuresLeaveNothingBehind) {
  auto entries = [&] { return std::distance(fs::directory_iterator(root), fs::directory_iterator()); };
  auto build = [&](MovieBuilder& builder, int slots) {
    for (int n = 0; n < slots; ++n) {
      if (n % 3 == 0)
        builder.addSlot(Bytes(5000 + n, static_cast<std::uint8_t>(n)));
      else
        builder.addEmptySlot();
    }
  };
  MovieBuilder inMemory(input);
  build(inMemory, 40);
  const Bytes expected = *inMemory.fileBytes();

  MovieBuilder streamed(input);
  ASSERT_TRUE(streamed.streamToFile());
  build(streamed, 40);
  EXPECT_EQ(entries(), 1);  // only the hidden temporary file so far
  ASSERT_TRUE(streamed.write().ok());
  EXPECT_EQ(readMovie(), expected);
  EXPECT_EQ(entries(), 1);

  // Refused at the end (too many slots): the old movie stays, the temporary file goes.
  {
    MovieBuilder tooLong(input);
    ASSERT_TRUE(tooLong.streamToFile());
    tooLong.padTo(kMaxSlotCount + 1);
    EXPECT_EQ(tooLong.write().error().kind, MovieError::Kind::Refused);
  }
  EXPECT_EQ(readMovie(), expected);
  EXPECT_EQ(entries(), 1);

  // A file size limit hit while streaming: reported as a failed write, nothing replaced.
  std::optional<brevanto::testing::FileSizeLimit> fullDisk(std::in_place, 64 * 1024);
  MovieBuilder tooLarge(input);
  const bool streaming = tooLarge.streamToFile();
  build(tooLarge, 60);
  const auto failed = tooLarge.write();
  fullDisk.reset();
  EXPECT_TRUE(streaming);
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().kind, MovieError::Kind::CannotWrite);
  EXPECT_EQ(failed.error().write.step, util::WriteFailure::Step::Write);
  EXPECT_EQ(readMovie(), expected);
  EXPECT_EQ(entries(), 1);

  // No place for the movie: not streamed, and write() says why as before.
  input.outputFolder = (root / "missing").string() + "/";
  MovieBuilder nowhere(input);
  EXPECT_FALSE(nowhere.streamToFile());
  EXPECT_EQ(nowhere.write().error().kind, MovieError::Kind::NoOutputFolder);
}

TEST_F(MovieBuilderTest, AnUnreadablePictureTakesItsIdLikeTheWholeInputAssembly) {
  input.slotCount = 3;
  ASSERT_TRUE(writeMovie(input, [](int slot) { return slot == 1 ? SlotPicture::unreadable() : SlotPicture{}; }));
  const Bytes fromFolder = readMovie();

  MovieBuilder builder(input);
  builder.addEmptySlot();
  builder.addUnreadableSlot();
  builder.addEmptySlot();
  EXPECT_EQ(*builder.fileBytes(), fromFolder);
}

TEST_F(MovieBuilderTest, RefusedMoviesAreOnlyCountedAndNothingIsWritten) {
  // Too many slots: building stops at the limit, the count goes on for the message.
  MovieBuilder tooLong(input);
  tooLong.padTo(kMaxSlotCount);
  EXPECT_TRUE(tooLong.accepting());
  tooLong.addSlot(Bytes{0xFF, 0xD8, 0xFF, 0xD9});
  EXPECT_FALSE(tooLong.accepting());
  const auto start = std::chrono::steady_clock::now();
  tooLong.padTo(2'000'000'000);
  // Counted, not walked: two billion empty slots would take minutes one by one.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(tooLong.slotCount(), 2'000'000'000);
  const auto result = tooLong.write();
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.error().detail.find("2000000000 steps"), std::string::npos) << result.error().detail;
  EXPECT_FALSE(tooLong.fileBytes().ok());

  // A stage that cannot be stored: refused from the start.
  input.stageWidth = kMaxStageSide + 1;
  MovieBuilder tooWide(input);
  EXPECT_FALSE(tooWide.accepting());
  tooWide.addSlot(Bytes(100, 1));
  EXPECT_EQ(tooWide.slotCount(), 1);
  const auto bytes = tooWide.fileBytes();
  ASSERT_FALSE(bytes.ok());
  EXPECT_NE(bytes.error().detail.find("1638"), std::string::npos) << bytes.error().detail;
  EXPECT_FALSE(tooWide.write().ok());

  EXPECT_TRUE(fs::is_empty(root));  // no movie, no temporary file
}

}  // namespace
}  // namespace brevanto::swf
