#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/ImageProperties.h"

// The TIFF-structured metadata block that JPEG files carry in their "Exif" APP1 segment (and
// that a TIFF file is itself): reading its items, and writing one from property items.
namespace brevanto::image::platform {

// Reads the entries of the first image directory and of the Exif sub-directory it points to.
// Values come out little-endian whatever the block's byte order. Anything out of bounds ends
// the read; what was read stays.
std::vector<PropertyItem> readTiffDirectoryItems(std::span<const std::uint8_t> block);

// A little-endian TIFF block holding the items: maker and model in the first directory, every
// other item in an Exif sub-directory. Empty when there is nothing to write.
std::vector<std::uint8_t> buildExifBlock(std::span<const PropertyItem> items);

}  // namespace brevanto::image::platform
