#pragma once

// The block markers of the GIF format, shared by the decoder and the frame-table walk.

#include <cstdint>

namespace brevanto::image::gif {

inline constexpr std::uint8_t kExtensionIntroducer = 0x21;
inline constexpr std::uint8_t kImageSeparator = 0x2C;
inline constexpr std::uint8_t kTrailer = 0x3B;
inline constexpr std::uint8_t kGraphicControlLabel = 0xF9;
inline constexpr std::uint8_t kApplicationLabel = 0xFF;
inline constexpr std::uint8_t kCommentLabel = 0xFE;
inline constexpr std::uint8_t kPlainTextLabel = 0x01;

}  // namespace brevanto::image::gif
