// Fuzzes the BMP reader: any bytes must load cleanly or fail cleanly, and every image it
// accepts must survive a write and a second read unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCommon.h"
#include "image/BmpCodec.h"

using namespace brevanto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::bmpWorthDecoding(data, size)) return 0;
  const auto loaded = fuzz::loadOne<image::BmpCodec>(std::span(data, size));
  if (!loaded) return 0;
  const image::RasterImage& first = loaded->image();
  const auto again = fuzz::rewritten<image::BmpCodec>(first);
  FUZZ_CHECK(again.has_value());  // BMP holds every image its reader accepts
  const image::RasterImage& second = again->image();
  FUZZ_CHECK(second.compression() == first.compression());
  FUZZ_CHECK(second.masks() == first.masks());
  FUZZ_CHECK(std::equal(first.pixels().begin(), first.pixels().end(), second.pixels().begin(), second.pixels().end()));
  FUZZ_CHECK(
      std::equal(first.palette().begin(), first.palette().end(), second.palette().begin(), second.palette().end()));
  return 0;
}
