#include "image/RasterImage.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image/ImageLimits.h"

namespace brevanto::image {
namespace {

BitmapInfoHeader headerOf(std::int32_t w, std::int32_t h, int bits, std::uint32_t compression = 0) {
  BitmapInfoHeader header;
  header.width = w;
  header.height = h;
  header.bitCount = static_cast<std::uint16_t>(bits);
  header.compression = compression;
  return header;
}

void fill32(RasterImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      std::uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = static_cast<std::uint8_t>(x * 16 + y);
      p[3] = 200;
    }
  }
}

TEST(RasterImage, StrideRowsAreFourByteAligned) {
  struct Case {
    int w, bits;
    std::size_t stride;
  };
  for (const Case c : {Case{1, 24, 4}, Case{1, 1, 4}, Case{3, 24, 12}, Case{5, 24, 16}, Case{33, 1, 8}, Case{3, 4, 4},
                       Case{9, 4, 8}, Case{3, 16, 8}, Case{7, 8, 8}}) {
    RasterImage image;
    ASSERT_TRUE(image.create(c.w, 2, c.bits));
    EXPECT_EQ(image.stride(), c.stride) << c.w << " x " << c.bits;
    EXPECT_EQ(image.pixels().size(), c.stride * 2);
  }
}

TEST(RasterImage, RowsAreTopDownOverBottomUpStorage) {
  RasterImage image;
  ASSERT_TRUE(image.create(3, 4, 8));
  // Row 0 (top) is the last row of the block, row 3 (bottom) the first.
  EXPECT_EQ(image.row(0), image.pixels().data() + 3 * image.stride());
  EXPECT_EQ(image.row(3), image.pixels().data());
  image.row(0)[0] = 7;
  EXPECT_EQ(image.pixels()[3 * image.stride()], 7);
}

TEST(RasterImage, CreateRejectsInvalidHeadersAndKeepsTheImage) {
  RasterImage image;
  ASSERT_TRUE(image.create(2, 2, 24));
  image.row(0)[0] = 99;
  for (const BitmapInfoHeader& bad :
       {headerOf(4, -10, 24), headerOf(0, 4, 24), headerOf(4, 0, 24), headerOf(4, 4, 24, 1), headerOf(4, 4, 24, 2),
        headerOf(4, 4, 2), headerOf(4, 4, 15), headerOf(4, 4, 0)}) {
    const auto refused = image.create(bad);
    ASSERT_FALSE(refused);
    EXPECT_FALSE(refused.error().empty());
    EXPECT_EQ(image.width(), 2);
    EXPECT_EQ(image.row(0)[0], 99);
  }
}

TEST(RasterImage, CreateRefusesImagesBeyondTheLimitsBeforeAllocating) {
  RasterImage image;
  const auto huge = image.create(100000, 100000, 32);  // 10^10 pixels
  ASSERT_FALSE(huge);
  EXPECT_NE(huge.error().find("limit"), std::string::npos);
  EXPECT_TRUE(image.isEmpty());
  EXPECT_FALSE(image.create(16385, 16384, 8));  // just above 2^28 pixels
  // 2^28 pixels of 32 bits are 1 GiB: refused when the budget is smaller.
  const bool fits = memoryBudgetBytes() >= (std::uint64_t{1} << 30);
  RasterImage large;
  if (!fits) {
    EXPECT_FALSE(large.create(16384, 16384, 32));
  }
  const auto overBudget = checkImageAllocation(10, 10, memoryBudgetBytes() + 1);
  ASSERT_FALSE(overBudget);
  EXPECT_NE(overBudget.error().find("budget"), std::string::npos);
  EXPECT_TRUE(checkImageAllocation(16384, 16384, 1000));
}

