#include "image/platform/IcoReader.h"

#include <cstring>

#include "image/ByteReader.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageLimits.h"
#include "image/platform/PngCodec.h"

namespace brevanto::image::platform {

namespace {

struct Entry {
  std::uint32_t width = 0, height = 0, bitCount = 0, size = 0, offset = 0;
};

std::size_t dibStride(std::uint64_t width, unsigned bits) {
  return static_cast<std::size_t>(((width * bits + 31) / 32) * 4);
}

// Decodes a DIB icon image (header, palette, XOR rows, AND mask rows; both bottom-up).
util::Result<void> decodeDib(std::span<const std::uint8_t> data, DecodedFrame& frame) {
  ByteReader r(data);
  auto headerSize = r.u32leAt(0);
  auto width = r.i32leAt(4);
  auto doubledHeight = r.i32leAt(8);
  auto bits = r.u16leAt(14);
  auto compression = r.u32leAt(16);
  auto colorsUsed = r.u32leAt(32);
  if (!headerSize || !width || !doubledHeight || !bits || !compression || *headerSize < 40 ||
      *headerSize > data.size()) {
    return util::fail("damaged icon image header");
  }
  const std::int64_t w = *width;
  const std::int64_t h = *doubledHeight / 2;
  const unsigned bpp = *bits;
  if (*compression != 0 || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) {
    return util::fail("unsupported icon image format");
  }
  if (auto pixels = checkImageAllocation(w, h, std::uint64_t(w) * std::uint64_t(h) * 4); !pixels) {
    return pixels;
  }
  std::size_t pos = *headerSize;
  std::uint32_t palette[256] = {};
  if (bpp <= 8) {
    std::size_t entries = std::size_t{1} << bpp;
    if (*colorsUsed > 0 && *colorsUsed < entries) entries = *colorsUsed;
    for (std::size_t i = 0; i < entries; ++i) {
      auto c = r.u32leAt(pos + i * 4);
      palette[i] = c ? (*c | 0xFF000000u) : 0xFF000000u;
    }
    pos += entries * 4;
  }
  const std::size_t xorStride = dibStride(static_cast<std::uint64_t>(w), bpp);
  const std::size_t andStride = dibStride(static_cast<std::uint64_t>(w), 1);
  const std::size_t andStart = pos + xorStride * static_cast<std::size_t>(h);
  frame.width = static_cast<std::int32_t>(w);
  frame.height = static_cast<std::int32_t>(h);
  frame.format = PixelFormat::Argb32;
  frame.stride = static_cast<std::size_t>(w) * 4;
  frame.pixels.assign(frame.stride * static_cast<std::size_t>(h), 0);
  bool anyAlpha = false;
  for (std::int64_t fileRow = 0; fileRow < h; ++fileRow) {
    const std::size_t rowAt = pos + xorStride * static_cast<std::size_t>(fileRow);
    std::uint8_t* out = frame.row(static_cast<std::int32_t>(h - 1 - fileRow));
    if (rowAt > data.size()) break;
    const std::size_t avail = data.size() - rowAt;
    const std::uint8_t* in = data.data() + rowAt;
    for (std::int64_t x = 0; x < w; ++x) {
      std::uint32_t c = 0;
      const std::size_t bytePos =
          bpp >= 8 ? static_cast<std::size_t>(x) * (bpp / 8) : static_cast<std::size_t>(x) * bpp / 8;
      if (bytePos + (bpp >= 8 ? bpp / 8 : 1) > avail) break;
      if (bpp == 32) {
        std::memcpy(&c, in + bytePos, 4);
        if (c >> 24) anyAlpha = true;
      } else if (bpp == 24) {
        c = 0xFF000000u | in[bytePos] | (in[bytePos + 1] << 8) | (std::uint32_t{in[bytePos + 2]} << 16);
      } else {
        const unsigned shift = 8 - bpp - static_cast<unsigned>((x * bpp) % 8);
        c = palette[(in[bytePos] >> shift) & ((1u << bpp) - 1)];
      }
      std::memcpy(out + x * 4, &c, 4);
    }
  }
  // 32-bit images with an alpha channel use it; all others take transparency from the mask.
  for (std::int64_t fileRow = 0; fileRow < h; ++fileRow) {
    std::uint8_t* out = frame.row(static_cast<std::int32_t>(h - 1 - fileRow));
    const std::size_t rowAt = andStart + andStride * static_cast<std::size_t>(fileRow);
    for (std::int64_t x = 0; x < w; ++x) {
      std::uint8_t* p = out + x * 4;
      if (bpp == 32 && anyAlpha) {
        if (p[3] == 0) std::memset(p, 255, 3);
        continue;
      }
      auto maskByte = r.u8At(rowAt + static_cast<std::size_t>(x / 8));
      const bool transparent = maskByte && ((*maskByte >> (7 - x % 8)) & 1);
      if (transparent) {
        const std::uint32_t white = 0x00FFFFFF;
        std::memcpy(p, &white, 4);
      } else {
        p[3] = 255;
      }
    }
  }
  return {};
}

}  // namespace

DecodeResult decodeIco(std::span<const std::uint8_t> data, const FrameSink& sink) {
  DecodeResult result;
  if (ImageCodecFactory::formatFromContent(data) != ImageFormat::Ico) {
    result.error = "not an icon file";
    return result;
  }
  ByteReader r(data);
  const std::uint16_t count = *r.u16leAt(4);
  Entry best;
  bool found = false;
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + std::size_t{i} * 16;
    auto w = r.u8At(at);
    auto h = r.u8At(at + 1);
    auto bits = r.u16leAt(at + 6);
    auto size = r.u32leAt(at + 8);
    auto offset = r.u32leAt(at + 12);
    if (!w || !h || !bits || !size || !offset) break;
    Entry e{*w ? *w : 256u, *h ? *h : 256u, *bits, *size, *offset};
    if (e.offset >= data.size()) continue;
    if (!found || e.width * e.height > best.width * best.height ||
        (e.width * e.height == best.width * best.height && e.bitCount > best.bitCount)) {
      best = e;
      found = true;
    }
  }
  if (!found) {
    result.error = "the icon file holds no image";
    return result;
  }
  const std::size_t length = std::min<std::size_t>(best.size, data.size() - best.offset);
  const auto image = data.subspan(best.offset, length);
  if (ImageCodecFactory::formatFromContent(image) == ImageFormat::Png) return decodePng(image, sink);
  DecodedFrame frame;
  if (auto dib = decodeDib(image, frame); !dib) {
    result.error = std::move(dib.error());
    return result;
  }
  sink(frame);
  result.frameCount = 1;
  return result;
}

}  // namespace brevanto::image::platform
