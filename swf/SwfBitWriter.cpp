#include "swf/SwfBitWriter.h"

#include <cstdlib>

namespace brevanto::swf {

void SwfBitWriter::writeUnsigned(std::uint32_t value, int bits) {
  if (bits <= 0) return;
  if (bits > 32) bits = 32;
  for (int i = bits - 1; i >= 0; --i) {
    const std::size_t byteIndex = bitCount_ / 8;
    if (byteIndex == bytes_.size()) bytes_.push_back(0);
    if ((value >> i) & 1u) bytes_[byteIndex] |= static_cast<std::uint8_t>(0x80u >> (bitCount_ % 8));
    ++bitCount_;
  }
}

void SwfBitWriter::writeSigned(std::int32_t value, int bits) { writeUnsigned(static_cast<std::uint32_t>(value), bits); }

int signedBitWidth(std::initializer_list<std::int32_t> values) {
  std::uint64_t largest = 0;
  for (std::int32_t v : values) {
    const std::uint64_t magnitude = static_cast<std::uint64_t>(std::llabs(static_cast<long long>(v)));
    if (magnitude > largest) largest = magnitude;
  }
  int k = 0;
  while ((std::uint64_t{1} << k) <= largest) ++k;
  return k + 1;
}

}  // namespace brevanto::swf
