#pragma once

// The conversion tests' view of a movie: a minimal SWF reader. Scratch folders, the GIF builder
// and the window stand-in come from tests/support.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"
#include "tests/support/WindowStandIn.h"

namespace brevanto::testing {

// The parts of an uncompressed SWF file the tests look at.
struct SwfSummary {
  bool valid = false;
  int stageWidth = 0;   // pixels
  int stageHeight = 0;
  int frameCount = 0;   // header
  int showFrames = 0;   // ShowFrame tags
  std::vector<int> bitmapIds;  // DefineBitsJPEG2 ids in tag order
};

inline SwfSummary readSwf(const std::vector<std::uint8_t>& b) {
  SwfSummary s;
  if (b.size() < 21 || b[0] != 'F' || b[1] != 'W' || b[2] != 'S') return s;
  std::size_t bit = 8 * 8;
  auto bits = [&](int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) v = v << 1 | ((b[bit / 8] >> (7 - bit % 8)) & 1);
    return v;
  };
  const int nbits = static_cast<int>(bits(5));
  auto sbits = [&]() {
    std::uint32_t v = bits(nbits);
    if (nbits > 0 && (v >> (nbits - 1)) & 1) v |= ~0u << nbits;
    return static_cast<std::int32_t>(v);
  };
  const int xmin = sbits(), xmax = sbits(), ymin = sbits(), ymax = sbits();
  s.stageWidth = (xmax - xmin) / 20;
  s.stageHeight = (ymax - ymin) / 20;
  std::size_t pos = (bit + 7) / 8 + 2;
  s.frameCount = b[pos] | b[pos + 1] << 8;
  pos += 2;
  while (pos + 2 <= b.size()) {
    const int codeAndLength = b[pos] | b[pos + 1] << 8;
    pos += 2;
    const int code = codeAndLength >> 6;
    std::size_t length = codeAndLength & 0x3F;
    if (length == 0x3F) {
      if (pos + 4 > b.size()) return s;
      length = b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16 | static_cast<std::size_t>(b[pos + 3]) << 24;
      pos += 4;
    }
    if (pos + length > b.size()) return s;
    if (code == 21 && length >= 2) s.bitmapIds.push_back(b[pos] | b[pos + 1] << 8);
    if (code == 1) ++s.showFrames;
    pos += length;
    if (code == 0) {
      s.valid = pos == b.size();
      return s;
    }
  }
  return s;
}

inline SwfSummary readSwfFile(const std::string& path) { return readSwf(readFile(path)); }

} // namespace brevanto::testing
