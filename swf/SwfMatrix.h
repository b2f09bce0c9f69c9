#pragma once

#include <cstdint>
#include <vector>

namespace brevanto::swf {

// The MATRIX record. Scale and rotate/skew are plain factors stored as 16.16 fixed point;
// translation is in pixels, stored in twips. The all-zero matrix encodes as the single byte 0x00.
class SwfMatrix {
 public:
  SwfMatrix() = default;
  SwfMatrix(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1, float translateX, float translateY);

  // Replaces all six values and recomputes the encoding state.
  void set(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1, float translateX, float translateY);

  float scaleX() const { return scaleX_; }
  float scaleY() const { return scaleY_; }
  float rotateSkew0() const { return rotateSkew0_; }
  float rotateSkew1() const { return rotateSkew1_; }
  float translateX() const { return translateX_; }
  float translateY() const { return translateY_; }

  bool hasScale() const { return hasScale_; }
  int scaleBits() const { return scaleBits_; }
  std::int32_t scaleXFixed() const { return scaleXFixed_; }
  std::int32_t scaleYFixed() const { return scaleYFixed_; }
  bool hasRotate() const { return hasRotate_; }
  int rotateBits() const { return rotateBits_; }
  std::int32_t rotateSkew0Fixed() const { return rotateSkew0Fixed_; }
  std::int32_t rotateSkew1Fixed() const { return rotateSkew1Fixed_; }
  int translateBits() const { return translateBits_; }
  std::int32_t translateXTwips() const { return translateXTwips_; }
  std::int32_t translateYTwips() const { return translateYTwips_; }

  std::vector<std::uint8_t> encode() const;

 private:
  float scaleX_ = 0, scaleY_ = 0, rotateSkew0_ = 0, rotateSkew1_ = 0;
  float translateX_ = 0, translateY_ = 0;

  bool hasScale_ = false;
  int scaleBits_ = 0;
  std::int32_t scaleXFixed_ = 0, scaleYFixed_ = 0;
  bool hasRotate_ = false;
  int rotateBits_ = 0;
  std::int32_t rotateSkew0Fixed_ = 0, rotateSkew1Fixed_ = 0;
  int translateBits_ = 0;
  std::int32_t translateXTwips_ = 0, translateYTwips_ = 0;
};

}  // namespace brevanto::swf
