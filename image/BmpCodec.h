#pragma once

#include "image/ImageCodec.h"

namespace brevanto::image {

// Reads and writes Windows BMP files with the image's own DIB layout (bottom-up rows).
class BmpCodec final : public ImageCodec {
 public:
  util::Result<void> loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                      std::optional<ImageProperties>& properties) override;
  util::Result<void> saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                  const ImageProperties& properties) override;

  // The file bytes the writer produces for an image (empty for an empty image).
  static std::vector<std::uint8_t> encode(const RasterImage& image);
};

}  // namespace brevanto::image
