#pragma once

#include <array>
#include <cstdint>

namespace brevanto::image::platform {

// An optimal JPEG Huffman table for one picture's symbol counts, as a DHT segment holds it:
// how many codes have each length 1..16, and the symbols in order of code length.
struct HuffmanTable {
  std::array<std::uint8_t, 17> bits{};  // bits[n]: codes of length n; bits[0] unused
  std::array<std::uint8_t, 256> values{};
};

// Builds the table as the JPEG standard's annex K.2 procedure does, with libjpeg's tie-breaks,
// so that the table (and the picture's bytes) are those of libjpeg's own optimising pass. counts
// has one entry per symbol 0..255 and one (ignored) for the pseudo-symbol 256 that keeps any
// code from being all ones. False when no symbol was counted, or when a code would be longer
// than 32 bits before the 16-bit limit is applied (libjpeg refuses those counts too; a picture
// cannot reach them).
bool buildOptimalHuffmanTable(const long (&counts)[257], HuffmanTable& table);

}  // namespace brevanto::image::platform
