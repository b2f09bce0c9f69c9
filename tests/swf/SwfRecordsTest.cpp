// Bit packing, the signed width rule, twips, RECT and MATRIX records.

#include "swf/SwfBitWriter.h"
#include "swf/SwfMatrix.h"
#include "swf/SwfRect.h"
#include "swf/Twips.h"
#include "SwfTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace brevanto::swf {
namespace {

using test::hex;

TEST(SwfBitWriter, PacksMostSignificantBitFirstAndPadsWithZeros) {
  SwfBitWriter bits;
  bits.writeUnsigned(1, 1);
  bits.writeUnsigned(0b101, 3);
  EXPECT_EQ(bits.bitCount(), 4u);
  EXPECT_EQ(bits.bytes(), hex("D0"));

  bits.writeSigned(-1, 4);   // 1111
  bits.writeUnsigned(0, 0);  // a zero-width field writes nothing
  bits.writeSigned(-2, 3);   // 110
  EXPECT_EQ(bits.bitCount(), 11u);
  EXPECT_EQ(bits.bytes(), hex("DF C0"));

  SwfBitWriter low;  // only the lowest bits of a wider value
  low.writeUnsigned(0xFFFFFFF5u, 4);
  low.writeUnsigned(0x1FFu, 4);
  EXPECT_EQ(low.bytes(), hex("5F"));
}

TEST(SwfBitWriter, SignedWidthUsesMagnitudeRule) {
  // Magnitude rule, not minimal two's complement: 0 -> 1, -1 -> 2, -2 -> 3.
  EXPECT_EQ(signedBitWidth({0}), 1);
  EXPECT_EQ(signedBitWidth({1}), 2);
  EXPECT_EQ(signedBitWidth({-1}), 2);
  EXPECT_EQ(signedBitWidth({-2}), 3);
  EXPECT_EQ(signedBitWidth({4000}), 13);
  EXPECT_EQ(signedBitWidth({6400, 0, 4800}), 14);
  EXPECT_EQ(signedBitWidth({0, -4096}), 14);
  EXPECT_EQ(signedBitWidth({std::numeric_limits<std::int32_t>::min()}), 33);
}

TEST(Twips, TruncatesTowardZeroAndSaturates) {
  EXPECT_EQ(Twips::fromPixels(200.0f).value, 4000);
  EXPECT_EQ(Twips::fromPixels(1.57f).value, 31);
  EXPECT_EQ(Twips::fromPixels(-0.07f).value, -1);
  EXPECT_EQ(Twips::fromPixels(1e12f).value, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(Twips::fromPixels(-1e12f).value, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(Twips::fromPixels(std::nanf("")).value, 0);
}

TEST(SwfRect, EncodesStageRectangles) {
  EXPECT_EQ(SwfRect(0, 0, 320, 240).encode(), hex("70 00 0C 80 00 00 96 00"));
  EXPECT_EQ(SwfRect(0, 0, 200, 200).encode(), hex("68 00 1F 40 00 07 D0 00"));
  EXPECT_EQ(SwfRect(0, 0, 0, 0).encode(), hex("08 00"));  // n = 1
  const SwfRect largest(0, 0, 1638, 1638);
  EXPECT_EQ(largest.xmaxTwips(), 32760);
  EXPECT_EQ(largest.encode().size(), (5u + 4u * 16u + 7u) / 8u);  // n = 16
}

TEST(SwfMatrix, ZeroAndPureScale) {
  EXPECT_EQ(SwfMatrix().encode(), hex("00"));
  EXPECT_EQ(SwfMatrix(0, 0, 0, 0, 0, 0).encode(), hex("00"));

  const SwfMatrix scale(20.0f, 20.0f, 0, 0, 0, 0);
  EXPECT_EQ(scale.scaleBits(), 22);
  EXPECT_EQ(scale.scaleXFixed(), 20 * 65536);
  EXPECT_EQ(scale.translateBits(), 0);
  EXPECT_EQ(scale.encode(), hex("D9 40 00 05 00 00 00"));
}

TEST(SwfMatrix, ScaleWidthFollowsIntegerPart) {
  const SwfMatrix doubled(40.0f, 40.0f, 0, 0, 0, 0);
  EXPECT_EQ(doubled.scaleBits(), 23);  // 2^6 > 40
  EXPECT_EQ(doubled.encode().size(), 8u);

  const SwfMatrix fraction(0.1f, -0.1f, 0, 0, 0, 0);
  EXPECT_EQ(fraction.scaleBits(), 17);
  EXPECT_EQ(fraction.scaleXFixed(), 6553);  // truncated toward zero
  EXPECT_EQ(fraction.scaleYFixed(), -6553);

  const SwfMatrix skew(0, 0, 0.5f, -1.5f, 0, 0);
  EXPECT_FALSE(skew.hasScale());
  EXPECT_TRUE(skew.hasRotate());
  EXPECT_EQ(skew.rotateBits(), 18);
  EXPECT_EQ(skew.rotateSkew1Fixed(), -98304);
}

TEST(SwfMatrix, TranslationOnly) {
  // 0 0 01001 | 200 in 9 bits | -100 in 9 bits
  const SwfMatrix moved(0, 0, 0, 0, 10.0f, -5.0f);
  EXPECT_EQ(moved.translateBits(), 9);
  EXPECT_EQ(moved.encode(), hex("12 C8 CE 00"));
}

TEST(SwfMatrix, HugeValuesStayWithinFieldWidths) {
  const SwfMatrix huge(30000.0f, 1.0f, 0, 0, 1e9f, -1e9f);
  EXPECT_LE(huge.scaleBits(), 31);
  EXPECT_LE(huge.translateBits(), 31);
  EXPECT_GT(huge.scaleXFixed(), 0);
  EXPECT_GT(huge.translateXTwips(), 0);
  EXPECT_LT(huge.translateYTwips(), 0);
}

}  // namespace
}  // namespace brevanto::swf
