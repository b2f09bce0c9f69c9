#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace brevanto::image {

// Bounds-checked little-endian reader over a byte block. Every read asks first and yields
// std::nullopt (without moving) when the data ends; nothing is ever read past the block.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t size() const { return data_.size(); }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return data_.size() - pos_; }
  bool has(std::size_t n) const { return n <= remaining(); }
  bool atEnd() const { return pos_ >= data_.size(); }

  // Moves to an absolute offset; false (and no move) when it lies beyond the end.
  bool seek(std::size_t offset) {
    if (offset > data_.size()) return false;
    pos_ = offset;
    return true;
  }
  bool skip(std::size_t n) {
    if (!has(n)) return false;
    pos_ += n;
    return true;
  }

  std::optional<std::uint8_t> u8() {
    if (!has(1)) return std::nullopt;
    return data_[pos_++];
  }
  std::optional<std::uint16_t> u16le() {
    auto v = u16leAt(pos_);
    if (v) pos_ += 2;
    return v;
  }
  std::optional<std::uint32_t> u32le() {
    auto v = u32leAt(pos_);
    if (v) pos_ += 4;
    return v;
  }
  std::optional<std::int32_t> i32le() {
    auto v = u32le();
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
  }
  // The next n bytes as a view into the block.
  std::optional<std::span<const std::uint8_t>> bytes(std::size_t n) {
    if (!has(n)) return std::nullopt;
    auto view = data_.subspan(pos_, n);
    pos_ += n;
    return view;
  }
  // Up to n bytes (fewer at the end of the data); never fails.
  std::span<const std::uint8_t> bytesUpTo(std::size_t n) {
    if (n > remaining()) n = remaining();
    auto view = data_.subspan(pos_, n);
    pos_ += n;
    return view;
  }

  // Reads at an absolute offset without moving.
  std::optional<std::uint8_t> u8At(std::size_t offset) const {
    if (offset >= data_.size()) return std::nullopt;
    return data_[offset];
  }
  std::optional<std::uint16_t> u16leAt(std::size_t offset) const {
    if (offset > data_.size() || data_.size() - offset < 2) return std::nullopt;
    return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }
  std::optional<std::uint32_t> u32leAt(std::size_t offset) const {
    if (offset > data_.size() || data_.size() - offset < 4) return std::nullopt;
    return static_cast<std::uint32_t>(data_[offset]) | (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data_[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(data_[offset + 3]) << 24);
  }
  std::optional<std::int32_t> i32leAt(std::size_t offset) const {
    auto v = u32leAt(offset);
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace brevanto::image
