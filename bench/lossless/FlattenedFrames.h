#pragma once

// Composed GIF frames flattened over white as 4-byte B, G, R, X pictures, for the lossless
// measurements and render checks (not part of the converter).

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "image/platform/GifReader.h"
#include "image/platform/PixelRows.h"
#include "util/BgraView.h"

namespace brevanto::bench {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgrx;
  util::BgraView view() const { return {bgrx.data(), static_cast<std::ptrdiff_t>(width) * 4, width, height}; }
};

inline std::vector<Picture> flattenedFrames(const std::string& path, std::string* error = nullptr) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
  std::vector<Picture> frames;
  const auto result = image::platform::decodeGif(data, [&](const image::platform::DecodedFrame& frame) {
    Picture p;
    p.width = frame.width;
    p.height = frame.height;
    p.bgrx.assign(static_cast<std::size_t>(frame.width) * frame.height * 4, 0xFF);
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(frame.width) * 3);
    const auto view = image::platform::viewOf(frame);
    for (int y = 0; y < frame.height; ++y) {
      image::platform::rowToBgrOverWhite(view, y, bgr.data());
      std::uint8_t* dst = p.bgrx.data() + static_cast<std::size_t>(y) * frame.width * 4;
      for (int x = 0; x < frame.width; ++x) {
        dst[x * 4] = bgr[x * 3];
        dst[x * 4 + 1] = bgr[x * 3 + 1];
        dst[x * 4 + 2] = bgr[x * 3 + 2];
      }
    }
    frames.push_back(std::move(p));
    return true;
  });
  if (error) *error = result.error.value_or("");
  return frames;
}

}  // namespace brevanto::bench
