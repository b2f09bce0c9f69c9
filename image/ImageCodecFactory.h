#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "image/ImageCodec.h"
#include "image/ImageFormat.h"

namespace brevanto::image {

// Maps file names to formats and formats to codecs, from one extension table.
class ImageCodecFactory {
 public:
  // The text after the last "." anywhere in the path, lower-cased, looked up in the table;
  // no ".", an empty path or an unknown extension gives ImageFormat::Unknown.
  static ImageFormat formatFromPath(const std::filesystem::path& path);
  static ImageFormat formatFromPath(std::string_view path);
  static ImageFormat formatFromExtension(std::string_view lowerCaseExtension);
  // A new codec for the format, or nullptr for formats without one (unknown, pcx, psd, xpm).
  static std::unique_ptr<ImageCodec> createCodec(ImageFormat format);
  // formatFromPath then createCodec.
  static std::unique_ptr<ImageCodec> createCodecForPath(const std::filesystem::path& path) {
    return createCodec(formatFromPath(path));
  }
};

}  // namespace brevanto::image