TEST(RasterImage, MasksFollowTheHeader) {
  RasterImage image;
  ASSERT_TRUE(image.create(headerOf(4, 4, 16)));
  EXPECT_EQ(image.masks(), kMasks555);
  EXPECT_EQ(image.compression(), 0u);

  ASSERT_TRUE(image.create(headerOf(4, 4, 16, 3), kMasks565));
  EXPECT_EQ(image.masks(), kMasks565);
  EXPECT_EQ(image.compression(), 3u);
  EXPECT_TRUE(image.is565());

  ASSERT_TRUE(image.create(headerOf(4, 4, 24, 3)));
  EXPECT_EQ(image.compression(), 0u);
  EXPECT_EQ(image.masks(), ColorMasks{});
}

TEST(RasterImage, NewIndexedImagesGetTheGreyRamp) {
  RasterImage image;
  ASSERT_TRUE(image.create(2, 2, 4));
  ASSERT_EQ(image.palette().size(), 16u);
  for (int i = 0; i < 16; ++i) {
    const auto v = static_cast<std::uint8_t>(17 * i);
    EXPECT_EQ(image.palette()[static_cast<std::size_t>(i)], (PaletteEntry{v, v, v, 0}));
  }
  ASSERT_TRUE(image.create(2, 2, 1));
  EXPECT_EQ(image.palette()[1], (PaletteEntry{255, 255, 255, 0}));
  ASSERT_TRUE(image.create(2, 2, 8));
  EXPECT_EQ(image.palette()[200].green, 200);
  ASSERT_TRUE(image.create(2, 2, 24));
  EXPECT_TRUE(image.palette().empty());
}

TEST(RasterImage, HeaderWithColors) {
  RasterImage image;
  ASSERT_TRUE(image.create(3, 2, 8));
  image.setPaletteEntry(1, {9, 8, 7, 6});
  auto block = image.headerWithColors();
  ASSERT_EQ(block.size(), 40u + 1024u);
  EXPECT_EQ(block[44], 9);
  EXPECT_EQ(block[47], 6);

  ASSERT_TRUE(image.create(3, 2, kMasks565));
  block = image.headerWithColors();
  ASSERT_EQ(block.size(), 52u);
  EXPECT_EQ(block[44], 0xE0);  // green mask 0x07E0
  EXPECT_EQ(block[45], 0x07);
}

TEST(RasterImage, SetAlphaByteOnlyTouches32Bit) {
  RasterImage image;
  ASSERT_TRUE(image.create(3, 3, 32));
  image.setAlphaByte(255);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(x, y)[3], 255);
  }
  EXPECT_EQ(image.pixel(2, 2)[2], 0);
  ASSERT_TRUE(image.create(3, 3, 24));
  image.setAlphaByte(255);
  for (std::uint8_t b : image.pixels()) EXPECT_EQ(b, 0);
}

TEST(RasterImage, CopiesAreDeepAndMovesLeaveTheSourceEmpty) {
  RasterImage image;
  ASSERT_TRUE(image.create(4, 3, 32));
  fill32(image);
  image.setOrigin(-3, 7);
  RasterImage copy = image;
  EXPECT_EQ(copy.originX(), -3);
  EXPECT_EQ(copy.originY(), 7);
  ASSERT_TRUE(std::equal(copy.pixels().begin(), copy.pixels().end(), image.pixels().begin()));
  copy.pixel(0, 0)[0] = 77;
  EXPECT_NE(image.pixel(0, 0)[0], 77);
  EXPECT_EQ(copy.row(2), copy.pixels().data());  // row table rebuilt for the copy

  const std::uint8_t* rows = image.row(0);
  RasterImage moved = std::move(image);
  EXPECT_EQ(moved.row(0), rows);
  EXPECT_TRUE(image.isEmpty());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(image.width(), 0);   // NOLINT(bugprone-use-after-move)

  RasterImage indexed;
  ASSERT_TRUE(indexed.create(3, 3, 8));
  indexed.setPaletteEntry(0, {1, 1, 1, 1});
  const RasterImage copied(indexed);
  EXPECT_EQ(copied.palette()[0], (PaletteEntry{1, 1, 1, 1}));
  EXPECT_EQ(copied.width(), 3);
}

}  // namespace
}  // namespace brevanto::image
