#include "swf/SwfMatrix.h"

#include "swf/SwfBitWriter.h"
#include "swf/Twips.h"

#include <algorithm>
#include <cmath>

namespace brevanto::swf {

namespace {

// Bit-count fields are UB[5], so no field may be wider than 31 bits; values that would need more
// are clamped to the 31-bit signed range instead of being written corrupt.
constexpr int kMaxFieldBits = 31;
constexpr std::int32_t kMaxField = (1 << 30) - 1;

std::int32_t clampField(double value) {
  return static_cast<std::int32_t>(std::clamp(value, -static_cast<double>(kMaxField), static_cast<double>(kMaxField)));
}

// 16.16 fixed point, truncated toward zero.
std::int32_t toFixed(float factor) {
  if (std::isnan(factor)) return 0;
  return clampField(std::trunc(static_cast<double>(factor * 65536.0f)));
}

// k + 17, where k is the smallest k >= 0 with 2^k greater than the larger integer-part magnitude.
int fixedPairBits(float a, float b) {
  const double magnitude =
      std::max(std::fabs(std::trunc(static_cast<double>(a))), std::fabs(std::trunc(static_cast<double>(b))));
  int k = 0;
  while (k + 17 < kMaxFieldBits && std::ldexp(1.0, k) <= magnitude) ++k;
  return k + 17;
}

}  // namespace

SwfMatrix::SwfMatrix(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1, float translateX,
                     float translateY) {
  set(scaleX, scaleY, rotateSkew0, rotateSkew1, translateX, translateY);
}

void SwfMatrix::set(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1, float translateX,
                    float translateY) {
  scaleX_ = scaleX;
  scaleY_ = scaleY;
  rotateSkew0_ = rotateSkew0;
  rotateSkew1_ = rotateSkew1;
  translateX_ = translateX;
  translateY_ = translateY;

  hasScale_ = scaleX != 0.0f || scaleY != 0.0f;
  scaleBits_ = hasScale_ ? fixedPairBits(scaleX, scaleY) : 0;
  scaleXFixed_ = hasScale_ ? toFixed(scaleX) : 0;
  scaleYFixed_ = hasScale_ ? toFixed(scaleY) : 0;

  hasRotate_ = rotateSkew0 != 0.0f || rotateSkew1 != 0.0f;
  rotateBits_ = hasRotate_ ? fixedPairBits(rotateSkew0, rotateSkew1) : 0;
  rotateSkew0Fixed_ = hasRotate_ ? toFixed(rotateSkew0) : 0;
  rotateSkew1Fixed_ = hasRotate_ ? toFixed(rotateSkew1) : 0;

  if (translateX != 0.0f || translateY != 0.0f) {
    translateXTwips_ = clampField(Twips::fromPixels(translateX).value);
    translateYTwips_ = clampField(Twips::fromPixels(translateY).value);
    translateBits_ = signedBitWidth({translateXTwips_, translateYTwips_});
  } else {
    translateXTwips_ = translateYTwips_ = 0;
    translateBits_ = 0;
  }
}

std::vector<std::uint8_t> SwfMatrix::encode() const {
  SwfBitWriter bits;
  bits.writeUnsigned(hasScale_ ? 1 : 0, 1);
  if (hasScale_) {
    bits.writeUnsigned(static_cast<std::uint32_t>(scaleBits_), 5);
    bits.writeSigned(scaleXFixed_, scaleBits_);
    bits.writeSigned(scaleYFixed_, scaleBits_);
  }
  bits.writeUnsigned(hasRotate_ ? 1 : 0, 1);
  if (hasRotate_) {
    bits.writeUnsigned(static_cast<std::uint32_t>(rotateBits_), 5);
    bits.writeSigned(rotateSkew0Fixed_, rotateBits_);
    bits.writeSigned(rotateSkew1Fixed_, rotateBits_);
  }
  bits.writeUnsigned(static_cast<std::uint32_t>(translateBits_), 5);
  bits.writeSigned(translateXTwips_, translateBits_);
  bits.writeSigned(translateYTwips_, translateBits_);
  return bits.take();
}

}  // namespace brevanto::swf
