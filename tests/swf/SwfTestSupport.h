#pragma once

// Helpers for byte-exact tests: hex literals, little-endian reads, and the movie reader of
// tests/support under the names these tests use.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

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

}  // namespace brevanto::swf::test
