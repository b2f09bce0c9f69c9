#pragma once

#include <cstdint>

#include "image/RasterImage.h"

namespace brevanto::image {

// Resamples the image in place to width x height: 16-bit (5-5-5 and 5-6-5 kept), 24- and
// 32-bit images. The edges are first replicated 10 pixels outwards, then exactly the original
// picture is resampled with a separable bicubic (Catmull-Rom) filter which, when shrinking,
// widens to cover each output pixel's whole footprint. Does nothing for an empty image, an
// indexed image, a size below 1 x 1 or a target beyond the limits of ImageLimits.h (the image
// is then left exactly as it was). As the replicated 10-pixel border implies, the result's origin
// lies 10 pixels above and left of the old one. True when rescaled.
bool scaleImage(RasterImage& image, std::int32_t width, std::int32_t height);

// The resampling core: fills `target` (already created, same depth and masks as source,
// 16/24/32-bit) from the rectangle (sx, sy, sw, sh) of source, reading beyond the rectangle
// where the filter reaches (clamped to the source's edges). Returns false on mismatched input.
bool resampleBicubic(const RasterImage& source, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                     RasterImage& target);

}  // namespace brevanto::image
