#pragma once

#include "image/StreamCodec.h"

namespace brevanto::image {

// Reads Truevision TGA files (colour-mapped, true-colour, run-length encoded) and writes
// uncompressed top-first 8-, 16-, 24- and 32-bit files of at most 65535 x 65535 pixels.
class TgaCodec final : public StreamCodec {
 public:
  util::Result<void> loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                                    std::optional<ImageProperties>& properties) override;

 private:
  // Refuses other depths and larger sides: the header stores the size in 16 bits a side.
  util::Result<void> holds(const RasterImage& image) const override;
  bool write(const RasterImage& image, ByteSink& sink) const override;
};

}  // namespace brevanto::image
