#include "swf/SwfJpegBitmap.h"

#include "swf/SwfBitWriter.h"
#include "swf/SwfTagCode.h"
#include "util/File.h"

#include <array>
#include <limits>

namespace brevanto::swf {

namespace {

constexpr std::array<std::uint8_t, 4> kStreamPrefix{0xFF, 0xD9, 0xFF, 0xD8};
constexpr std::array<std::uint8_t, 2> kStreamSuffix{0xFF, 0xD9};
// id + prefix + suffix around the JPEG bytes.
constexpr std::size_t kBodyOverhead = 2 + kStreamPrefix.size() + kStreamSuffix.size();

}  // namespace

SwfJpegBitmap::SwfJpegBitmap(std::uint16_t id, const std::filesystem::path& jpegFilePath)
    : SwfCharacter(id, 0, Kind::Bitmap) {
  if (const auto bytes = util::readWholeFile(jpegFilePath)) build(*bytes);
}

SwfJpegBitmap::SwfJpegBitmap(std::uint16_t id, std::span<const std::uint8_t> jpegBytes)
    : SwfCharacter(id, 0, Kind::Bitmap) {
  build(jpegBytes);
}

void SwfJpegBitmap::build(std::span<const std::uint8_t> jpegBytes) {
  // The body length is a u32; a picture too large for it cannot be embedded.
  if (jpegBytes.size() > std::numeric_limits<std::uint32_t>::max() - kBodyOverhead) return;
  tag_.reserve(6 + kBodyOverhead + jpegBytes.size());
  appendU16(tag_, longTagHeader(SwfTagCode::DefineBitsJpeg2));
  appendU32(tag_, static_cast<std::uint32_t>(jpegBytes.size() + kBodyOverhead));
  appendU16(tag_, id());
  appendBytes(tag_, kStreamPrefix);
  appendBytes(tag_, jpegBytes);
  appendBytes(tag_, kStreamSuffix);
}

}  // namespace brevanto::swf
