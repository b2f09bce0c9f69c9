#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <optional>
#include <string>
#include <vector>

#include "image/ImageProperties.h"

// Neutral picture types of the imaging layer. They know nothing of RasterImage: decoders fill
// them, encoders read them, and PlatformCodec moves pixels between them and RasterImages.
namespace brevanto::image::platform {

// Pixel formats a decoder delivers and an encoder accepts. Multi-byte pixels are stored
// little-endian; the byte order in memory is noted for each.
enum class PixelFormat {
  Indexed1,
  Indexed4,
  Indexed8,
  Rgb555,
  Rgb565,
  Argb1555,
  Rgb24,    // B, G, R
  Rgb32,    // B, G, R, unused
  Argb32,   // B, G, R, A
  PArgb32,  // B, G, R, A with colours premultiplied
};

inline int bitsPerPixel(PixelFormat format) {
  switch (format) {
    case PixelFormat::Indexed1: return 1;
    case PixelFormat::Indexed4: return 4;
    case PixelFormat::Indexed8: return 8;
    case PixelFormat::Rgb555:
    case PixelFormat::Rgb565:
    case PixelFormat::Argb1555: return 16;
    case PixelFormat::Rgb24: return 24;
    case PixelFormat::Rgb32:
    case PixelFormat::Argb32:
    case PixelFormat::PArgb32: return 32;
  }
  return 32;
}
inline bool isIndexed(PixelFormat format) { return bitsPerPixel(format) <= 8; }
// Bytes of one row of `width` pixels without padding.
inline std::size_t packedRowBytes(std::int64_t width, PixelFormat format) {
  return static_cast<std::size_t>(
      (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel(format)) + 7) / 8);
}

// One decoded frame: top-down rows of `stride` bytes in `format`; for indexed formats the
// palette as 32-bit ARGB values (0xAARRGGBB), whose bytes in memory are B, G, R, A.
struct DecodedFrame {
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat format = PixelFormat::Argb32;
  std::size_t stride = 0;
  std::vector<std::uint32_t> palette;
  std::vector<std::uint8_t> pixels;

  std::uint8_t* row(std::int32_t y) { return pixels.data() + static_cast<std::size_t>(y) * stride; }
  const std::uint8_t* row(std::int32_t y) const { return pixels.data() + static_cast<std::size_t>(y) * stride; }
};

// Receives each frame as soon as it is complete. The frame may be reused by the decoder after
// the call returns, so the sink copies what it keeps. Returning false stops the decoding
// (the frames delivered so far stand).
using FrameSink = std::function<bool(const DecodedFrame&)>;

// What a decode produced besides its frames.
struct DecodeResult {
  std::size_t frameCount = 0;  // frames delivered to the sink
  std::vector<PropertyItem> properties;
  // An animation's delay of each delivered frame in hundredths of a second (0 where the frame
  // states none); empty for formats without timing.
  std::vector<std::int32_t> frameDelays;
  std::optional<std::string> error;  // why decoding failed or stopped early; nothing when clean

  bool delivered() const { return frameCount > 0; }
};

// A read-only view of a picture for the encoders: row(y) is display row y (0 = top); the
// stride may be negative (bottom-up storage). Indexed formats bring their palette as ARGB.
struct ImageView {
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat format = PixelFormat::Argb32;
  const std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = 0;
  std::span<const std::uint32_t> palette;

  const std::uint8_t* row(std::int32_t y) const { return top + static_cast<std::ptrdiff_t>(y) * stride; }
  bool valid() const { return top != nullptr && width > 0 && height > 0; }
};

inline ImageView viewOf(const DecodedFrame& frame) {
  return ImageView{
      frame.width,  frame.height, frame.format, frame.pixels.data(), static_cast<std::ptrdiff_t>(frame.stride),
      frame.palette};
}

}  // namespace brevanto::image::platform
