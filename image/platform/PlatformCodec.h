#pragma once

#include "image/ImageCodec.h"

namespace brevanto::image {

// Codec for the formats served by the imaging layer (GIF, JPEG, PNG, TIFF, ICO).
class PlatformCodec final : public ImageCodec {
 public:
  bool loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                      std::optional<ImageProperties>& properties) override;
  bool saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                  const ImageProperties& properties) override;
};

}  // namespace brevanto::image
