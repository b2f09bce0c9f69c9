#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "util/Result.h"

namespace brevanto::image::platform {

// Encodes a picture as baseline JPEG with optimised Huffman tables: quality clamped to 1..100
// (the standard quantisation tables scaled as libjpeg does), chroma 4:4:4 at quality 90 and
// above and 4:2:0 below, alpha composed over white. The quantised picture is the one
// TurboJPEG's tjCompress2 writes at that quality. The items (camera and date metadata) go into
// an Exif segment after the JFIF one. Fails with the reason. Thread-safe.
util::Result<std::vector<std::uint8_t>> encodeJpeg(const ImageView& view, int quality,
                                                   std::span<const PropertyItem> items = {});

// Decodes a JPEG into one 24-bit frame (CMYK files converted to RGB), with the items of its
// Exif segment as properties.
DecodeResult decodeJpeg(std::span<const std::uint8_t> data, const FrameSink& sink);

}  // namespace brevanto::image::platform
