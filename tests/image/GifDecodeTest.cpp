// Composition, damage handling, properties and resource limits of the GIF decoder.
#include <gtest/gtest.h>

#include <cstring>

#include "image/AnimatedImage.h"
#include "image/platform/GifReader.h"
#include "image/platform/PlatformCodec.h"
#include "tests/support/DecodedGif.h"
#include "tests/support/GifBuilder.h"

using namespace brevanto::image;
using namespace brevanto::image::platform;
using brevanto::testing::DecodedGif;
using brevanto::testing::GifBuilder;
using brevanto::testing::decodeAll;
using brevanto::testing::lzwEncode;

namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kBlack = 0;
constexpr std::uint32_t kClear = 0x00FFFFFF;  // transparent white as ARGB

std::uint32_t opaque(std::uint32_t rgb) { return 0xFF000000u | rgb; }

}  // namespace

TEST(GifDecode, DisposalsAndTransparencyComposeLikeBrowsers) {
  // 4x1 screen. Frame 0 paints all red and is left; frame 1 paints x=1..2 green with index 2
  // transparent at x=2 and is cleared afterwards; frame 2 paints x=0 blue and is restored;
  // frame 3 draws nothing visible (all transparent).
  GifBuilder gif(4, 1, {kRed, kGreen, kBlue, kBlack});
  gif.control({.delay = 10, .disposal = 1}).image(0, 0, 4, 1, {0, 0, 0, 0});
  gif.control({.delay = 10, .disposal = 2, .transparent = 2}).image(1, 0, 2, 1, {1, 2});
  gif.control({.delay = 50, .disposal = 3}).image(0, 0, 1, 1, {2});
  gif.control({.delay = 0, .transparent = 3}).image(0, 0, 4, 1, {3, 3, 3, 3}).trailer();
  const DecodedGif f = decodeAll(gif.bytes());
  ASSERT_TRUE(f.result.delivered()) << f.result.error.value_or("");
  ASSERT_EQ(f.frames.size(), 4u);
  EXPECT_EQ(f.frames[0].width, 4);
  EXPECT_EQ(f.frames[0].format, PixelFormat::Argb32);
  EXPECT_EQ(f.at(0, 0, 0), opaque(kRed));
  // Frame 1: the transparent index keeps the red underneath.
  EXPECT_EQ(f.at(1, 1, 0), opaque(kGreen));
  EXPECT_EQ(f.at(1, 2, 0), opaque(kRed));
  // Frame 2: frame 1's rectangle was cleared to transparent white; x=0 now blue.
  EXPECT_EQ(f.at(2, 0, 0), opaque(kBlue));
  EXPECT_EQ(f.at(2, 1, 0), kClear);
  EXPECT_EQ(f.at(2, 2, 0), kClear);
  EXPECT_EQ(f.at(2, 3, 0), opaque(kRed));
  // Frame 3: frame 2 restored what was under it (red at x=0).
  EXPECT_EQ(f.at(3, 0, 0), opaque(kRed));
  EXPECT_EQ(f.at(3, 1, 0), kClear);
  EXPECT_EQ(f.result.frameDelays, (std::vector<std::int32_t>{10, 10, 50, 0}));

  // Delays reach the properties in milliseconds, one per frame.
  FrameList list;
  std::optional<ImageProperties> props;
  PlatformCodec codec;
  ASSERT_TRUE(codec.loadFromMemory(gif.bytes(), list, props));
  ASSERT_TRUE(props.has_value());
  EXPECT_EQ(props->frameDelaysMs(), (std::vector<std::uint64_t>{100, 100, 500, 0}));
  EXPECT_FALSE(props->contains(0x5101));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].bitCount(), 32);
  EXPECT_EQ(list[2].row(0)[4 + 3], 0);  // alpha of the cleared pixel
}

TEST(GifDecode, LoopCountsAreKeptAsShortItems) {
  for (int count : {0, 65535}) {
    GifBuilder gif(1, 1, {kRed, kGreen});
    gif.loop(count).image(0, 0, 1, 1, {0}).trailer();
    FrameList list;
    std::optional<ImageProperties> props;
    PlatformCodec codec;
    ASSERT_TRUE(codec.loadFromMemory(gif.bytes(), list, props));
    EXPECT_EQ(props->get(0x5101), std::to_string(count));
  }
}

