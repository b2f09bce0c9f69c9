#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace brevanto::swf {

// A length in twips, the movie's unit: 20 twips per pixel.
struct Twips {
  static constexpr std::int32_t perPixel = 20;

  std::int32_t value = 0;

  constexpr Twips() = default;
  constexpr explicit Twips(std::int32_t twips) : value(twips) {}

  // pixels x 20 in single precision, truncated toward zero. Values beyond the 32-bit range
  // saturate and NaN gives 0, so no input can reach an undefined float-to-int conversion.
  static Twips fromPixels(float pixels) {
    const float scaled = pixels * static_cast<float>(perPixel);
    if (std::isnan(scaled)) return Twips(0);
    if (scaled >= 2147483648.0f) return Twips(std::numeric_limits<std::int32_t>::max());
    if (scaled <= -2147483648.0f) return Twips(std::numeric_limits<std::int32_t>::min());
    return Twips(static_cast<std::int32_t>(scaled));
  }

  friend constexpr bool operator==(Twips, Twips) = default;
};

}  // namespace brevanto::swf
