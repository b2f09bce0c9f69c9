#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "util/Result.h"

namespace brevanto::image::platform {

// Encodes a picture as PNG: 32-bit pictures with their alpha (RGBA), indexed ones with their
// palette (colours opaque), the rest as RGB. Fails with the reason.
util::Result<std::vector<std::uint8_t>> encodePng(const ImageView& view);

// Decodes a PNG into one frame: 32-bit ARGB when the file has any transparency, 24-bit otherwise.
DecodeResult decodePng(std::span<const std::uint8_t> data, const FrameSink& sink);

}  // namespace brevanto::image::platform
