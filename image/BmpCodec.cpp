#include "image/BmpCodec.h"

#include <algorithm>
#include <cstring>

#include "image/ByteReader.h"
#include "image/ByteSink.h"

namespace brevanto::image {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

}  // namespace

// File header, info header, colour block and pixels.
bool BmpCodec::write(const RasterImage& image, ByteSink& sink) const {
  const std::vector<std::uint8_t> info = image.headerWithColors();
  std::size_t colourBlock = 0;
  if (image.bitCount() <= 8) {
    colourBlock = info.size() - kInfoHeaderSize;
  } else if (image.compression() == kCompressionBitFields) {
    colourBlock = 12;
  }
  const std::size_t offset = kFileHeaderSize + kInfoHeaderSize + colourBlock;
  const std::size_t fileSize = offset + image.pixels().size();
  bool ok = sink.write("BM", 2);
  ok = ok && sink.u32le(static_cast<std::uint32_t>(fileSize));
  ok = ok && sink.u16le(0) && sink.u16le(0);
  ok = ok && sink.u32le(static_cast<std::uint32_t>(offset));
  ok = ok && sink.write(info.data(), kInfoHeaderSize + colourBlock);
  ok = ok && sink.bytes(image.pixels());
  return ok;
}

util::Result<void> BmpCodec::loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames, std::optional<ImageProperties>&) {
  ByteReader r(data);
  if (data.size() <= kFileHeaderSize) return util::fail("BMP file too short");
  if (data[0] != 'B' || data[1] != 'M') return util::fail("not a BMP file");
  const std::uint32_t pixelOffset = *r.u32leAt(10);
  if (pixelOffset >= data.size()) return util::fail("BMP pixel offset beyond the file");

  const auto headerSize = r.u32leAt(14);
  const auto width = r.i32leAt(18);
  const auto height = r.i32leAt(22);
  const auto bitCount = r.u16leAt(28);
  const auto compression = r.u32leAt(30);
  if (!headerSize || !width || !height || !bitCount || !compression) return util::fail("BMP header truncated");
  if (*width <= 0 || *height <= 0) return util::fail("unsupported BMP size (top-down or empty)");
  if (*compression != kCompressionRgb && *compression != kCompressionBitFields) {
    return util::fail("unsupported BMP compression " + std::to_string(*compression));
  }

  BitmapInfoHeader header;
  header.width = *width;
  header.height = *height;
  header.bitCount = *bitCount;
  header.compression = *bitCount == 16 ? *compression : kCompressionRgb;
  header.xPelsPerMeter = r.i32leAt(38).value_or(0);
  header.yPelsPerMeter = r.i32leAt(42).value_or(0);
  ColorMasks masks;
  if (header.compression == kCompressionBitFields) {
    const auto red = r.u32leAt(54);
    const auto green = r.u32leAt(58);
    const auto blue = r.u32leAt(62);
    if (!red || !green || !blue) return util::fail("BMP masks truncated");
    masks = {*red, *green, *blue};
  }
  RasterImage image;
  if (auto made = image.create(header, masks); !made) return util::fail("BMP: " + made.error());

  if (image.bitCount() <= 8) {
    // The colour table follows the info header, whatever its size says.
    const std::uint64_t start = kFileHeaderSize + std::uint64_t{*headerSize};
    auto palette = image.palette();
    for (std::size_t i = 0; i < palette.size(); ++i) {
      const std::uint64_t at = start + i * 4;
      if (at > data.size() || data.size() - at < 4) break;
      std::memcpy(&palette[i], data.data() + at, 4);
    }
  }
  const std::size_t available = data.size() - pixelOffset;
  const std::size_t count = std::min(available, image.pixels().size());
  std::memcpy(image.pixels().data(), data.data() + pixelOffset, count);
  frames.append(std::move(image));
  return {};
}

}  // namespace brevanto::image
