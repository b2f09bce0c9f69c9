#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "image/BicubicScaler.h"
#include "image/Drawing.h"

namespace brevanto::image {
namespace {

RasterImage flat32(int w, int h, std::uint32_t bgra) {
  RasterImage image;
  EXPECT_TRUE(image.create(w, h, 32));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) std::memcpy(image.pixel(x, y), &bgra, 4);
  }
  return image;
}

std::uint32_t at32(const RasterImage& image, int x, int y) {
  std::uint32_t v;
  std::memcpy(&v, image.pixel(x, y), 4);
  return v;
}

TEST(Scale, FlatColourStaysFlatToTheEdges) {
  for (auto [w2, h2] : {std::pair{200, 100}, std::pair{37, 11}, std::pair{1, 1}, std::pair{1000, 3}}) {
    RasterImage image = flat32(100, 50, 0xFF3366CCu);
    ASSERT_TRUE(scaleImage(image, w2, h2));
    ASSERT_EQ(image.width(), w2);
    ASSERT_EQ(image.height(), h2);
    ASSERT_EQ(image.bitCount(), 32);
    for (int y = 0; y < h2; ++y) {
      for (int x = 0; x < w2; ++x) ASSERT_EQ(at32(image, x, y), 0xFF3366CCu) << x << "," << y;
    }
  }
}

TEST(Scale, IndexedAndInvalidSizesLeaveTheImageAlone) {
  RasterImage indexed;
  ASSERT_TRUE(indexed.create(10, 10, 8));
  indexed.row(3)[4] = 9;
  EXPECT_FALSE(scaleImage(indexed, 20, 20));
  EXPECT_EQ(indexed.width(), 10);
  EXPECT_EQ(indexed.row(3)[4], 9);

  RasterImage image = flat32(10, 10, 0xFF000000u);
  EXPECT_FALSE(scaleImage(image, 0, 20));
  EXPECT_FALSE(scaleImage(image, 20, 0));
  EXPECT_FALSE(scaleImage(image, 20, -3));
  EXPECT_FALSE(scaleImage(image, 100000, 100000));  // beyond the pixel limit
  EXPECT_EQ(image.width(), 10);
  EXPECT_EQ(image.height(), 10);
  RasterImage empty;
  EXPECT_FALSE(scaleImage(empty, 5, 5));
}

TEST(Scale, SixteenBitKeepsItsMasks) {
  for (const ColorMasks& masks : {kMasks565, kMasks555}) {
    RasterImage image;
    ASSERT_TRUE(image.create(8, 6, masks));
    const bool is565 = masks == kMasks565;
    // Pure green at full intensity in either layout.
    const std::uint16_t green = is565 ? 0x07E0 : 0x03E0;
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 8; ++x) std::memcpy(image.pixel(x, y), &green, 2);
    }
    ASSERT_TRUE(scaleImage(image, 13, 4));
    EXPECT_EQ(image.bitCount(), 16);
    EXPECT_EQ(image.masks(), masks);
    EXPECT_EQ(image.compression(), 3u);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 13; ++x) {
        std::uint16_t v;
        std::memcpy(&v, image.pixel(x, y), 2);
        ASSERT_EQ(v, green);
      }
    }
  }
}

TEST(Scale, UpscaledRampIsSmoothAndDownscalingAverages) {
  // A horizontal ramp stays monotonic and within range when enlarged.
  RasterImage ramp;
  ASSERT_TRUE(ramp.create(16, 2, 24));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 16; ++x) std::memset(ramp.pixel(x, y), x * 16, 3);
  }
  ASSERT_TRUE(scaleImage(ramp, 64, 4));
  for (int x = 1; x < 64; ++x) EXPECT_GE(ramp.pixel(x, 1)[0], ramp.pixel(x - 1, 1)[0]) << x;

  // One-pixel black and white stripes shrunk 4x average to grey, with no aliasing (the edge
  // columns see the replicated edge stripe and lean towards it).
  RasterImage stripes;
  ASSERT_TRUE(stripes.create(64, 64, 24));
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) std::memset(stripes.pixel(x, y), (x & 1) ? 255 : 0, 3);
  }
  ASSERT_TRUE(scaleImage(stripes, 16, 16));
  for (int y = 0; y < 16; ++y) {
    for (int x = 1; x < 15; ++x) EXPECT_NEAR(stripes.pixel(x, y)[1], 128, 3) << x << "," << y;
  }
}