TEST(GifDecode, InterlacedRowsLocalTablesAndClipping) {
  // 3x9 interlaced frame whose row y has index y % 4, with a local table that wins.
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < 9; ++y) rows.insert(rows.end(), 3, static_cast<std::uint8_t>(y % 4));
  GifBuilder gif(3, 9, {kBlack, kBlack, kBlack, kBlack});
  gif.image(0, 0, 3, 9, rows, {.interlaced = true, .local = {kRed, kGreen, kBlue, 0xFFFFFF}});
  // A second frame hanging over the right and bottom edges is clipped.
  gif.image(2, 8, 4, 4, std::vector<std::uint8_t>(16, 2)).trailer();
  const DecodedGif f = decodeAll(gif.bytes());
  ASSERT_EQ(f.frames.size(), 2u) << f.result.error.value_or("");
  const std::uint32_t expect[4] = {kRed, kGreen, kBlue, 0xFFFFFF};
  for (int y = 0; y < 9; ++y) EXPECT_EQ(f.at(0, 1, y), opaque(expect[y % 4])) << "row " << y;
  EXPECT_EQ(f.frames[1].width, 3);
  EXPECT_EQ(f.frames[1].height, 9);
  EXPECT_EQ(f.at(1, 2, 8), opaque(kBlack));  // global table (index 2) on the overhanging frame
  EXPECT_EQ(f.at(1, 1, 8), opaque(expect[0]));
}

TEST(GifDecode, ZeroScreenTakesTheLargestFrameExtent) {
  GifBuilder gif(0, 0, {kRed, kGreen});
  gif.image(0, 0, 2, 1, {0, 0}).image(3, 2, 1, 1, {1}).trailer();
  const DecodedGif f = decodeAll(gif.bytes());
  ASSERT_EQ(f.frames.size(), 2u);
  EXPECT_EQ(f.frames[0].width, 4);
  EXPECT_EQ(f.frames[0].height, 3);
  EXPECT_EQ(f.at(1, 3, 2), opaque(kGreen));
  EXPECT_EQ(f.at(1, 3, 0), kClear);
}

TEST(GifDecode, IndicesBeyondTheTableLeaveTheCanvasAndMissingTablesDrawBlack) {
  GifBuilder gif(2, 1, {kRed, kGreen});
  gif.image(0, 0, 2, 1, {0, 0}).image(0, 0, 2, 1, {1, 7}).trailer();
  DecodedGif f = decodeAll(gif.bytes());
  ASSERT_EQ(f.frames.size(), 2u);
  EXPECT_EQ(f.at(1, 0, 0), opaque(kGreen));
  EXPECT_EQ(f.at(1, 1, 0), opaque(kRed));

  GifBuilder none(1, 1, {});
  none.image(0, 0, 1, 1, {5}).trailer();
  f = decodeAll(none.bytes());
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.at(0, 0, 0), opaque(kBlack));
}

TEST(GifDecode, DamageKeepsTheFramesBeforeIt) {
  GifBuilder gif(2, 2, {kRed, kGreen});
  gif.control({.delay = 7, .disposal = 1}).image(0, 0, 2, 2, {0, 0, 0, 0});
  gif.control({.delay = 9, .disposal = 1}).image(0, 0, 2, 2, {1, 1, 1, 1}).trailer();
  const std::vector<std::uint8_t> whole = gif.bytes();

  // Cut inside the second frame's data: frame 1 stands, with whatever rows of frame 2 made it.
  std::vector<std::uint8_t> cut(whole.begin(), whole.end() - 6);
  DecodedGif f = decodeAll(cut);
  ASSERT_TRUE(f.result.delivered());
  EXPECT_TRUE(f.result.error.has_value());
  EXPECT_LE(f.frames.size(), 2u);
  ASSERT_GE(f.frames.size(), 1u);
  EXPECT_EQ(f.at(0, 1, 1), opaque(kRed));

  // Cut inside the first frame's image descriptor data: nothing decodable, a clean failure.
  for (std::size_t n : {0, 5, 13, 20, 30}) {
    std::vector<std::uint8_t> start(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    f = decodeAll(start);
    EXPECT_FALSE(f.result.delivered()) << n;
    EXPECT_TRUE(f.result.error.has_value()) << n;
  }

  // An unknown block after the first frame ends the file there.
  GifBuilder odd(1, 1, {kRed, kGreen});
  odd.image(0, 0, 1, 1, {1}).raw({0x47, 1, 2, 3}).image(0, 0, 1, 1, {0}).trailer();
  f = decodeAll(odd.bytes());
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.at(0, 0, 0), opaque(kGreen));
  EXPECT_EQ(f.result.frameDelays, std::vector<std::int32_t>{0});  // no graphic control extension

  // Every prefix of a valid file decodes without fault.
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    std::vector<std::uint8_t> prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    f = decodeAll(prefix);
    EXPECT_EQ(f.result.delivered(), !f.frames.empty());
    EXPECT_EQ(f.result.frameCount, f.frames.size());
    EXPECT_EQ(probeGif(prefix).has_value(), f.result.delivered()) << n;  // the probe agrees with the decode
  }
}

