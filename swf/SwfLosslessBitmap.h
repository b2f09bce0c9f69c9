#pragma once

#include "swf/SwfCharacter.h"
#include "util/BgraView.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevanto::swf {

// The pixel data of a DefineBitsLossless tag (or with alpha, a DefineBitsLossless2 tag) before
// compression.
struct LosslessPixels {
  // 3: colour-mapped (at most 256 colours): an R, G, B (with alpha: R, G, B, A) table of
  //    colourCount entries, then one index byte a pixel, each row padded to a multiple of 4
  //    bytes by repeating its last index (readers skip the padding; a repeat compresses better
  //    than zeros).
  // 5: 32 bits a pixel: 0, R, G, B (with alpha: A, R, G, B).
  std::uint8_t format = 0;
  int colourCount = 0;  // format 3 only
  bool alpha = false;
  std::vector<std::uint8_t> data;

  std::size_t tableEntryBytes() const { return alpha ? 4 : 3; }
};

// Which table index each colour of a colour-mapped picture gets. Any order shows the same
// picture; the orders differ in how well the stream compresses.
enum class ColourOrder {
  // 0, 1, 2... in order of first appearance (rows top to bottom, each left to right).
  FirstAppearance,
  // The free index nearest the colour's green value (colours in order of first appearance,
  // the lower index first on a tie); the table runs to the highest index used, each unused
  // entry repeating the entry before it (the first used entry before that). In a grey picture
  // every index then equals its colour's bytes, so the table and the pixel rows share one
  // small alphabet of literals: about 8 % smaller for small grey photographs, where the table
  // is a large part of the stream.
  ByGreen,
};

// Without alpha the picture is opaque, already flattened over white (the fourth byte is
// ignored). With alpha the fourth byte is the pixel's alpha and the colours are premultiplied by
// it, as DefineBitsLossless2 stores them (a fully transparent pixel is all zero).
// Format 3 data in the given order, or format 0 and no data when the picture has more than 256
// colours.
LosslessPixels colourMappedPixels(const util::BgraView& picture, ColourOrder order, bool alpha = false);
// Format 5 data.
LosslessPixels directColourPixels(const util::BgraView& picture, bool alpha = false);
// Format 3 in first-appearance order when the picture has at most 256 colours, else format 5.
// The same picture always gives the same bytes. An empty view gives format 0 and no data.
LosslessPixels losslessPixels(const util::BgraView& picture, bool alpha = false);

// A DefineBitsLossless tag (code 20, long header) holding one opaque picture, or with
// `transparent` a DefineBitsLossless2 tag (code 36) holding one with alpha: id, format, width,
// height, for format 3 the colour-table size minus one, then the zlib stream of
// losslessPixels. Built completely at construction.
class SwfLosslessBitmap final : public SwfCharacter {
 public:
  // A picture with a side of 0 or above 65535 pixels cannot be stored: the tag stays empty.
  SwfLosslessBitmap(std::uint16_t characterId, const util::BgraView& picture);
  // The tag from fields made earlier by losslessBitmapFields (empty fields: an empty tag).
  // transparent: fields of transparentBitmapFields.
  SwfLosslessBitmap(std::uint16_t characterId, std::span<const std::uint8_t> fields, bool transparent = false);

  const std::vector<std::uint8_t>& tagBytes() override { return tag_; }
  bool isValid() const { return !tag_.empty(); }
  // 3 or 5 (0 when not valid).
  std::uint8_t format() const { return format_; }

 private:
  std::vector<std::uint8_t> tag_;
  std::uint8_t format_ = 0;
};

// The tag's fields after the character id (format, width, height, for format 3 the
// colour-table size minus one, the zlib stream), so a picture can be compressed before its id
// is known. Empty when the picture cannot be stored.
// Format 3 in first-appearance order when the picture has at most 256 colours (else format 5),
// at libdeflate level kLosslessLevel. A picture of at most kSmallPicturePixels pixels is also
// compressed in its other forms (format 3 in green order, format 5), and the smallest is
// compressed again at level 12, kept when smaller.
// Chosen by bytes saved per millisecond of compression, over the sample GIFs and dense 320x240
// animations (README, "Measuring speed and size"): on dense frames level 6 saves about 3 KB a
// millisecond over level 1, 7 about 0.2 KB over 6, 9 under 0.05 KB over 7. The other forms at
// level 6 cost next to nothing; level 12 saves about 0.05 KB a millisecond, but only on small
// pictures, a millisecond or two a file, and nothing on dense frames.
std::vector<std::uint8_t> losslessBitmapFields(const util::BgraView& picture);
// The same for a picture with alpha (see losslessPixels), for a DefineBitsLossless2 tag.
std::vector<std::uint8_t> transparentBitmapFields(const util::BgraView& picture);
inline constexpr int kLosslessLevel = 6;
inline constexpr long long kSmallPicturePixels = 4096;
// The longest side a bitmap tag stores.
inline constexpr int kMaxLosslessSide = 65535;

// The zlib stream (RFC 1950) of data as the bitmap tags store it, at a libdeflate level, 1 to 12.
std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data, int level = 9);

}  // namespace brevanto::swf
