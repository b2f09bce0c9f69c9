#pragma once

#include <cstddef>
#include <cstdint>

namespace brevanto::util {

// A rectangle of whole pixels: (x, y) is its top-left corner.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool isEmpty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A read-only view of 4-byte pixels in memory order B, G, R, X. The fourth byte is never read
// as colour: the pictures these views show are already flattened over white. row(y) is display
// row y (0 = top); rowStep is the distance in bytes from a row to the one below it and may be
// negative (bottom-up storage, as in a DIB).
struct BgraView {
  const std::uint8_t* top = nullptr;
  std::ptrdiff_t rowStep = 0;
  int width = 0;
  int height = 0;

  const std::uint8_t* row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * rowStep; }
  bool isEmpty() const { return top == nullptr || width <= 0 || height <= 0; }

  // The part of this view inside r. r must lie within the view.
  BgraView sub(const PixelRect& r) const {
    return BgraView{row(r.y) + static_cast<std::ptrdiff_t>(r.x) * 4, rowStep, r.width, r.height};
  }
};

}  // namespace brevanto::util
