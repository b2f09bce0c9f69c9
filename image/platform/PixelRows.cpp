#include "image/platform/PixelRows.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace brevanto::image::platform {

namespace {

std::uint8_t expand5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }
std::uint8_t expand6(unsigned v) { return static_cast<std::uint8_t>((v << 2) | (v >> 4)); }

std::uint32_t paletteColor(const ImageView& view, unsigned index) {
  return index < view.palette.size() ? view.palette[index] : 0;
}

}  // namespace

bool hasAlphaChannel(PixelFormat format) {
  return format == PixelFormat::Argb32 || format == PixelFormat::PArgb32 || format == PixelFormat::Argb1555;
}

void rowToBgra(const ImageView& view, std::int32_t y, std::uint8_t* out) {
  const std::uint8_t* in = view.row(y);
  const std::int32_t w = view.width;
  switch (view.format) {
    case PixelFormat::Argb32: std::memcpy(out, in, static_cast<std::size_t>(w) * 4); return;
    case PixelFormat::PArgb32:
      for (std::int32_t x = 0; x < w; ++x, in += 4, out += 4) {
        const unsigned a = in[3];
        for (int c = 0; c < 3; ++c) {
          out[c] = a == 0 ? 255 : static_cast<std::uint8_t>(std::min(255u, (in[c] * 255u + a / 2) / a));
        }
        out[3] = static_cast<std::uint8_t>(a);
      }
      return;
    case PixelFormat::Rgb32:
      for (std::int32_t x = 0; x < w; ++x, in += 4, out += 4) {
        out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 255;
      }
      return;
    case PixelFormat::Rgb24:
      for (std::int32_t x = 0; x < w; ++x, in += 3, out += 4) {
        out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 255;
      }
      return;
    case PixelFormat::Rgb555:
    case PixelFormat::Argb1555:
    case PixelFormat::Rgb565:
      for (std::int32_t x = 0; x < w; ++x, in += 2, out += 4) {
        const unsigned v = in[0] | (in[1] << 8);
        if (view.format == PixelFormat::Rgb565) {
          out[2] = expand5(v >> 11), out[1] = expand6((v >> 5) & 63), out[0] = expand5(v & 31), out[3] = 255;
        } else {
          out[2] = expand5((v >> 10) & 31), out[1] = expand5((v >> 5) & 31), out[0] = expand5(v & 31);
          out[3] = view.format == PixelFormat::Argb1555 ? ((v & 0x8000) ? 255 : 0) : 255;
        }
      }
      return;
    case PixelFormat::Indexed1:
    case PixelFormat::Indexed4:
    case PixelFormat::Indexed8: {
      const int bits = bitsPerPixel(view.format);
      for (std::int32_t x = 0; x < w; ++x, out += 4) {
        unsigned index;
        if (bits == 8) {
          index = in[x];
        } else if (bits == 4) {
          index = (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        } else {
          index = (in[x >> 3] >> (7 - (x & 7))) & 1;
        }
        const std::uint32_t c = paletteColor(view, index);
        out[0] = static_cast<std::uint8_t>(c), out[1] = static_cast<std::uint8_t>(c >> 8);
        out[2] = static_cast<std::uint8_t>(c >> 16), out[3] = 255;
      }
      return;
    }
  }
}

void rowToBgrOverWhite(const ImageView& view, std::int32_t y, std::uint8_t* out) {
  const std::uint8_t* in = view.row(y);
  const std::int32_t w = view.width;
  if (view.format == PixelFormat::Rgb24) {
    std::memcpy(out, in, static_cast<std::size_t>(w) * 3);
    return;
  }
  if (view.format == PixelFormat::Argb32) {
    for (std::int32_t x = 0; x < w; ++x, in += 4, out += 3) {
      const unsigned a = in[3];
      if (a == 255) {
        out[0] = in[0], out[1] = in[1], out[2] = in[2];
      } else {
        for (int c = 0; c < 3; ++c) out[c] = channelOverWhite(in[c], a);
      }
    }
    return;
  }
  if (view.format == PixelFormat::PArgb32) {
    for (std::int32_t x = 0; x < w; ++x, in += 4, out += 3) {
      const unsigned a = in[3];
      for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>(std::min(255u, in[c] + (255u - a)));
    }
    return;
  }
  // Everything else through the BGRA row (alpha only from 1-5-5-5).
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(w) * 4);
  rowToBgra(view, y, bgra.data());
  for (std::size_t i = 0; i < static_cast<std::size_t>(w); ++i) {
    const std::uint8_t* p = &bgra[i * 4];
    const unsigned a = p[3];
    for (int c = 0; c < 3; ++c) out[i * 3 + c] = channelOverWhite(p[c], a);
  }
}

}  // namespace brevanto::image::platform
