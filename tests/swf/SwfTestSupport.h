#pragma once

// Helpers for byte-exact tests: hex literals, little-endian reads, and the movie reader of
// tests/support under the names these tests use.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

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

inline std::uint16_t u16At(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::uint32_t u32At(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

using Tag = brevanto::testing::SwfTag;
using ParsedMovie = brevanto::testing::SwfFile;
inline ParsedMovie parseMovie(const Bytes& file) { return brevanto::testing::parseSwf(file); }

}  // namespace brevanto::swf::test