TEST(GifDecode, LongStringsFillTheRowsWithinAndBeyondTheBufferCap) {
  // Codes of ever longer strings (each the code being defined) cross many rows. A frame that
  // fits the canvas is held whole; one of 20 million pixels, clipped to the same canvas, goes
  // past what the decoder holds at once. Both stop once the canvas rows are done.
  for (const auto& [w, h] : {std::pair{300, 200}, std::pair{5000, 4000}}) {
    GifBuilder gif(300, 200, {kRed, kGreen});
    gif.control({.transparent = 1}).runImage(0, 0, w, h, std::uint64_t(w) * 200).trailer();
    const DecodedGif f = decodeAll(gif.bytes());
    ASSERT_EQ(f.frames.size(), 1u) << w;
    EXPECT_FALSE(f.result.error.has_value()) << w << ": " << f.result.error.value_or("");
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{299, 0}, std::pair{150, 100}, std::pair{299, 199}}) {
      EXPECT_EQ(f.at(0, x, y), opaque(kRed)) << w << " at " << x << "," << y;
    }
  }
}

TEST(GifDecode, FramesBeyondTheBufferCapKeepWhatTheirCodesRead) {
  // A frame four times as wide as its 1024 x 1024 screen needs four times the indices the
  // decoder holds at once (the screen's area, at least a megapixel), so the decoder compacts its
  // buffer again and again. Noise coded with clears, and without (the full table's strings then
  // lie apart from the row in progress), in 8-bit and 16-bit indices: every visible pixel must
  // be the frame's own.
  constexpr int kScreen = 1024, kWidth = 4 * kScreen;
  brevanto::testing::Palette palette;
  for (std::uint32_t i = 0; i < 256; ++i) palette.push_back((i * 0x010203u) & 0xFFFFFF);
  for (int minCodeSize : {2, 10}) {
    std::vector<std::uint16_t> indices(std::size_t{kWidth} * kScreen);
    std::uint32_t seed = 1;
    for (auto& index : indices) {
      seed = seed * 1103515245u + 12345u;
      index = static_cast<std::uint16_t>((seed >> 16) % (minCodeSize == 2 ? 4 : 300));
    }
    for (bool clearWhenFull : {true, false}) {
      GifBuilder gif(kScreen, kScreen, palette);
      gif.imageData(0, 0, kWidth, kScreen, lzwEncode(indices, minCodeSize, clearWhenFull), minCodeSize).trailer();
      const DecodedGif f = decodeAll(gif.bytes());
      ASSERT_EQ(f.frames.size(), 1u);
      EXPECT_FALSE(f.result.error.has_value()) << f.result.error.value_or("");
      int wrong = 0;
      for (int y = 0; y < kScreen; ++y) {
        for (int x = 0; x < kScreen; ++x) {
          const std::uint16_t index = indices[static_cast<std::size_t>(y) * kWidth + x];
          wrong += f.at(0, x, y) != (index < 256 ? opaque(palette[index]) : kClear);
        }
      }
      EXPECT_EQ(wrong, 0) << "code size " << minCodeSize << (clearWhenFull ? ", clears" : ", no clears");
    }
  }
}

TEST(GifDecode, ResourceLimitsRefuseBeforeAllocating) {
  // A 65535 x 65535 screen with a one-pixel frame: more than 2^28 pixels.
  {
    GifBuilder gif(65535, 65535, {kRed, kGreen});
    gif.image(0, 0, 1, 1, {0}).trailer();
    const DecodedGif f = decodeAll(gif.bytes());
    EXPECT_FALSE(f.result.delivered());
    EXPECT_NE(f.result.error.value_or("").find("268435456"), std::string::npos) << f.result.error.value_or("");
  }
  // 16000 x 16000 is allowed alone, but ten frames of it exceed the memory budget.
  {
    GifBuilder gif(16000, 16000, {kRed, kGreen});
    for (int i = 0; i < 10; ++i) gif.image(0, 0, 1, 1, {0});
    gif.trailer();
    const DecodedGif f = decodeAll(gif.bytes());
    EXPECT_FALSE(f.result.delivered());
    EXPECT_NE(f.result.error.value_or("").find("memory budget"), std::string::npos) << f.result.error.value_or("");
  }
  // A few hundred bytes of LZW data claiming a 65535 x 65535 frame on a 100 x 100 screen:
  // only the visible rows are decoded.
  {
    GifBuilder gif(100, 100, {kRed, kGreen});
    gif.runImage(0, 0, 65535, 65535, std::uint64_t{65535} * 200).trailer();
    const DecodedGif f = decodeAll(gif.bytes());
    EXPECT_TRUE(f.result.delivered()) << f.result.error.value_or("");
    ASSERT_EQ(f.frames.size(), 1u);
    EXPECT_EQ(f.at(0, 99, 99), opaque(kRed));
  }
  // 100000 one-pixel frames load quickly through the codec.
  {
    GifBuilder gif(1, 1, {kRed, kGreen});
    for (int i = 0; i < 100000; ++i) gif.image(0, 0, 1, 1, {static_cast<std::uint8_t>(i & 1)});
    gif.trailer();
    FrameList list;
    std::optional<ImageProperties> props;
    PlatformCodec codec;
    ASSERT_TRUE(codec.loadFromMemory(gif.bytes(), list, props));
    EXPECT_EQ(list.size(), 100000u);
    EXPECT_EQ(props->frameDelaysMs().size(), 100000u);
  }
}
