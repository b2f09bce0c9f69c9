#pragma once

#include "image/ImageCodec.h"

namespace brevanto::image {

// Reads Truevision TGA files (colour-mapped, true-colour, run-length encoded) and writes
// uncompressed top-first 8-, 16-, 24- and 32-bit files of at most 65535 x 65535 pixels.
class TgaCodec final : public ImageCodec {
 public:
  util::Result<void> loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                      std::optional<ImageProperties>& properties) override;
  util::Result<void> saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                  const ImageProperties& properties) override;

  // The file bytes the writer produces (empty for an empty image, an unsupported depth or a
  // side longer than 65535 pixels).
  static std::vector<std::uint8_t> encode(const RasterImage& image);
};

}  // namespace brevanto::image
