// The records of lossless movies against hand-computed bytes. Streams are inflated with zlib,
// a reader independent of the writer's compressor.

#include "swf/SwfLosslessBitmap.h"
#include "swf/SwfPictureRect.h"
#include "SwfTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace brevanto::swf {
namespace {

using test::Bytes;
using test::hex;

Bytes inflated(const Bytes& stream, std::size_t expectedSize) {
  Bytes out(expectedSize + 16);
  uLongf size = out.size();
  if (uncompress(out.data(), &size, stream.data(), stream.size()) != Z_OK) return {};
  out.resize(size);
  return out;
}

// Splits a DefineBitsLossless tag into its fixed fields and the inflated pixel data.
struct LosslessTag {
  Bytes head;  // tag header through the colour-table size (when present)
  Bytes pixels;
};

LosslessTag split(const Bytes& tag, std::size_t headLength, std::size_t pixelBytes) {
  LosslessTag out;
  out.head.assign(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(headLength));
  out.pixels = inflated(Bytes(tag.begin() + static_cast<std::ptrdiff_t>(headLength), tag.end()), pixelBytes);
  EXPECT_EQ(test::u32At(tag, 2), tag.size() - 6) << "body length";
  return out;
}

// The picture a DefineBitsLossless tag of either format shows, as R, G, B rows top-down.
Bytes decoded(const Bytes& tag) {
  const std::uint8_t format = tag.at(8);
  const int w = tag.at(9) | tag.at(10) << 8, h = tag.at(11) | tag.at(12) << 8;
  const std::size_t colours = format == 3 ? tag.at(13) + 1u : 0;
  const std::size_t row = format == 3 ? (w + 3u) & ~3u : w * 4u;
  const LosslessTag t = split(tag, format == 3 ? 14 : 13, colours * 3 + row * h);
  Bytes rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::size_t at = format == 3 ? t.pixels.at(colours * 3 + row * y + x) * 3u : row * y + x * 4u + 1;
      rgb.insert(rgb.end(), t.pixels.begin() + at, t.pixels.begin() + at + 3);
    }
  return rgb;
}

TEST(SwfLosslessBitmap, ColourMappedTableInFirstAppearanceOrderWithPaddedRows) {
  // A 3x3 picture stored bottom-up (as a DIB); the bitmap is its lower-right 2x2 part:
  //   blue  white      fourth bytes vary and must not matter
  //   red   blue
  // The outer pixels are green, which must not reach the table.
  const std::uint8_t g[4] = {0x00, 0xFF, 0x00, 0xFF};
  const std::uint8_t blue[4] = {0xFF, 0x00, 0x00, 0x12};
  const std::uint8_t blue2[4] = {0xFF, 0x00, 0x00, 0x00};
  const std::uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const std::uint8_t red[4] = {0x00, 0x00, 0xFF, 0x80};
  const std::uint8_t* rowsTopDown[3][3] = {{g, g, g}, {g, blue, white}, {g, red, blue2}};
  Bytes memory;
  for (int y = 2; y >= 0; --y)
    for (int x = 0; x < 3; ++x) memory.insert(memory.end(), rowsTopDown[y][x], rowsTopDown[y][x] + 4);
  const util::BgraView whole{memory.data() + 2 * 12, -12, 3, 3};

  // Rows padded by repeating their last index.
  const LosslessPixels pixels = losslessPixels(whole.sub({1, 1, 2, 2}));
  EXPECT_EQ(pixels.format, 3);
  EXPECT_EQ(pixels.colourCount, 3);
  EXPECT_EQ(pixels.data, hex("00 00 FF  FF FF FF  FF 00 00   00 01 01 01   02 00 00 00"));

  // The tag keeps whichever form is smallest; it shows the same picture.
  SwfLosslessBitmap bitmap(7, whole.sub({1, 1, 2, 2}));
  ASSERT_TRUE(bitmap.isValid());
  const Bytes& tag = bitmap.tagBytes();
  EXPECT_EQ(Bytes(tag.begin(), tag.begin() + 2), hex("3F 05"));
  EXPECT_EQ(Bytes(tag.begin() + 6, tag.begin() + 13), Bytes({0x07, 0x00, bitmap.format(), 0x02, 0x00, 0x02, 0x00}));
  EXPECT_EQ(decoded(tag), hex("00 00 FF  FF FF FF  FF 00 00  00 00 FF"));

  // The compressor keeps nothing from one picture to the next: the same picture, the same bytes.
  SwfLosslessBitmap other(7, whole);
  EXPECT_EQ(SwfLosslessBitmap(7, whole.sub({1, 1, 2, 2})).tagBytes(), tag);
}

