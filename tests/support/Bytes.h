#pragma once

// Little-endian fields of a byte block, and what ImageMagick's identify reads from a file, for
// tests that check written bytes against the formats.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace brevanto::testing {

inline std::uint16_t u16At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline bool haveImageMagick() { return std::system("identify -version >/dev/null 2>&1") == 0; }

// "WIDTHxHEIGHT" of the file's first image as ImageMagick's identify reads it; empty when
// identify is missing or cannot read it.
inline std::string identifySize(const std::filesystem::path& path) {
  const std::string command = "identify -format '%wx%h' '" + path.string() + "[0]' 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  char buffer[64] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
  pclose(pipe);
  return std::string(buffer, n);
}

}  // namespace brevanto::testing
