#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/LittleEndian.h"

namespace brevanto::swf {

// The tags this writer produces. JPEG movies keep the header form fixed per tag; lossless
// movies give shapes and placements the short form whenever the body fits it.
enum class SwfTagCode : std::uint16_t {
  End = 0,
  ShowFrame = 1,
  SetBackgroundColor = 9,
  DoAction = 12,
  DefineBitsLossless = 20,
  DefineBitsJpeg2 = 21,
  PlaceObject2 = 26,
  RemoveObject2 = 28,
  DefineShape3 = 32,
  DefineBitsLossless2 = 36,
};

// Low six bits of a tag header: the body length (short form) or 0x3F (a u32 length follows).
inline constexpr std::uint16_t kLongTagMarker = 0x3F;

constexpr std::uint16_t shortTagHeader(SwfTagCode code, std::uint16_t bodyLength) {
  return static_cast<std::uint16_t>((static_cast<std::uint16_t>(code) << 6) | (bodyLength & 0x3F));
}

constexpr std::uint16_t longTagHeader(SwfTagCode code) {
  return static_cast<std::uint16_t>((static_cast<std::uint16_t>(code) << 6) | kLongTagMarker);
}

// Which header a tag gets: always the long one, or the short one when the body fits it.
enum class TagHeader { Long, ShortWhenItFits };

// Appends the header of a tag whose body is bodyLength bytes.
inline void appendTagHeader(std::vector<std::uint8_t>& out, SwfTagCode code, std::size_t bodyLength, TagHeader form) {
  if (form == TagHeader::ShortWhenItFits && bodyLength < kLongTagMarker) {
    util::appendU16(out, shortTagHeader(code, static_cast<std::uint16_t>(bodyLength)));
  } else {
    util::appendU16(out, longTagHeader(code));
    util::appendU32(out, static_cast<std::uint32_t>(bodyLength));
  }
}

static_assert(longTagHeader(SwfTagCode::PlaceObject2) == 0x06BF);
static_assert(longTagHeader(SwfTagCode::DefineBitsJpeg2) == 0x057F);
static_assert(longTagHeader(SwfTagCode::DefineShape3) == 0x083F);
static_assert(shortTagHeader(SwfTagCode::SetBackgroundColor, 3) == 0x0243);
static_assert(shortTagHeader(SwfTagCode::ShowFrame, 0) == 0x0040);
static_assert(longTagHeader(SwfTagCode::DefineBitsLossless) == 0x053F);
static_assert(shortTagHeader(SwfTagCode::DoAction, 2) == 0x0302);

}  // namespace brevanto::swf
