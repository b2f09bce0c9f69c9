// Fuzzes the TGA reader (colour-mapped, true-colour, grey, run-length encoded): any bytes must
// load or fail cleanly; an accepted image of a writable depth must read back with the same
// pixels after a write.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "FuzzCommon.h"
#include "image/TgaCodec.h"

using namespace brevanto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  image::TgaCodec codec;
  if (!fuzz::tgaWorthDecoding(data, size)) return 0;
  image::FrameList frames;
  std::optional<image::ImageProperties> properties;
  if (!codec.loadFromMemory(std::span(data, size), frames, properties)) {
    FUZZ_CHECK(frames.empty());
    return 0;
  }
  FUZZ_CHECK(frames.size() == 1);
  FUZZ_CHECK(properties.has_value());
  const std::string rle = properties->get(image::ImageProperties::RleKey);
  FUZZ_CHECK(rle == "1" || rle == "-1");
  const image::RasterImage& first = frames[0];
  fuzz::exerciseImage(first);

  const int bits = first.bitCount();
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
  if (first.width() > 65535 || first.height() > 65535) return 0;
  const auto encoded = image::TgaCodec::encode(first);
  FUZZ_CHECK(!encoded.empty());
  image::TgaCodec again;
  image::FrameList reread;
  std::optional<image::ImageProperties> properties2;
  FUZZ_CHECK(again.loadFromMemory(encoded, reread, properties2));
  FUZZ_CHECK(reread.size() == 1);
  const image::RasterImage& second = reread[0];
  FUZZ_CHECK(second.width() == first.width() && second.height() == first.height());
  FUZZ_CHECK(second.bitCount() == bits);
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
