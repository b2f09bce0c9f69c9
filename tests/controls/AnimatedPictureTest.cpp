#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "controls/AnimatedPicture.h"
#include "image/GifIndex.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"

namespace brevanto::controls {
namespace {

using testing::GifBuilder;

std::size_t tableFrames(std::span<const std::uint8_t> data) {
  return image::indexGif(data, image::GifRules::FrameTable).frames.size();
}

// A decoder that accepts everything, so the tests below see the block walk alone.
std::optional<PictureSize> acceptAll(std::span<const std::uint8_t>) { return PictureSize{1, 1}; }

std::vector<int> delaysOf(const AnimatedPicture& picture) {
  std::vector<int> delays;
  for (const auto& frame : picture.frames()) delays.push_back(frame.delay);
  return delays;
}

TEST(AnimatedPicture, ReadsDelaysGeometryAndDisposalPastCommentAndApplicationExtensions) {
  GifBuilder gif(20, 10);
  gif.loop(0).comment("made by a test");
  gif.control({.delay = 7, .disposal = 2}).image(1, 2, 5, 4, 1);
  gif.comment("between frames").loop(3);
  gif.control({.delay = 150, .disposal = 1}).comment("inside a graphic block").image(3, 4, 6, 5, 2);
  gif.control({.delay = 0, .disposal = 3}).image(0, 0, 20, 10, 3).comment("after the last frame").trailer();

  AnimatedPicture picture(acceptAll);
  ASSERT_TRUE(picture.loadMemory(gif.bytes()));
  EXPECT_TRUE(picture.isGif());
  EXPECT_EQ(picture.screenWidth(), 20);
  EXPECT_EQ(picture.screenHeight(), 10);
  EXPECT_EQ(picture.globalColorTableSize(), 12u);
  ASSERT_EQ(picture.animatedFrameCount(), 3);
  EXPECT_EQ(delaysOf(picture), (std::vector<int>{7, 150, 0}));
  const PictureFrame& second = picture.frames()[1];
  EXPECT_EQ((std::array{second.left, second.top, second.width, second.height}), (std::array{3, 4, 6, 5}));
  EXPECT_EQ((std::array{picture.frames()[0].disposal, second.disposal, picture.frames()[2].disposal}),
            (std::array{2, 1, 3}));
}

TEST(AnimatedPicture, FramesWithoutGraphicControlExtensionHaveNoDelay) {
  GifBuilder gif(4, 4);
  gif.image(0, 0, 4, 4, 1).control({.delay = 30, .disposal = 2}).image(0, 0, 4, 4, 2).image(0, 0, 4, 4, 3).trailer();
  AnimatedPicture picture(acceptAll);
  ASSERT_TRUE(picture.loadMemory(gif.bytes()));
  EXPECT_EQ(delaysOf(picture), (std::vector<int>{-1, 30, -1}));
  EXPECT_EQ(picture.frames()[0].disposal, 0);
  EXPECT_EQ(picture.frames()[2].disposal, 0);
}

TEST(AnimatedPicture, StandaloneFrameIsHeaderPlusItsBlocksPlusTrailer) {
  GifBuilder header(4, 4);
  const std::size_t headerSize = header.size();
  GifBuilder gif(4, 4);
  gif.comment("skipped").control({.delay = 5}).image(0, 0, 4, 4, 1);
  const std::size_t secondStart = gif.size();
  gif.control({.delay = 9}).comment("kept").image(0, 0, 4, 4, 2);
  const std::size_t secondEnd = gif.size();
  gif.trailer();

  std::vector<std::vector<std::uint8_t>> handed;
  AnimatedPicture picture([&](std::span<const std::uint8_t> bytes) {
    handed.emplace_back(bytes.begin(), bytes.end());
    return std::optional(PictureSize{4, 4});
  });
  ASSERT_TRUE(picture.loadMemory(gif.bytes()));
  ASSERT_EQ(handed.size(), 2u);
  const auto& standalone = handed[1];
  std::vector<std::uint8_t> expected(gif.bytes().begin(), gif.bytes().begin() + static_cast<long>(headerSize));
  expected.insert(expected.end(), gif.bytes().begin() + static_cast<long>(secondStart),
                  gif.bytes().begin() + static_cast<long>(secondEnd));
  expected.push_back(0x3B);
  EXPECT_EQ(standalone, expected);
}

TEST(AnimatedPicture, SingleFrameGifAndNonGifDataHaveNoAnimatedFrames) {
  GifBuilder single(8, 6);
  single.comment("x").frame(40, 8, 6, 1).trailer();
  AnimatedPicture picture(acceptAll);
  ASSERT_TRUE(picture.loadMemory(single.bytes()));
  EXPECT_EQ(picture.animatedFrameCount(), 0);
  EXPECT_TRUE(picture.frames().empty());
  EXPECT_TRUE(picture.singlePicture().has_value());

  const std::vector<std::uint8_t> notGif = {'B', 'M', 1, 2, 3};
  AnimatedPicture other([](std::span<const std::uint8_t>) { return std::optional(PictureSize{7, 3}); });
  ASSERT_TRUE(other.loadMemory(notGif));
  EXPECT_FALSE(other.isGif());
  EXPECT_EQ(other.animatedFrameCount(), 0);
  EXPECT_EQ(other.screenWidth(), 7);
  EXPECT_EQ(other.screenHeight(), 3);
}

TEST(AnimatedPicture, FramesTheDecoderRejectsAreLeftOut) {
  GifBuilder gif(4, 4);
  gif.frame(10, 4, 4, 1).frame(20, 4, 4, 2).frame(30, 4, 4, 3).trailer();
  int call = 0;
  AnimatedPicture picture([&](std::span<const std::uint8_t>) -> std::optional<PictureSize> {
    if (++call == 2) return std::nullopt;
    return PictureSize{4, 4};
  });
  ASSERT_TRUE(picture.loadMemory(gif.bytes()));
  EXPECT_EQ(picture.countedFrames(), 3);
  EXPECT_EQ(delaysOf(picture), (std::vector<int>{10, 30}));
}

TEST(AnimatedPicture, PlainTextExtensionIsAFrameOfItsOwn) {
  GifBuilder gif(4, 4);
  gif.frame(10, 4, 4, 1).control({.delay = 20}).plainText("hello").frame(30, 4, 4, 2).trailer();
  const auto blocks = image::indexGif(gif.bytes(), image::GifRules::FrameTable).frames;
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_FALSE(blocks[1].hasImage);
  EXPECT_EQ(blocks[1].delay, 20);
  EXPECT_EQ(blocks[2].delay, 30);
}

TEST(FrameTableWalk, EndsWhereTheStructureBreaks) {
  GifBuilder gif(4, 4);
  gif.frame(10, 4, 4, 1).frame(20, 4, 4, 2);
  const std::size_t thirdStart = gif.size();
  gif.frame(30, 4, 4, 3).trailer();
  const auto& full = gif.bytes();

  // A sub-block chain cut off by the end of the data.
  std::vector<std::uint8_t> cut(full.begin(), full.end() - 4);
  EXPECT_EQ(tableFrames(cut), 2u);

  // A sub-block whose size byte claims more bytes than remain.
  std::vector<std::uint8_t> overlong(full.begin(), full.begin() + static_cast<long>(thirdStart));
  overlong.insert(overlong.end(), {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0, 8, 200, 1, 2, 3});
  EXPECT_EQ(tableFrames(overlong), 2u);

  // An unknown block.
  std::vector<std::uint8_t> unknown(full.begin(), full.begin() + static_cast<long>(thirdStart));
  unknown.push_back(0x99);
  unknown.insert(unknown.end(), full.begin() + static_cast<long>(thirdStart), full.end());
  EXPECT_EQ(tableFrames(unknown), 2u);

  // No trailer at all still counts every complete frame.
  std::vector<std::uint8_t> noTrailer(full.begin(), full.end() - 1);
  EXPECT_EQ(tableFrames(noTrailer), 3u);
}

TEST(FrameTableWalk, EveryTruncationIsWalkedSafely) {
  GifBuilder gif(6, 6);
  gif.loop().comment("c").frame(10, 6, 6, 1).control({.delay = 5}).plainText("t").frame(-1, 3, 3, 2).trailer();
  const auto& full = gif.bytes();
  int previous = 0;
  for (std::size_t n = 0; n <= full.size(); ++n) {
    std::vector<std::uint8_t> prefix(full.begin(), full.begin() + static_cast<long>(n));
    AnimatedPicture picture(acceptAll);
    picture.loadMemory(prefix);
    const int counted = picture.countedFrames();
    EXPECT_GE(counted, previous) << "prefix " << n;  // more data never loses a frame
    EXPECT_LE(counted, 3);
    previous = counted;
  }
  EXPECT_EQ(previous, 3);
}

TEST(AnimatedPicture, RealDecoderReadsFramesAndRejectsGarbage) {
  GifBuilder gif(5, 3);
  gif.frame(10, 5, 3, 1).frame(20, 5, 3, 2).trailer();
  AnimatedPicture picture;
  ASSERT_TRUE(picture.loadMemory(gif.bytes()));
  ASSERT_EQ(picture.animatedFrameCount(), 2);
  EXPECT_EQ(picture.frames()[1].pictureSize.width, 5);
  EXPECT_EQ(picture.frames()[1].pictureSize.height, 3);

  const std::vector<std::uint8_t> garbage = {'G', 'I', 'F', '8', '9', 'a', 1};
  EXPECT_FALSE(picture.loadMemory(garbage));
  EXPECT_EQ(picture.animatedFrameCount(), 0);
  EXPECT_FALSE(picture.load("/nonexistent/file.gif"));
}

TEST(AnimatedPicture, PngFileLoadsAsOneStillPicture) {
  image::RasterImage still;
  ASSERT_TRUE(still.create(9, 4, 24));
  const testing::ScratchFolder scratch;
  const auto path = scratch / "still.png";
  ASSERT_TRUE(image::ImageCodecFactory::save(still, path, image::ImageProperties{}));
  AnimatedPicture picture;
  EXPECT_TRUE(picture.load(path.string()));
  EXPECT_FALSE(picture.isGif());
  EXPECT_EQ(picture.animatedFrameCount(), 0);
  EXPECT_EQ(picture.screenWidth(), 9);
  EXPECT_EQ(picture.screenHeight(), 4);
}

}  // namespace
}  // namespace brevanto::controls
