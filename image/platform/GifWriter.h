#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "util/Result.h"

namespace brevanto::image::platform {

// Encodes a picture as a one-frame GIF through giflib. Indexed pictures keep their palette;
// others get an exact palette when they hold at most 256 colours (pixels with alpha below 128
// count as one transparent colour, written with a transparent index), and a median-cut
// palette otherwise. A GIF frame written this way reads back pixel for pixel.
util::Result<std::vector<std::uint8_t>> encodeGif(const ImageView& view);

}  // namespace brevanto::image::platform
