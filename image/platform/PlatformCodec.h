#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "image/ImageCodec.h"
#include "image/ImageFormat.h"
#include "image/platform/DecodedImage.h"

namespace brevanto::image {

// The codec of the formats the imaging layer serves. Loading recognises GIF, JPEG, PNG, TIFF
// and ICO by their content (whatever the file is called) and fills one RasterImage per frame:
// animated GIFs as composed 32-bit canvases, TIFFs one frame per page. Saving writes the
// first frame as JPEG, GIF, PNG or TIFF by the path's extension (BMP through BmpCodec).
class PlatformCodec final : public ImageCodec {
 public:
  util::Result<void> loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                      std::optional<ImageProperties>& properties) override;
  util::Result<void> saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                  const ImageProperties& properties) override;

  // The file bytes a save in `format` writes for the image; fails with the reason, also for
  // formats without an encoder.
  util::Result<std::vector<std::uint8_t>> encode(const RasterImage& image, ImageFormat format, const ImageProperties& properties);
};

// Encodes a frame as JPEG in memory: the very bytes a save to a .jpg file with that quality
// writes (quality clamped to 1..100; alpha composed over white), or why it cannot be encoded.
util::Result<std::vector<std::uint8_t>> encodeJpeg(const RasterImage& image, int quality);

// A read-only view of a RasterImage's rows for the imaging layer (display row 0 first).
platform::ImageView viewOfRaster(const RasterImage& image, std::vector<std::uint32_t>& paletteStorage);

// Fills a RasterImage from a decoded frame (the pixel-format table of the imaging service).
// Fails when the format or size cannot be held.
util::Result<void> rasterFromDecoded(const platform::DecodedFrame& frame, RasterImage& image);

}  // namespace brevanto::image
