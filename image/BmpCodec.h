#pragma once

#include "image/StreamCodec.h"

namespace brevanto::image {

// Reads and writes Windows BMP files with the image's own DIB layout (bottom-up rows).
class BmpCodec final : public StreamCodec {
 public:
  util::Result<void> loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                                    std::optional<ImageProperties>& properties) override;

 private:
  bool write(const RasterImage& image, ByteSink& sink) const override;
};

}  // namespace brevanto::image
