#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
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
  // The format whose signature the data starts with (GIF, JPEG, PNG, BMP, TIFF, ICO), from the
  // table's signature column; ImageFormat::Unknown for anything else.
  static ImageFormat formatFromContent(std::span<const std::uint8_t> data);
  // A new codec for the format, or nullptr for formats without one (unknown, pcx, psd, xpm).
  static std::unique_ptr<ImageCodec> createCodec(ImageFormat format);
  // formatFromPath then createCodec.
  static std::unique_ptr<ImageCodec> createCodecForPath(const std::filesystem::path& path) {
    return createCodec(formatFromPath(path));
  }
  // Writes the image as a one-frame file whose format follows the path's extension. Fails with
  // the reason for an empty image or path, an extension without a codec, or a failed write.
  static util::Result<void> save(const RasterImage& image, const std::filesystem::path& path, const ImageProperties& properties);
};

}  // namespace brevanto::image
