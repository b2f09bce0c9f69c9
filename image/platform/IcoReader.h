#pragma once

#include <cstdint>
#include <span>

#include "image/platform/DecodedImage.h"

namespace brevanto::image::platform {

// Reads an icon (or cursor) file: the largest, then deepest, of its images becomes one 32-bit
// ARGB frame. Entries may be PNG streams or DIBs (1, 4, 8, 24 or 32 bits with an AND mask).
DecodeResult decodeIco(std::span<const std::uint8_t> data, const FrameSink& sink);

}  // namespace brevanto::image::platform