TEST(Scale, PixelCentresMapToPixelCentres) {
  // Enlarging 2x a picture whose left half is black and right half white: the change happens
  // across the middle, symmetric, and the far columns keep their colour.
  RasterImage image;
  ASSERT_TRUE(image.create(8, 1, 32));
  for (int x = 0; x < 8; ++x) std::memset(image.pixel(x, 0), x < 4 ? 0 : 255, 4);
  ASSERT_TRUE(scaleImage(image, 16, 1));
  for (int x = 0; x < 16; ++x) {
    EXPECT_EQ(image.pixel(x, 0)[0] + image.pixel(15 - x, 0)[0], 255) << x;
  }
  EXPECT_EQ(image.pixel(0, 0)[0], 0);
  EXPECT_EQ(image.pixel(15, 0)[0], 255);
}

TEST(Draw, WholeImageAtDoubleSizeIsUpright) {
  RasterImage source;
  ASSERT_TRUE(source.create(2, 2, 24));
  source.pixel(0, 0)[2] = 255;  // top-left red
  source.pixel(1, 1)[0] = 255;  // bottom-right blue
  RasterImage target;
  ASSERT_TRUE(target.create(4, 4, 32));
  drawToDevice(source, target, Rect{0, 0, 4, 4}, Rect{0, 0, 2, 2});
  EXPECT_EQ(at32(target, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(at32(target, 1, 1), 0xFFFF0000u);
  EXPECT_EQ(at32(target, 2, 0), 0xFF000000u);
  EXPECT_EQ(at32(target, 3, 3), 0xFF0000FFu);
}

TEST(Draw, TopHalfSourceShowsTheTopHalf) {
  RasterImage source;
  ASSERT_TRUE(source.create(4, 4, 8));
  source.setPaletteEntry(1, {0, 255, 0, 0});  // green, reserved byte ignored
  source.setPaletteEntry(2, {0, 0, 255, 7});  // red
  for (int y = 0; y < 4; ++y) std::memset(source.row(y), y < 2 ? 1 : 2, 4);
  RasterImage target = flat32(8, 8, 0x12345678u);
  drawToDevice(source, target, Rect{0, 0, 8, 8}, Rect{0, 0, 4, 2});
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(at32(target, x, y), 0xFF00FF00u);
  }
}

TEST(Draw, ClipsToTheTargetAndIgnoresEmptyInput) {
  RasterImage source = flat32(3, 3, 0x00ABCDEFu);  // alpha 0 is painted opaque
  RasterImage target = flat32(4, 4, 0u);
  drawToDevice(source, target, Rect{-2, 2, 6, 10}, Rect{0, 0, 3, 3});
  EXPECT_EQ(at32(target, 0, 1), 0u);
  EXPECT_EQ(at32(target, 0, 2), 0xFFABCDEFu);
  EXPECT_EQ(at32(target, 3, 3), 0xFFABCDEFu);
  drawToDevice(RasterImage{}, target, Rect{0, 0, 4, 4}, Rect{0, 0, 3, 3});
  drawToDevice(source, target, Rect{0, 0, 0, 4}, Rect{0, 0, 3, 3});
  EXPECT_EQ(at32(target, 0, 0), 0u);
  // A source rectangle reaching outside the picture paints only what exists.
  drawToDevice(source, target, Rect{0, 0, 4, 4}, Rect{-1, 0, 3, 3});
  EXPECT_EQ(at32(target, 0, 0), 0u);
  EXPECT_EQ(at32(target, 1, 0), 0xFFABCDEFu);

  // Top-down caller memory (as a GUI image holds it).
  std::vector<std::uint32_t> surface(6 * 2, 0);
  DrawTarget raw{reinterpret_cast<std::uint8_t*>(surface.data()), 6, 2, 6 * 4};
  RasterImage sixteen;
  ASSERT_TRUE(sixteen.create(1, 2, kMasks565));
  const std::uint16_t white = 0xFFFF;
  std::memcpy(sixteen.pixel(0, 0), &white, 2);
  drawToDevice(sixteen, raw, Rect{0, 0, 6, 2}, Rect{0, 0, 1, 2});
  EXPECT_EQ(surface[0], 0xFFFFFFFFu);
  EXPECT_EQ(surface[6], 0xFF000000u);
}

}  // namespace
}  // namespace brevanto::image
