#pragma once

#include "swf/SwfCharacter.h"
#include "util/BgraView.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevanto::swf {

// The pixel data of a DefineBitsLossless tag before compression.
struct LosslessPixels {
  // 3: colour-mapped (at most 256 colours): an R, G, B table of colourCount entries in order of
  //    first appearance (rows top to bottom, each left to right), then one index byte a pixel,
  //    each row padded with zeros to a multiple of 4 bytes.
  // 5: 32 bits a pixel: 0, R, G, B.
  std::uint8_t format = 0;
  int colourCount = 0;  // format 3 only
  std::vector<std::uint8_t> data;
};

// The pixel data for a picture already flattened over white (the fourth byte is ignored).
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
std::vector<std::uint8_t> losslessBitmapFields(const util::BgraView& picture);

// The zlib stream (RFC 1950) of data as the bitmap tags store it.
std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data);

}  // namespace brevanto::swf
