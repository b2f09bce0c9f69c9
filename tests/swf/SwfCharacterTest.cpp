// JPEG bitmap and shape characters: exact tag bytes.

#include "swf/SwfJpegBitmap.h"
#include "swf/SwfShape.h"
#include "SwfTestSupport.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace brevanto::swf {
namespace {

using test::Bytes;
using test::hex;
using test::u32At;

class TempDir : public ::testing::Test {
 protected:
  std::filesystem::path write(const std::string& name, const Bytes& bytes) { return scratch.write(name, bytes); }
  brevanto::testing::ScratchFolder scratch;
  const std::filesystem::path& dir = scratch.path();
};

using SwfJpegBitmapTest = TempDir;

TEST_F(SwfJpegBitmapTest, ZeroByteFileGivesFourteenByteTag) {
  SwfJpegBitmap bitmap(2, write("empty.jpg", {}));
  EXPECT_EQ(bitmap.tagBytes(), hex("7F 05 08 00 00 00 02 00 FF D9 FF D8 FF D9"));
  EXPECT_EQ(bitmap.kind(), SwfCharacter::Kind::Bitmap);
}

TEST_F(SwfJpegBitmapTest, EmbedsFileBytesUnchangedAndMatchesInMemoryForm) {
  const Bytes jpeg = hex("FF D8 FF E0 01 02 03 FF D9");
  SwfJpegBitmap fromFile(0x1234, write("a.jpg", jpeg));
  SwfJpegBitmap fromMemory(0x1234, jpeg);
  const Bytes expected = hex("7F 05 11 00 00 00 34 12 FF D9 FF D8 FF D8 FF E0 01 02 03 FF D9 FF D9");
  EXPECT_EQ(fromFile.tagBytes(), expected);
  EXPECT_EQ(fromMemory.tagBytes(), expected);
  EXPECT_EQ(u32At(expected, 2), expected.size() - 6);
}

TEST_F(SwfJpegBitmapTest, UnreadableFileGivesEmptyTag) {
  SwfJpegBitmap missing(2, dir / "missing.jpg");
  EXPECT_FALSE(missing.isValid());
  EXPECT_EQ(missing.tagLength(), 0u);
  SwfJpegBitmap directory(4, dir);  // exists, cannot be read as a file
  EXPECT_EQ(directory.tagLength(), 0u);
}

// The rectangle every movie frame is made of, as the movie assembly builds it.
SwfShape frameShape(std::uint16_t id, float w, float h, std::uint16_t bitmapId) {
  SwfShape shape(id, 0, 0, w, h, 1);
  shape.addLineStyle(0, 0, 0, 0, 0);
  shape.addBitmapFill(bitmapId, SwfShape::kClippedBitmap, 0, 0, w, h, 0, 0, w, h);
  shape.styleChange(1, 1, 0, SwfShape::Point{0, 0});
  shape.straightEdge(w, 0);
  shape.straightEdge(0, h);
  shape.straightEdge(-w, 0);
  shape.straightEdge(0, -h);
  return shape;
}

TEST(SwfShapeTest, FramedBitmapRectangleIs55Bytes) {
  SwfShape shape = frameShape(1, 200, 200, 2);
  const Bytes expected =
      hex("3F 08 31 00 00 00 01 00 68 00 1F 40 00 07 D0 00 01 41 02 00 D9 40 00 05 00 00 00 01 00 00 "
          "00 00 00 00 11 3C 25 EE FA 00 00 77 00 03 E8 3B C1 80 00 1D C0 01 06 00 00");
  EXPECT_EQ(shape.tagBytes(), expected);
  EXPECT_EQ(shape.tagLength(), 55u);
  EXPECT_EQ(u32At(shape.tagBytes(), 2), 49u);
  EXPECT_EQ(shape.kind(), SwfCharacter::Kind::Shape);
}

TEST(SwfShapeTest, NarrowFrameEdgeUsesNineBitGeneralLine) {
  // No styles: NumFillBits = NumLineBits = 0. One edge of 12 px = 240 twips:
  // 1 1 0111 1 | 011110000 | 000000000 | end 000000
  SwfShape shape(1, 0, 0, 12, 12, 1);
  shape.straightEdge(12, 0);
  const Bytes& tag = shape.tagBytes();
  ASSERT_GE(tag.size(), 5u);
  EXPECT_EQ(Bytes(tag.end() - 5, tag.end()), hex("00 DE F0 00 00"));
  EXPECT_EQ(u32At(tag, 2), tag.size() - 6);
}

TEST(SwfShapeTest, EdgeWithOneZeroDeltaWritesBoth) {
  SwfShape shape(1, 0, 0, 1, 1, 1);
  shape.straightEdge(0, -1);  // 0 and -20 twips: 1 1 0100 1 | 000000 | 101100 | end 000000
  EXPECT_EQ(Bytes(shape.tagBytes().end() - 4, shape.tagBytes().end()), hex("D2 05 80 00"));
}

TEST(SwfShapeTest, ZeroLengthEdgeIsDropped) {
  SwfShape a(1, 0, 0, 10, 10, 1);
  SwfShape b(1, 0, 0, 10, 10, 1);
  b.straightEdge(0, 0);
  b.straightEdge(0.01f, -0.01f);  // under one twip
  EXPECT_EQ(a.tagBytes(), b.tagBytes());
}

TEST(SwfShapeTest, FillMatrixMapsSourceRectangleOntoShape) {
  SwfShape shape(1, 0, 0, 200, 100, 1);
  EXPECT_TRUE(shape.addBitmapFill(2, SwfShape::kRepeatingBitmap, 0, 0, 100, 50, 0, 0, 200, 100));
  EXPECT_TRUE(shape.addBitmapFill(2, SwfShape::kNonSmoothedClippedBitmap, 0, 0, 400, 200, 10, 5, 210, 105));
  ASSERT_EQ(shape.fillStyles().size(), 2u);
  const SwfMatrix& doubled = shape.fillStyles()[0].matrix;
  EXPECT_EQ(doubled.scaleXFixed(), 40 * 65536);
  EXPECT_EQ(doubled.scaleYFixed(), 40 * 65536);
  EXPECT_EQ(doubled.translateBits(), 0);
  const SwfMatrix& halved = shape.fillStyles()[1].matrix;
  EXPECT_EQ(halved.scaleXFixed(), 10 * 65536);
  EXPECT_EQ(halved.translateXTwips(), 200);
  EXPECT_EQ(halved.translateYTwips(), 100);
}

TEST(SwfShapeTest, RejectsUnknownFillTypesAndEmptySourceRectangles) {
  SwfShape shape(1, 0, 0, 10, 10, 1);
  EXPECT_FALSE(shape.addBitmapFill(2, 0x3F, 0, 0, 10, 10, 0, 0, 10, 10));
  EXPECT_FALSE(shape.addBitmapFill(2, 0x44, 0, 0, 10, 10, 0, 0, 10, 10));
  EXPECT_FALSE(shape.addBitmapFill(2, 0x00, 0, 0, 10, 10, 0, 0, 10, 10));
  EXPECT_FALSE(shape.addBitmapFill(2, SwfShape::kClippedBitmap, 5, 0, 5, 10, 0, 0, 10, 10));
  EXPECT_TRUE(shape.fillStyles().empty());
}

TEST(SwfShapeTest, StyleCountsOf255AndMoreUseTheExtendedForm) {
  SwfShape shape(7, 0, 0, 1, 1, 1);
  for (int i = 0; i < 255; ++i) shape.addLineStyle(1, 0, 0, 0, 0xFF);
  const Bytes& tag = shape.tagBytes();
  // header 6, id 2, rect "08 00"-like 2+ bytes, fill count 00, then FF FF 00.
  const std::size_t rectLength = (5 + 4 * static_cast<std::size_t>(tag[8] >> 3) + 7) / 8;
  const std::size_t at = 8 + rectLength;
  EXPECT_EQ(tag[at], 0x00);
  EXPECT_EQ(Bytes(tag.begin() + static_cast<std::ptrdiff_t>(at) + 1, tag.begin() + static_cast<std::ptrdiff_t>(at) + 4),
            hex("FF FF 00"));
  // 255 styles of 6 bytes, then the index widths byte: 2^8 >= 256.
  EXPECT_EQ(tag[at + 4 + 255 * 6], 0x08);
  EXPECT_EQ(u32At(tag, 2), tag.size() - 6);
}

}  // namespace
}  // namespace brevanto::swf
