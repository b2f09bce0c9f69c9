#pragma once

// Reads a finished, uncompressed movie back for tests: header fields, the stage, and every tag
// with its body, plus the counts the conversion tests look at.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "tests/support/Files.h"

namespace brevanto::testing {

struct SwfTag {
  int code = 0;
  bool longHeader = false;
  std::vector<std::uint8_t> body;
};

struct SwfFile {
  bool valid = false;  // the walk ended at the End tag, exactly at the end of the file and its length
  std::uint32_t fileLength = 0;
  int stageWidth = 0;  // pixels
  int stageHeight = 0;
  int frameRate = 0;           // 8.8 fixed point
  int frameCount = 0;          // header
  int showFrames = 0;          // ShowFrame tags
  std::vector<int> bitmapIds;  // DefineBitsJPEG2 ids in tag order
  std::vector<SwfTag> tags;
};

inline SwfFile parseSwf(const std::vector<std::uint8_t>& b) {
  SwfFile movie;
  if (b.size() < 9 || b[0] != 'F' || b[1] != 'W' || b[2] != 'S') return movie;
  const auto u16 = [&](std::size_t at) { return b[at] | b[at + 1] << 8; };
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
  };
  movie.fileLength = u32(4);
  const int nbits = b[8] >> 3;
  std::size_t at = 8 + (5 + 4 * static_cast<std::size_t>(nbits) + 7) / 8;
  if (at + 4 > b.size()) return movie;
  std::size_t bit = 8 * 8 + 5;
  const auto sbits = [&] {
    std::uint32_t v = 0;
    for (int i = 0; i < nbits; ++i, ++bit) v = v << 1 | ((b[bit / 8] >> (7 - bit % 8)) & 1);
    if (nbits > 0 && (v >> (nbits - 1)) & 1) v |= ~0u << nbits;
    return static_cast<std::int32_t>(v);
  };
  const int xMin = sbits(), xMax = sbits(), yMin = sbits(), yMax = sbits();
  movie.stageWidth = (xMax - xMin) / 20;
  movie.stageHeight = (yMax - yMin) / 20;
  movie.frameRate = u16(at);
  movie.frameCount = u16(at + 2);
  at += 4;
  while (at + 2 <= b.size()) {
    const int header = u16(at);
    at += 2;
    SwfTag tag;
    tag.code = header >> 6;
    std::size_t length = header & 0x3F;
    if (length == 0x3F) {
      if (at + 4 > b.size()) return movie;
      tag.longHeader = true;
      length = u32(at);
      at += 4;
    }
    if (at + length > b.size()) return movie;
    tag.body.assign(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
    if (tag.code == 1) ++movie.showFrames;
    if (tag.code == 21 && length >= 2) movie.bitmapIds.push_back(u16(at - length));
    movie.tags.push_back(std::move(tag));
    if (movie.tags.back().code == 0) {
      movie.valid = at == b.size() && movie.fileLength == b.size();
      return movie;
    }
  }
  return movie;
}

inline SwfFile readSwfFile(const std::filesystem::path& path) { return parseSwf(readFile(path)); }

}  // namespace brevanto::testing
