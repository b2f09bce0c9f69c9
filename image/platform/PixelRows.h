#pragma once

#include <cstdint>

#include "image/platform/DecodedImage.h"

// Row conversions shared by the encoders.
namespace brevanto::image::platform {

// True for formats whose fourth byte (or top bit) is alpha.
bool hasAlphaChannel(PixelFormat format);

// Display row y of the view as 8-bit B, G, R, A per pixel. Formats without alpha give 255;
// palette colours are made opaque; premultiplied colours are restored.
void rowToBgra(const ImageView& view, std::int32_t y, std::uint8_t* out);

// One colour channel of a pixel of the given alpha composed over white, rounded to nearest.
inline std::uint8_t channelOverWhite(unsigned channel, unsigned alpha) {
  return static_cast<std::uint8_t>((channel * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// Display row y as B, G, R with any alpha composed over white.
void rowToBgrOverWhite(const ImageView& view, std::int32_t y, std::uint8_t* out);

}  // namespace brevanto::image::platform
