#include "image/Drawing.h"

#include <algorithm>
#include <vector>

namespace brevanto::image {

namespace {

// Colour of source pixel x of a row as a 0xffRRGGBB word (alpha ignored, painted opaque).
struct PixelReader {
  const RasterImage& image;
  std::vector<std::uint32_t> lut;  // palette colours for indexed images
  int rShift = 0, gShift = 0, gBits = 0;

  explicit PixelReader(const RasterImage& img) : image(img) {
    if (img.bitCount() <= 8) {
      const auto palette = img.palette();
      lut.assign(std::size_t{1} << img.bitCount(), 0xFF000000u);
      for (std::size_t i = 0; i < palette.size() && i < lut.size(); ++i) {
        lut[i] = 0xFF000000u | (std::uint32_t{palette[i].red} << 16) | (std::uint32_t{palette[i].green} << 8) |
                 palette[i].blue;
      }
    } else if (img.bitCount() == 16) {
      const bool is565 = img.is565();
      rShift = is565 ? 11 : 10;
      gShift = 5;
      gBits = is565 ? 6 : 5;
    }
  }

  std::uint32_t at(const std::uint8_t* row, std::int32_t x) const {
    const auto ux = static_cast<std::size_t>(x);
    switch (image.bitCount()) {
      case 32:
      case 24: {
        const std::uint8_t* p = row + ux * static_cast<std::size_t>(image.bitCount() / 8);
        return 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
      }
      case 16: {
        const unsigned v = static_cast<unsigned>(row[2 * ux] | (row[2 * ux + 1] << 8));
        const unsigned b5 = v & 0x1F;
        const unsigned r5 = (v >> rShift) & 0x1F;
        const unsigned g = (v >> gShift) & ((1u << gBits) - 1);
        const unsigned b = (b5 << 3) | (b5 >> 2);
        const unsigned r = (r5 << 3) | (r5 >> 2);
        const unsigned gg = gBits == 6 ? ((g << 2) | (g >> 4)) : ((g << 3) | (g >> 2));
        return 0xFF000000u | (r << 16) | (gg << 8) | b;
      }
      case 8: return lut[row[ux]];
      case 4: return lut[(row[ux / 2] >> ((ux & 1) ? 0 : 4)) & 0x0F];
      case 1: return lut[(row[ux / 8] >> (7 - (ux & 7))) & 1];
      default: return 0xFF000000u;
    }
  }
};

inline void storePixel(std::uint8_t* p, std::uint32_t colour) {
  p[0] = static_cast<std::uint8_t>(colour);
  p[1] = static_cast<std::uint8_t>(colour >> 8);
  p[2] = static_cast<std::uint8_t>(colour >> 16);
  p[3] = static_cast<std::uint8_t>(colour >> 24);
}

}  // namespace

void drawToDevice(const RasterImage& image, const DrawTarget& target, const Rect& destination, const Rect& source) {
  if (image.isEmpty() || target.bits == nullptr || target.width < 1 || target.height < 1) return;
  const std::int64_t dw = destination.width();
  const std::int64_t dh = destination.height();
  const std::int64_t sw = source.width();
  const std::int64_t sh = source.height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;

  // Destination pixels inside the target; each samples the source pixel under its centre.
  const std::int64_t x0 = std::max<std::int64_t>(destination.left, 0);
  const std::int64_t x1 = std::min<std::int64_t>(destination.right, target.width);
  const std::int64_t y0 = std::max<std::int64_t>(destination.top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(destination.bottom, target.height);
  if (x0 >= x1 || y0 >= y1) return;

  const PixelReader reader(image);
  std::vector<std::int32_t> columns(static_cast<std::size_t>(x1 - x0));
  for (std::int64_t x = x0; x < x1; ++x) {
    columns[static_cast<std::size_t>(x - x0)] =
        static_cast<std::int32_t>(source.left + ((x - destination.left) * 2 + 1) * sw / (2 * dw));
  }
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int64_t sy = source.top + ((y - destination.top) * 2 + 1) * sh / (2 * dh);
    if (sy < 0 || sy >= image.height()) continue;  // outside the picture: left as it is
    const std::uint8_t* srcRow = image.row(static_cast<std::int32_t>(sy));
    std::uint8_t* dstRow = target.bits + static_cast<std::ptrdiff_t>(y) * target.stride;
    for (std::int64_t x = x0; x < x1; ++x) {
      const std::int32_t sx = columns[static_cast<std::size_t>(x - x0)];
      if (sx < 0 || sx >= image.width()) continue;
      storePixel(dstRow + x * 4, reader.at(srcRow, sx));
    }
  }
}

void drawToDevice(const RasterImage& image, RasterImage& target, const Rect& destination, const Rect& source) {
  if (target.isEmpty() || target.bitCount() != 32) return;
  DrawTarget surface;
  surface.bits = target.row(0);
  surface.width = target.width();
  surface.height = target.height();
  surface.stride = -static_cast<std::ptrdiff_t>(target.stride());
  drawToDevice(image, surface, destination, source);
}

}  // namespace brevanto::image