TEST(SwfLosslessBitmap, ColoursIndexedByGreenValue) {
  // Grey 5, grey 3, then (1, 3, 9), whose green 3 is taken: it gets the free index below, 2.
  // Indices 0 and 1 repeat the first used entry, 4 repeats 3.
  const Bytes memory = hex("05 05 05 00  03 03 03 00  09 03 01 00");
  const LosslessPixels pixels = colourMappedPixels(util::BgraView{memory.data(), 12, 3, 1}, ColourOrder::ByGreen);
  EXPECT_EQ(pixels.format, 3);
  EXPECT_EQ(pixels.colourCount, 6);
  EXPECT_EQ(pixels.data, hex("01 03 09  01 03 09  01 03 09  03 03 03  03 03 03  05 05 05   05 03 02 02"));

  // The first used index (2) belongs to the first colour, not the third.
  const Bytes twoGreys = hex("02 02 02 00  09 09 09 00");
  const LosslessPixels greys = colourMappedPixels(util::BgraView{twoGreys.data(), 8, 2, 1}, ColourOrder::ByGreen);
  EXPECT_EQ(greys.colourCount, 10);
  Bytes expected;
  for (int i = 0; i < 9; ++i) expected.insert(expected.end(), {2, 2, 2});
  expected.insert(expected.end(), {9, 9, 9, 2, 9, 9, 9});
  EXPECT_EQ(greys.data, expected);
}

TEST(SwfLosslessBitmap, MoreThan256ColoursAreStoredAs32BitPixels) {
  // 17 x 16 pixels, all different: R = 0x80, G = y, B = x.
  constexpr int w = 17, h = 16;
  Bytes memory;
  Bytes expected;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      memory.insert(memory.end(), {std::uint8_t(x), std::uint8_t(y), 0x80, 0xEE});
      expected.insert(expected.end(), {0x00, 0x80, std::uint8_t(y), std::uint8_t(x)});
    }
  SwfLosslessBitmap bitmap(0x0102, util::BgraView{memory.data(), w * 4, w, h});
  EXPECT_EQ(bitmap.format(), 5);
  const LosslessTag tag = split(bitmap.tagBytes(), 13, expected.size());
  EXPECT_EQ(Bytes(tag.head.begin(), tag.head.begin() + 2), hex("3F 05"));
  EXPECT_EQ(Bytes(tag.head.begin() + 6, tag.head.end()), hex("02 01  05  11 00  10 00"));
  EXPECT_EQ(tag.pixels, expected);

  // Exactly 256 colours still fit a table.
  const util::BgraView fits{memory.data(), w * 4, 16, 16};
  EXPECT_EQ(colourMappedPixels(fits, ColourOrder::FirstAppearance).colourCount, 256);
  EXPECT_EQ(colourMappedPixels(fits, ColourOrder::ByGreen).colourCount, 256);
  EXPECT_EQ(colourMappedPixels(util::BgraView{memory.data(), w * 4, w, h}, ColourOrder::ByGreen).format, 0);
}

TEST(SwfLosslessBitmap, TransparentPixelsAreAllZeroInBothFormsOfTheAlphaTag) {
  // 3 x 1: opaque red, transparent, opaque red, as B, G, R, A.
  const Bytes few = hex("00 00 FF FF  00 00 00 00  00 00 FF FF");
  const auto mapped = transparentBitmapFields(util::BgraView{few.data(), 12, 3, 1});
  SwfLosslessBitmap tag(7, mapped, true);
  const LosslessTag t = split(tag.tagBytes(), 14, 2 * 4 + 4);
  EXPECT_EQ(Bytes(t.head.begin(), t.head.begin() + 2), hex("3F 09"));  // code 36
  EXPECT_EQ(Bytes(t.head.begin() + 6, t.head.end()), hex("07 00  03  03 00  01 00  01"));
  EXPECT_EQ(t.pixels, hex("FF 00 00 FF  00 00 00 00  00 01 00 00"));  // R, G, B, A entries

  // Beyond 256 colours: A, R, G, B pixels, the transparent ones all zero.
  Bytes many;
  for (int i = 0; i < 400; ++i) {
    const std::uint8_t on = i % 3 == 1 ? 0 : 0xFF;
    many.insert(many.end(), {std::uint8_t(i & on), std::uint8_t((i >> 8) & on), std::uint8_t(0x10 & on), on});
  }
  const LosslessPixels direct = losslessPixels(util::BgraView{many.data(), 400 * 4, 400, 1}, true);
  EXPECT_EQ(direct.format, 5);
  EXPECT_EQ(Bytes(direct.data.begin(), direct.data.begin() + 12), hex("FF 10 00 00  00 00 00 00  FF 10 00 02"));
}

TEST(SwfLosslessBitmap, SmallPictureKeepsItsSmallestForm) {
  // A 16 x 256 gradient of one colour a row: the 256-entry table costs more than 32-bit rows
  // that repeat their first pixel.
  Bytes memory;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 16; ++x) memory.insert(memory.end(), {0x40, std::uint8_t(255 - y), std::uint8_t(y), 0});
  const util::BgraView picture{memory.data(), 16 * 4, 16, 256};
  SwfLosslessBitmap bitmap(1, picture);
  EXPECT_EQ(bitmap.format(), 5);
  EXPECT_LT(bitmap.tagBytes().size(), zlibCompress(losslessPixels(picture).data, 12).size() + 14);
  Bytes rgb;
  for (std::size_t i = 0; i < memory.size(); i += 4) rgb.insert(rgb.end(), {memory[i + 2], memory[i + 1], memory[i]});
  EXPECT_EQ(decoded(bitmap.tagBytes()), rgb);
}

