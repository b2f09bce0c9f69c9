#pragma once

// Builds small, valid GIF files in memory for tests: header, global colour table, extensions
// and LZW-coded images, block by block, so a test states exactly which blocks a file holds.

#include <cstdint>
#include <string>
#include <vector>

namespace brevanto::testing {

class GifBuilder {
 public:
  // A GIF89a header with a global colour table of `colors` RGB entries (a power of two, 2..256).
  GifBuilder(int width, int height, std::vector<std::uint32_t> colors = defaultColors()) {
    put("GIF89a");
    u16(width);
    u16(height);
    int bits = 1;
    while ((1 << bits) < static_cast<int>(colors.size())) ++bits;
    bytes_.push_back(static_cast<std::uint8_t>(0x80 | (bits - 1)));
    bytes_.push_back(0);  // background index
    bytes_.push_back(0);  // aspect
    colors.resize(std::size_t{1} << bits, 0);
    for (std::uint32_t rgb : colors) {
      bytes_.push_back(static_cast<std::uint8_t>(rgb >> 16));
      bytes_.push_back(static_cast<std::uint8_t>(rgb >> 8));
      bytes_.push_back(static_cast<std::uint8_t>(rgb));
    }
  }

  static std::vector<std::uint32_t> defaultColors() {
    return {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
  }

  GifBuilder& control(int delay, int disposal = 0, int transparentIndex = -1) {
    put("\x21\xF9\x04");
    bytes_.push_back(static_cast<std::uint8_t>((disposal & 7) << 2 | (transparentIndex >= 0 ? 1 : 0)));
    u16(delay);
    bytes_.push_back(static_cast<std::uint8_t>(transparentIndex >= 0 ? transparentIndex : 0));
    bytes_.push_back(0);
    return *this;
  }

  GifBuilder& comment(const std::string& text) {
    put("\x21\xFE");
    subBlocks(std::vector<std::uint8_t>(text.begin(), text.end()));
    return *this;
  }

  GifBuilder& loopExtension(int loops = 0) {
    put("\x21\xFF\x0B");
    put("NETSCAPE2.0");
    bytes_.push_back(3);
    bytes_.push_back(1);
    u16(loops);
    bytes_.push_back(0);
    return *this;
  }

  GifBuilder& plainText(const std::string& text) {
    put("\x21\x01\x0C");
    for (int i = 0; i < 12; ++i) bytes_.push_back(0);
    subBlocks(std::vector<std::uint8_t>(text.begin(), text.end()));
    return *this;
  }

  // An image filled with one colour index.
  GifBuilder& image(int left, int top, int width, int height, std::uint8_t index) {
    return image(left, top, width, height,
                 std::vector<std::uint8_t>(static_cast<std::size_t>(width * height), index));
  }

  GifBuilder& image(int left, int top, int width, int height, const std::vector<std::uint8_t>& pixels) {
    bytes_.push_back(0x2C);
    u16(left);
    u16(top);
    u16(width);
    u16(height);
    bytes_.push_back(0);  // no local colour table, not interlaced
    bytes_.push_back(8);  // LZW minimum code size
    subBlocks(lzw(pixels));
    return *this;
  }

  // A frame in one step: control extension (delay >= 0) and a full-screen-sized image.
  GifBuilder& frame(int delay, int width, int height, std::uint8_t index) {
    if (delay >= 0) control(delay);
    return image(0, 0, width, height, index);
  }

  GifBuilder& trailer() {
    bytes_.push_back(0x3B);
    return *this;
  }

  GifBuilder& raw(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  void put(const char* text) {
    for (const char* p = text; *p; ++p) bytes_.push_back(static_cast<std::uint8_t>(*p));
  }
  void put(const std::string& text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
  void u16(int v) {
    bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }
  void subBlocks(const std::vector<std::uint8_t>& data) {
    std::size_t pos = 0;
    while (pos < data.size()) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - pos);
      bytes_.push_back(static_cast<std::uint8_t>(n));
      bytes_.insert(bytes_.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
                    data.begin() + static_cast<std::ptrdiff_t>(pos + n));
      pos += n;
    }
    bytes_.push_back(0);
  }
  // LZW with 9-bit codes only: a clear code before the table would need a wider code.
  static std::vector<std::uint8_t> lzw(const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> out;
    std::uint32_t buffer = 0;
    int bits = 0;
    auto emit = [&](int code) {
      buffer |= static_cast<std::uint32_t>(code) << bits;
      bits += 9;
      while (bits >= 8) {
        out.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
        buffer >>= 8;
        bits -= 8;
      }
    };
    constexpr int kClear = 256;
    constexpr int kEnd = 257;
    int sinceClear = 0;
    emit(kClear);
    for (std::uint8_t p : pixels) {
      if (sinceClear == 250) {
        emit(kClear);
        sinceClear = 0;
      }
      emit(p);
      ++sinceClear;
    }
    emit(kEnd);
    if (bits > 0) out.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
    return out;
  }

  std::vector<std::uint8_t> bytes_;
};

} // namespace brevanto::testing
