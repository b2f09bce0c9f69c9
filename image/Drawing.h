#pragma once

#include <cstddef>
#include <cstdint>

#include "image/RasterImage.h"

namespace brevanto::image {

// A rectangle as left, top, right, bottom (right and bottom exclusive).
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
};

// A 32-bit pixel surface: bytes blue, green, red, x per pixel (a little-endian 0xffRRGGBB word,
// as QImage::Format_RGB32 and Format_ARGB32 hold them). `bits` is the top row; `stride` is the
// byte distance to the next row down (negative for bottom-up memory).
struct DrawTarget {
  std::uint8_t* bits = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::ptrdiff_t stride = 0;
};

// Paints the source rectangle of image (display coordinates, y = 0 at the top) upright,
// stretched with nearest-neighbour sampling, into the destination rectangle of target, clipped
// to the target. Alpha is ignored: palette colours and 32-bit pixels are painted as their
// colour, and every written pixel gets alpha 255. An empty image or an empty rectangle draws
// nothing.
void drawToDevice(const RasterImage& image, const DrawTarget& target, const Rect& destination, const Rect& source);
// The same into a 32-bit RasterImage.
void drawToDevice(const RasterImage& image, RasterImage& target, const Rect& destination, const Rect& source);

}  // namespace brevanto::image
