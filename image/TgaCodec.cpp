#include "image/TgaCodec.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/ByteReader.h"
#include "image/ByteSink.h"

namespace brevanto::image {

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::string_view kImageId = "Kelvo -- TGA";
constexpr std::uint8_t kDescriptorTopLeft = 0x20;

enum TgaImageType : std::uint8_t {
  ColourMapped = 1,
  TrueColour = 2,
  Grey = 3,
  RleColourMapped = 9,
  RleTrueColour = 10,
  RleGrey = 11,
};

}  // namespace

util::Result<void> TgaCodec::holds(const RasterImage& image) const {
  if (image.bitCount() != 8 && image.bitCount() != 16 && image.bitCount() != 24 && image.bitCount() != 32) {
    return util::fail("TGA cannot hold " + std::to_string(image.bitCount()) + "-bit images");
  }
  constexpr std::int32_t kMaxSide = 65535;
  if (image.width() > kMaxSide || image.height() > kMaxSide) {
    return util::fail("TGA cannot hold images wider or taller than 65535 pixels (this one is " +
                      std::to_string(image.width()) + " x " + std::to_string(image.height()) + ")");
  }
  return {};
}

bool TgaCodec::write(const RasterImage& image, ByteSink& sink) const {
  const int bits = image.bitCount();
  const bool mapped = bits == 8;
  bool ok = sink.u8(static_cast<std::uint8_t>(kImageId.size()));
  ok = ok && sink.u8(mapped ? 1 : 0);
  ok = ok && sink.u8(mapped ? ColourMapped : TrueColour);
  ok = ok && sink.u16le(0);    // first colour-map entry
  ok = ok && sink.u16le(256);  // colour-map length (written for every depth)
  ok = ok && sink.u8(24);      // colour-map entry size
  ok = ok && sink.u16le(0) && sink.u16le(0);
  ok = ok && sink.u16le(static_cast<std::uint16_t>(image.width()));
  ok = ok && sink.u16le(static_cast<std::uint16_t>(image.height()));
  ok = ok && sink.u8(static_cast<std::uint8_t>(bits));
  ok = ok && sink.u8(kDescriptorTopLeft);
  ok = ok && sink.write(kImageId.data(), kImageId.size());
  if (mapped) {
    std::array<std::uint8_t, 768> map{};
    const auto palette = image.palette();
    for (std::size_t i = 0; i < 256 && i < palette.size(); ++i) {
      map[i * 3] = palette[i].blue;
      map[i * 3 + 1] = palette[i].green;
      map[i * 3 + 2] = palette[i].red;
    }
    ok = ok && sink.write(map.data(), map.size());
  }
  const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(bits / 8);
  for (std::int32_t y = 0; ok && y < image.height(); ++y) ok = sink.write(image.row(y), rowBytes);
  return ok;
}

util::Result<void> TgaCodec::loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                              std::optional<ImageProperties>& properties) {
  if (data.size() <= kHeaderSize) return util::fail("TGA file too short");
  ByteReader r(data);
  const std::uint8_t idLength = data[0];
  const std::uint8_t mapType = data[1];
  const std::uint8_t imageType = data[2];
  const std::uint16_t mapFirst = *r.u16leAt(3);
  const std::uint16_t mapLength = *r.u16leAt(5);
  const std::uint8_t mapEntrySize = data[7];
  const std::uint16_t width = *r.u16leAt(12);
  const std::uint16_t height = *r.u16leAt(14);
  const std::uint8_t depth = data[16];
  const std::uint8_t descriptor = data[17];
  if (mapEntrySize == 15 || mapEntrySize == 16) return util::fail("TGA 16-bit colour maps are not supported");

  RasterImage image;
  if (auto made = depth == 15 ? image.create(width, height, kMasks555) : image.create(width, height, depth); !made) {
    return util::fail("TGA: " + made.error());
  }

  r.seek(std::min(data.size(), kHeaderSize + idLength));
  if (mapType == 1) {
    if (std::uint32_t{mapFirst} + mapLength > 256) return util::fail("TGA colour map out of range");
    std::array<PaletteEntry, 256> table{};
    const std::size_t entryBytes = mapEntrySize == 32 ? 4 : 3;
    for (std::size_t i = 0; i < mapLength; ++i) {
      auto entry = r.bytes(entryBytes);
      if (!entry) break;  // a truncated map leaves the remaining entries black
      PaletteEntry& e = table[mapFirst + i];
      e.blue = (*entry)[0];
      e.green = (*entry)[1];
      e.red = (*entry)[2];
      e.reserved = entryBytes == 4 ? (*entry)[3] : 0;
    }
    auto palette = image.palette();
    std::copy_n(table.begin(), std::min(palette.size(), table.size()), palette.begin());
  }

  const bool topFirst = (descriptor & 0x20) != 0;
  const bool rle = imageType == RleColourMapped || imageType == RleTrueColour || imageType == RleGrey;
  const std::int32_t rows = image.height();
  auto displayRow = [&](std::int32_t fileRow) { return image.row(topFirst ? fileRow : rows - 1 - fileRow); };

  if (!rle) {
    // Plain rows; a short file leaves the missing pixels zero.
    const std::size_t rowBytes =
        (static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.bitCount()) + 7) / 8;
    for (std::int32_t i = 0; i < rows && !r.atEnd(); ++i) {
      auto bytes = r.bytesUpTo(rowBytes);
      std::memcpy(displayRow(i), bytes.data(), bytes.size());
    }
  } else {
    const std::size_t pixelBytes = static_cast<std::size_t>(image.bitCount() / 8);
    if (pixelBytes == 0) return util::fail("TGA run-length data needs whole-byte pixels");
    // Packets form one pixel stream over the rows; a packet that runs past the end of a row
    // continues on the next one, and nothing is written past the last pixel.
    const std::size_t width = static_cast<std::size_t>(image.width());
    std::int32_t fileRow = 0;
    std::size_t x = 0;
    std::uint8_t* rowPtr = displayRow(0);
    auto advance = [&]() -> bool {
      if (++x < width) return true;
      x = 0;
      if (++fileRow >= rows) return false;
      rowPtr = displayRow(fileRow);
      return true;
    };
    bool more = true;
    while (more) {
      const auto c = r.u8();
      if (!c) break;
      const std::size_t count = static_cast<std::size_t>(*c & 0x7F) + 1;
      if (*c & 0x80) {
        const auto value = r.bytes(pixelBytes);
        if (!value) break;
        for (std::size_t i = 0; i < count && more; ++i) {
          std::memcpy(rowPtr + x * pixelBytes, value->data(), pixelBytes);
          more = advance();
        }
      } else {
        for (std::size_t i = 0; i < count && more; ++i) {
          const auto value = r.bytes(pixelBytes);
          if (!value) {
            more = false;
            break;
          }
          std::memcpy(rowPtr + x * pixelBytes, value->data(), pixelBytes);
          more = advance();
        }
      }
    }
  }

  ImageProperties props;
  props.set(ImageProperties::RleKey, rle ? "1" : "-1");
  properties = std::move(props);
  frames.append(std::move(image));
  return {};
}

}  // namespace brevanto::image
