// Fuzzes the TGA reader (colour-mapped, true-colour, grey, run-length encoded): any bytes must
// load or fail cleanly; an accepted image of a writable depth must read back with the same
// pixels after a write.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "FuzzCommon.h"
#include "image/TgaCodec.h"

using namespace brevanto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::tgaWorthDecoding(data, size)) return 0;
  const auto loaded = fuzz::loadOne<image::TgaCodec>(std::span(data, size));
  if (!loaded) return 0;
  FUZZ_CHECK(loaded->properties.has_value());
  const std::string rle = loaded->properties->get(image::ImageProperties::RleKey);
  FUZZ_CHECK(rle == "1" || rle == "-1");
  const image::RasterImage& first = loaded->image();

  const int bits = first.bitCount();
  const bool writable = (bits == 8 || bits == 16 || bits == 24 || bits == 32) && first.width() <= 65535 &&
                        first.height() <= 65535;
  const auto again = fuzz::rewritten<image::TgaCodec>(first);
  FUZZ_CHECK(again.has_value() == writable);
  if (!again) return 0;
  const image::RasterImage& second = again->image();
  const std::size_t rowBytes = static_cast<std::size_t>(first.width()) * (bits / 8);
  for (std::int32_t y = 0; y < first.height(); ++y) {
    FUZZ_CHECK(std::memcmp(first.row(y), second.row(y), rowBytes) == 0);
  }
  if (bits == 8) {
    for (std::size_t i = 0; i < 256; ++i) {
      FUZZ_CHECK(first.palette()[i].blue == second.palette()[i].blue);
      FUZZ_CHECK(first.palette()[i].green == second.palette()[i].green);
      FUZZ_CHECK(first.palette()[i].red == second.palette()[i].red);
    }
  }
  return 0;
}
