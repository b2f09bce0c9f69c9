#pragma once

#include <cstdint>
#include <vector>

#include "image/ByteSink.h"
#include "image/ImageCodec.h"

namespace brevanto::image {

// A codec whose writer streams one image field by field through a ByteSink (BMP, TGA). The save
// to a file and the encode into memory are the same for every such format: the format says
// whether it can hold an image and writes the bytes.
class StreamCodec : public ImageCodec {
 public:
  util::Result<void> saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                                const ImageProperties& properties) final;

  // The file bytes a save writes for the image, or why the format cannot hold it.
  util::Result<std::vector<std::uint8_t>> encode(const RasterImage& image) const;

 private:
  // Why the format cannot hold a non-empty image; success when it can. Default: it holds any.
  virtual util::Result<void> holds(const RasterImage& image) const;
  // Writes the whole file; false as soon as the sink refuses a byte.
  virtual bool write(const RasterImage& image, ByteSink& sink) const = 0;
};

}  // namespace brevanto::image
