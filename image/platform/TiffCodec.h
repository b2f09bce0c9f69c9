#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "util/Result.h"

namespace brevanto::image::platform {

// Encodes a picture as a one-page LZW-compressed TIFF: RGBA with unassociated alpha for
// pictures with alpha, RGB otherwise. Maker and model items become the Make and Model tags.
util::Result<std::vector<std::uint8_t>> encodeTiff(const ImageView& view, std::span<const PropertyItem> items = {});

// Decodes every page of a TIFF, in page order, as 32-bit ARGB frames; the first directory's
// entries (and its Exif directory's) become the properties.
DecodeResult decodeTiff(std::span<const std::uint8_t> data, const FrameSink& sink);

}  // namespace brevanto::image::platform
