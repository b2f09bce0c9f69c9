#pragma once

// Bit-packed records (RECT, MATRIX, shape records) and little-endian byte appends.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

#include "util/LittleEndian.h"

namespace brevanto::swf {

// Writes fields most significant bit first into a zero-filled buffer: the first bit of a record is
// bit 7 of its first byte. A record starts on a byte boundary; its last byte is zero-padded.
class SwfBitWriter {
 public:
  // UB[bits]: the lowest `bits` bits of value. Width 0 writes nothing; widths above 32 are cut
  // to 32.
  void writeUnsigned(std::uint32_t value, int bits);
  // SB[bits]: the lowest `bits` bits of value's 32-bit two's-complement form.
  void writeSigned(std::int32_t value, int bits);

  std::size_t bitCount() const { return bitCount_; }
  // The record so far, padded to whole bytes: ceil(bitCount / 8) bytes.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bitCount_ = 0;
};

// The field width for a group of signed values: k + 1, where k is the smallest k >= 0 with
// 2^k greater than the largest magnitude m among the values (m = 0 gives 1, 4000 gives 13).
int signedBitWidth(std::initializer_list<std::int32_t> values);

using util::appendBytes;
using util::appendU16;
using util::appendU32;
using util::appendU8;

}  // namespace brevanto::swf
