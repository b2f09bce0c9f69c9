#include "image/ImageCodecFactory.h"

#include <array>
#include <string>

#include "image/BmpCodec.h"
#include "image/TgaCodec.h"
#include "image/platform/PlatformCodec.h"

namespace brevanto::image {

namespace {

enum class CodecKind { None, Bmp, Tga, Platform };

struct FormatEntry {
  std::string_view extension;
  ImageFormat format;
  CodecKind codec;
};

// The one extension table: extension -> format id -> codec.
constexpr std::array<FormatEntry, 13> kFormats{{
    {"bmp", ImageFormat::Bmp, CodecKind::Bmp},
    {"pcx", ImageFormat::Pcx, CodecKind::None},
    {"jpg", ImageFormat::Jpeg, CodecKind::Platform},
    {"jpeg", ImageFormat::Jpeg, CodecKind::Platform},
    {"gif", ImageFormat::Gif, CodecKind::Platform},
    {"tga", ImageFormat::Tga, CodecKind::Tga},
    {"tif", ImageFormat::Tiff, CodecKind::Platform},
    {"tiff", ImageFormat::Tiff, CodecKind::Platform},
    {"png", ImageFormat::Png, CodecKind::Platform},
    {"psd", ImageFormat::Psd, CodecKind::None},
    {"ico", ImageFormat::Ico, CodecKind::Platform},
    {"xpm", ImageFormat::Xpm, CodecKind::None},
    {"", ImageFormat::Unknown, CodecKind::None},
}};

}  // namespace

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

std::unique_ptr<ImageCodec> ImageCodecFactory::createCodec(ImageFormat format) {
  CodecKind kind = CodecKind::None;
  for (const auto& entry : kFormats) {
    if (entry.format == format) {
      kind = entry.codec;
      break;
    }
  }
  switch (kind) {
    case CodecKind::Bmp:
      return std::make_unique<BmpCodec>();
    case CodecKind::Tga:
      return std::make_unique<TgaCodec>();
    case CodecKind::Platform:
      return std::make_unique<PlatformCodec>();
    case CodecKind::None:
      break;
  }
  return nullptr;
}

}  // namespace brevanto::image
