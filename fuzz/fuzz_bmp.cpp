// Fuzzes the BMP reader: any bytes must load cleanly or fail cleanly, and every image it
// accepts must survive a write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "FuzzCommon.h"
#include "image/BmpCodec.h"

using namespace brevanto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  image::BmpCodec codec;
  if (!fuzz::bmpWorthDecoding(data, size)) return 0;
  image::FrameList frames;
  std::optional<image::ImageProperties> properties;
  if (!codec.loadFromMemory(std::span(data, size), frames, properties)) {
    FUZZ_CHECK(frames.empty());
    return 0;
  }
  FUZZ_CHECK(frames.size() == 1);
  const image::RasterImage& first = frames[0];
  fuzz::exerciseImage(first);

  const auto encoded = image::BmpCodec::encode(first);
  FUZZ_CHECK(!encoded.empty());
  image::BmpCodec again;
  image::FrameList reread;
  FUZZ_CHECK(again.loadFromMemory(encoded, reread, properties));
  FUZZ_CHECK(reread.size() == 1);
  const image::RasterImage& second = reread[0];
  FUZZ_CHECK(second.width() == first.width() && second.height() == first.height());
  FUZZ_CHECK(second.bitCount() == first.bitCount());
  FUZZ_CHECK(second.compression() == first.compression());
  FUZZ_CHECK(second.masks() == first.masks());
  FUZZ_CHECK(std::equal(first.pixels().begin(), first.pixels().end(), second.pixels().begin(), second.pixels().end()));
  FUZZ_CHECK(
      std::equal(first.palette().begin(), first.palette().end(), second.palette().begin(), second.palette().end()));
  return 0;
}
