#pragma once

#include "swf/SwfCharacter.h"
#include "util/BgraView.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevanto::swf {

// The pixel data of a DefineBitsLossless tag before compression.
struct LosslessPixels {
  // 3: colour-mapped (at most 256 colours): an R, G, B table of colourCount entries, then one
  //    index byte a pixel, each row padded to a multiple of 4 bytes by repeating its last index
  //    (readers skip the padding; a repeat compresses better than zeros).
  // 5: 32 bits a pixel: 0, R, G, B.
  std::uint8_t format = 0;
  int colourCount = 0;  // format 3 only
  std::vector<std::uint8_t> data;
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

// Format 3 data in the given order, or format 0 and no data when the picture has more than 256
// colours. The picture is already flattened over white (the fourth byte is ignored).
LosslessPixels colourMappedPixels(const util::BgraView& picture, ColourOrder order);
// Format 5 data.
LosslessPixels directColourPixels(const util::BgraView& picture);
// Format 3 in first-appearance order when the picture has at most 256 colours, else format 5.
// The same picture always gives the same bytes. An empty view gives format 0 and no data.
LosslessPixels losslessPixels(const util::BgraView& picture);

// A DefineBitsLossless tag (code 20, long header) holding one opaque picture: id, format,
// width, height, for format 3 the colour-table size minus one, then the zlib stream of
// losslessPixels. Built completely at construction.
class SwfLosslessBitmap final : public SwfCharacter {
 public:
  // A picture with a side of 0 or above 65535 pixels cannot be stored: the tag stays empty.
  SwfLosslessBitmap(std::uint16_t characterId, const util::BgraView& picture);
  // The tag from fields made earlier by losslessBitmapFields (empty fields: an empty tag).
  SwfLosslessBitmap(std::uint16_t characterId, std::span<const std::uint8_t> fields);

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
// A picture of at most kSmallPicturePixels pixels is compressed in each of its forms (format 3
// in both colour orders when it has at most 256 colours, and format 5) at level 9, and the
// smallest form is compressed again at libdeflate's strongest level, 12. A larger one is format
// 3 in first-appearance order (format 5 beyond 256 colours) at level 9, where the extra forms
// and the stronger level would cost several times the time for a few per cent.
std::vector<std::uint8_t> losslessBitmapFields(const util::BgraView& picture);
inline constexpr long long kSmallPicturePixels = 4096;

// The zlib stream (RFC 1950) of data as the bitmap tags store it, at libdeflate level 9 or 12.
std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data, int level = 9);

}  // namespace brevanto::swf
