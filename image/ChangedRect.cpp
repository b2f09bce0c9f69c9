#include "image/ChangedRect.h"

#include <cstdint>
#include <cstring>

namespace brevanto::image {

namespace {

// The colour of pixel x of a row without its fourth byte.
std::uint32_t colourAt(const std::uint8_t* row, int x) {
  std::uint32_t v;
  std::memcpy(&v, row + static_cast<std::size_t>(x) * 4, 4);
  return v & 0x00FFFFFFu;  // little-endian: B, G, R in the low three bytes
}

std::size_t rowBytes(const util::BgraView& view) { return static_cast<std::size_t>(view.width) * 4; }

// Whether row y differs in colour; the whole row is compared at once first, so only rows whose
// bytes differ are looked at pixel by pixel (a fourth byte may differ alone).
bool rowDiffers(const util::BgraView& a, const util::BgraView& b, int y) {
  const std::uint8_t* ra = a.row(y);
  const std::uint8_t* rb = b.row(y);
  if (std::memcmp(ra, rb, rowBytes(a)) == 0) return false;
  for (int x = 0; x < a.width; ++x) {
    if (colourAt(ra, x) != colourAt(rb, x)) return true;
  }
  return false;
}

}  // namespace

std::optional<util::PixelRect> changedRect(const util::BgraView& previous, const util::BgraView& current) {
  if (current.isEmpty()) return std::nullopt;
  const util::PixelRect whole{0, 0, current.width, current.height};
  if (previous.isEmpty() || previous.width != current.width || previous.height != current.height) return whole;

  int top = 0;
  while (top < current.height && !rowDiffers(previous, current, top)) ++top;
  if (top == current.height) return std::nullopt;
  int bottom = current.height - 1;
  while (bottom > top && !rowDiffers(previous, current, bottom)) --bottom;

  // Columns: each row only needs to be searched outside the span found so far.
  int left = current.width;
  int right = -1;
  for (int y = top; y <= bottom; ++y) {
    const std::uint8_t* ra = previous.row(y);
    const std::uint8_t* rb = current.row(y);
    if (std::memcmp(ra, rb, rowBytes(current)) == 0) continue;
    for (int x = 0; x < left; ++x) {
      if (colourAt(ra, x) != colourAt(rb, x)) {
        left = x;
        break;
      }
    }
    for (int x = current.width - 1; x > right; --x) {
      if (colourAt(ra, x) != colourAt(rb, x)) {
        right = x;
        break;
      }
    }
  }
  return util::PixelRect{left, top, right - left + 1, bottom - top + 1};
}

}  // namespace brevanto::image
