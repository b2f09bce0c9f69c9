#pragma once

// Helpers for byte-exact tests: hex literals, little-endian reads, the movie reader of
// tests/support under the names these tests use, and the assembly input most movies start from.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "swf/MovieAssembly.h"

#include "tests/support/Bytes.h"
#include "tests/support/SwfReader.h"

namespace brevanto::swf::test {

using Bytes = std::vector<std::uint8_t>;

// "3F 08 31" -> {0x3F, 0x08, 0x31}
inline Bytes hex(const std::string& text) {
  Bytes out;
  std::istringstream in(text);
  std::string token;
  while (in >> token) out.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
  return out;
}

using brevanto::testing::u16At;
using brevanto::testing::u32At;

using Tag = brevanto::testing::SwfTag;
using ParsedMovie = brevanto::testing::SwfFile;
inline ParsedMovie parseMovie(const Bytes& file) { return brevanto::testing::parseSwf(file); }

// The codes of a movie's tags in file order.
inline std::vector<int> tagCodes(const ParsedMovie& movie) {
  std::vector<int> codes;
  for (const Tag& tag : movie.tags) codes.push_back(tag.code);
  return codes;
}

// The body of a tag written with a short header.
inline Bytes shortTagBody(const Bytes& tag) { return Bytes(tag.begin() + 2, tag.end()); }

// A GIF of `width` x `height` made into a movie of its own size, `slots` slots long.
inline MovieAssemblyInput movieInput(int width, int height, int slots = 0, const std::string& gifPath = "/x/a.gif",
                                     const std::string& outputFolder = "/x/") {
  MovieAssemblyInput input;
  input.gifPath = gifPath;
  input.outputFolder = outputFolder;
  input.stageWidth = input.sourceWidth = width;
  input.stageHeight = input.sourceHeight = height;
  input.slotCount = slots;
  return input;
}

}  // namespace brevanto::swf::test
