#pragma once

// Composed GIF frames flattened over white as 4-byte B, G, R, X pictures, for the lossless
// measurements and render checks (not part of the converter).

#include <cstdint>
#include <string>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "image/platform/GifReader.h"
#include "image/platform/PixelRows.h"
#include "util/BgraView.h"
#include "util/File.h"
#include "util/Result.h"

namespace brevanto::bench {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgrx;
  util::BgraView view() const { return {bgrx.data(), static_cast<std::ptrdiff_t>(width) * 4, width, height}; }
};

// The frames the GIF decoder delivers (a file that breaks off keeps the frames before the break);
// fails with the reader's or the decoder's reason when there is not one.
inline util::Result<std::vector<Picture>> flattenedFrames(const std::string& path) {
  const auto data = util::readWholeFile(path);
  if (!data) return util::fail(data.error());
  std::vector<Picture> frames;
  const auto result = image::platform::decodeGif(*data, [&](const image::platform::DecodedFrame& frame) {
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
  if (frames.empty()) return util::fail(result.error.value_or("no frames"));
  return frames;
}

}  // namespace brevanto::bench
