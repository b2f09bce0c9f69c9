#include "image/ImageCodecFactory.h"

#include <algorithm>
#include <array>
#include <string>

#include "image/BmpCodec.h"
#include "image/TgaCodec.h"
#include "image/platform/PlatformCodec.h"

namespace brevanto::image {

namespace {

enum class CodecKind { None, Bmp, Tga, Platform };

// The leading bytes that identify a format's content, and how many bytes the data must hold
// at least for the format's reader to look at it.
struct Signature {
  std::string_view magic;
  std::size_t minimumSize;

  bool matches(std::span<const std::uint8_t> data) const {
    if (magic.empty() || data.size() < minimumSize || data.size() < magic.size()) return false;
    return std::equal(magic.begin(), magic.end(), data.begin(),
                      [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
  }
};

struct FormatEntry {
  std::string_view extension;
  ImageFormat format;
  CodecKind codec;
  Signature signature;
  Signature altSignature;
};

using namespace std::string_view_literals;

// The one format table: extension -> format id -> codec, and the content signatures.
constexpr std::array<FormatEntry, 13> kFormats{{
    {"bmp", ImageFormat::Bmp, CodecKind::Bmp, {"BM"sv, 2}, {}},
    {"pcx", ImageFormat::Pcx, CodecKind::None, {}, {}},
    {"jpg", ImageFormat::Jpeg, CodecKind::Platform, {"\xFF\xD8\xFF"sv, 3}, {}},
    {"jpeg", ImageFormat::Jpeg, CodecKind::Platform, {}, {}},
    {"gif", ImageFormat::Gif, CodecKind::Platform, {"GIF"sv, 6}, {}},
    {"tga", ImageFormat::Tga, CodecKind::Tga, {}, {}},
    {"tif", ImageFormat::Tiff, CodecKind::Platform, {"II\x2A\0"sv, 4}, {"MM\0\x2A"sv, 4}},
    {"tiff", ImageFormat::Tiff, CodecKind::Platform, {}, {}},
    {"png", ImageFormat::Png, CodecKind::Platform, {"\x89PNG\r\n\x1A\n"sv, 8}, {}},
    {"psd", ImageFormat::Psd, CodecKind::None, {}, {}},
    // Icons (type 1) and cursors (type 2); the image count after them must not be zero.
    {"ico", ImageFormat::Ico, CodecKind::Platform, {"\0\0\1\0"sv, 6}, {"\0\0\2\0"sv, 6}},
    {"xpm", ImageFormat::Xpm, CodecKind::None, {}, {}},
    {"", ImageFormat::Unknown, CodecKind::None, {}, {}},
}};

}  // namespace

ImageFormat ImageCodecFactory::formatFromContent(std::span<const std::uint8_t> data) {
  for (const auto& entry : kFormats) {
    if (!entry.signature.matches(data) && !entry.altSignature.matches(data)) continue;
    if (entry.format == ImageFormat::Ico && (data[4] | data[5]) == 0) return ImageFormat::Unknown;
    return entry.format;
  }
  return ImageFormat::Unknown;
}

ImageFormat ImageCodecFactory::formatFromExtension(std::string_view lowerCaseExtension) {
  if (lowerCaseExtension.empty()) return ImageFormat::Unknown;
  for (const auto& entry : kFormats) {
    if (entry.extension == lowerCaseExtension) return entry.format;
  }
  return ImageFormat::Unknown;
}

ImageFormat ImageCodecFactory::formatFromPath(std::string_view path) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return ImageFormat::Unknown;
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return formatFromExtension(extension);
}

ImageFormat ImageCodecFactory::formatFromPath(const std::filesystem::path& path) {
  return formatFromPath(std::string_view(path.native()));
}

util::Result<void> ImageCodecFactory::save(const RasterImage& image, const std::filesystem::path& path,
                                           const ImageProperties& properties) {
  if (image.isEmpty()) return util::fail("no image to write");
  if (path.empty()) return util::fail("no file name to write to");
  auto codec = createCodecForPath(path);
  if (!codec) return util::fail("no writer for the file type of " + path.string());
  return codec->saveToFile(path, std::span<const RasterImage>(&image, 1), properties);
}

std::unique_ptr<ImageCodec> ImageCodecFactory::createCodec(ImageFormat format) {
  CodecKind kind = CodecKind::None;
  for (const auto& entry : kFormats) {
    if (entry.format == format) {
      kind = entry.codec;
      break;
    }
  }
  switch (kind) {
    case CodecKind::Bmp: return std::make_unique<BmpCodec>();
    case CodecKind::Tga: return std::make_unique<TgaCodec>();
    case CodecKind::Platform: return std::make_unique<PlatformCodec>();
    case CodecKind::None: break;
  }
  return nullptr;
}

}  // namespace brevanto::image
