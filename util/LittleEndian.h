#pragma once

// Appends fixed-size little-endian fields to a growing byte vector (file headers, tags).

#include <cstdint>
#include <span>
#include <vector>

namespace brevanto::util {

inline void appendU8(std::vector<std::uint8_t>& out, std::uint8_t value) { out.push_back(value); }

inline void appendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

inline void appendBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace brevanto::util