TEST(SwfLosslessBitmap, PictureThatCannotBeStoredGivesNoTag) {
  const Bytes pixel(4, 0xFF);
  EXPECT_FALSE(SwfLosslessBitmap(1, util::BgraView{}).isValid());
  EXPECT_FALSE(SwfLosslessBitmap(1, util::BgraView{pixel.data(), 0, 65536, 1}).isValid());
}

TEST(SwfPictureRect, ShapeFillsTheChangedRectangleAtItsPlaceOnTheStage) {
  // Rect (2, 3) 4 x 5 of the picture at scale 2: stage (4, 6)-(12, 16), fill scale 40 and
  // translation (80, 120) twips, no line style, edges of 160 and 200 twips; a short header.
  auto shape = pictureRectShape(5, 3, 6, {2, 3, 4, 5}, 2);
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->depth(), 3);
  EXPECT_EQ(shape->tagBytes(),
            hex("29 08  05 00  50 A0 78 0F 0A 00  01 41 06 00  DD 40 00 02 80 00 02 14 1E 00"
                "  00  10  3D 0A 0F 16 F5 00 03 78 01 91 BE C0 00 DE 00 9C 00"));

  EXPECT_FALSE(pictureRectShape(1, 1, 2, {0, 0, 0, 5}, 1));
  EXPECT_FALSE(pictureRectShape(1, 1, 2, {-1, 0, 4, 5}, 1));
  EXPECT_FALSE(pictureRectShape(1, 1, 2, {0, 0, 4, 5}, 0));
  EXPECT_TRUE(pictureRectShape(1, 1, 2, {0, 0, 546, 10}, 3));  // 1638 fits, 1641 does not
  EXPECT_FALSE(pictureRectShape(1, 1, 2, {1, 0, 546, 10}, 3));
}

TEST(SwfPictureRect, WholePictureAtScaleOneIsTheLosslessMoviesShape) {
  MovieAssemblyInput input = test::movieInput(37, 21, 1);
  input.lossless = true;
  const Bytes white(37 * 21 * 4, 0xFF);
  const auto fields = losslessBitmapFields(util::BgraView{white.data(), 37 * 4, 37, 21});
  const auto built =
      buildMovieBytes(input, [&](int) { return SlotPicture::lossless(fields, util::PixelRect{0, 0, 37, 21}); });
  ASSERT_TRUE(built.ok());
  const auto movie = test::parseMovie(*built);
  ASSERT_TRUE(movie.valid);
  auto shape = pictureRectShape(1, 1, 2, {0, 0, 37, 21}, 1);
  ASSERT_TRUE(shape);
  int shapes = 0;
  for (const auto& t : movie.tags) {
    if (t.code == 32) {
      ++shapes;
      EXPECT_EQ(t.body, test::shortTagBody(shape->tagBytes()));
    }
    if (t.code == 26) {
      EXPECT_FALSE(t.longHeader);
    }
  }
  EXPECT_EQ(shapes, 1);
}

TEST(SwfPictureRect, DoActionStop) { EXPECT_EQ(doActionStopTag(), hex("02 03 07 00")); }


// A lossless movie: a whole picture, a slot without one (no characters), a changed rectangle
// drawn at the stage's scale 2, then the stop in the last frame before its ShowFrame.
TEST(LosslessMovie, SlotsAddOnlyWhatChangedAndTheStopEndsTheLastFrame) {
  MovieAssemblyInput input = test::movieInput(8, 6);
  input.sourceWidth = 4;
  input.sourceHeight = 3;
  input.lossless = true;
  const std::uint8_t pixels[4 * 4 * 3] = {};
  const util::BgraView picture{pixels, 16, 4, 3};
  MovieBuilder builder(input);
  builder.add(SlotPicture::lossless(losslessBitmapFields(picture), {0, 0, 4, 3}));
  builder.add(SlotPicture{});
  builder.add(SlotPicture::lossless(losslessBitmapFields(picture.sub({1, 2, 2, 1})), {1, 2, 2, 1}));
  builder.stopAtEnd();
  const auto bytes = builder.fileBytes();
  ASSERT_TRUE(bytes);
  const auto movie = test::parseMovie(*bytes);
  ASSERT_TRUE(movie.valid);
  EXPECT_EQ(test::tagCodes(movie), (std::vector<int>{9, 20, 32, 26, 1, 1, 20, 32, 26, 12, 1, 0}));
  // Pictures take ids in their order: the rectangle's shape is the one pictureRectShape makes
  // for the second picture's bitmap (4) at scale 2.
  auto shape = pictureRectShape(3, 2, 4, {1, 2, 2, 1}, 2);
  ASSERT_TRUE(shape);
  EXPECT_EQ(movie.tags[7].body, test::shortTagBody(shape->tagBytes()));
}

}  // namespace
}  // namespace brevanto::swf
