#pragma once

// Every frame the GIF decoder delivers for some bytes, kept, with the decoder's result.

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "image/platform/GifReader.h"

namespace brevanto::testing {

struct DecodedGif {
  image::platform::DecodeResult result;
  std::vector<image::platform::DecodedFrame> frames;
  // The 32-bit pixel at (x, y) of a frame.
  std::uint32_t at(std::size_t frame, int x, int y) const {
    std::uint32_t v;
    std::memcpy(&v, frames[frame].row(y) + x * 4, 4);
    return v;
  }
};

inline DecodedGif decodeAll(std::span<const std::uint8_t> bytes) {
  DecodedGif d;
  d.result = image::platform::decodeGif(bytes, [&](const image::platform::DecodedFrame& frame) {
    d.frames.push_back(frame);
    return true;
  });
  return d;
}

}  // namespace brevanto::testing
