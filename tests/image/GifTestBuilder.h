#pragma once

// Builds small GIF files in memory for decoder tests: header, colour tables, control and
// loop extensions, and images whose pixel data is LZW-coded here.
#include <cstdint>
#include <vector>

namespace brevanto::image::testing {

class GifBuilder {
 public:
  // A logical screen with a global colour table of 0xRRGGBB colours (none when empty).
  GifBuilder(int width, int height, const std::vector<std::uint32_t>& global = {}) {
    put("GIF89a");
    u16(width);
    u16(height);
    bytes_.push_back(global.empty() ? 0 : static_cast<std::uint8_t>(0x80 | tableBits(global.size())));
    bytes_.push_back(0);  // background index
    bytes_.push_back(0);  // aspect
    table(global);
  }

  GifBuilder& loop(int count) {
    put("\x21\xFF\x0BNETSCAPE2.0\x03\x01");
    u16(count);
    bytes_.push_back(0);
    return *this;
  }

  GifBuilder& control(int disposal, int delay, int transparentIndex = -1) {
    put("\x21\xF9\x04");
    bytes_.push_back(static_cast<std::uint8_t>((disposal << 2) | (transparentIndex >= 0 ? 1 : 0)));
    u16(delay);
    bytes_.push_back(static_cast<std::uint8_t>(transparentIndex >= 0 ? transparentIndex : 0));
    bytes_.push_back(0);
    return *this;
  }

  // An image of w x h indices given in display order (top row first).
  GifBuilder& image(int left, int top, int w, int h, const std::vector<std::uint8_t>& indices,
                    bool interlaced = false, const std::vector<std::uint32_t>& local = {}) {
    bytes_.push_back(0x2C);
    u16(left);
    u16(top);
    u16(w);
    u16(h);
    std::uint8_t flags = interlaced ? 0x40 : 0;
    if (!local.empty()) flags |= static_cast<std::uint8_t>(0x80 | tableBits(local.size()));
    bytes_.push_back(flags);
    table(local);
    std::vector<std::uint8_t> ordered;
    if (interlaced) {
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < h; y += step[p])
          ordered.insert(ordered.end(), indices.begin() + y * w, indices.begin() + (y + 1) * w);
    } else {
      ordered = indices;
    }
    lzwLiterals(ordered);
    return *this;
  }

  // An image whose data is one run of `count` pixels of index 0, coded compactly (each code
  // one pixel longer than the last), so a few bytes expand to a huge frame.
  GifBuilder& runImage(int left, int top, int w, int h, std::uint64_t count) {
    bytes_.push_back(0x2C);
    u16(left);
    u16(top);
    u16(w);
    u16(h);
    bytes_.push_back(0);
    bytes_.push_back(8);
    Bits bits;
    int size = 9, next = 258;
    bits.put(256, size);
    std::uint64_t done = 0;
    bool first = true;
    while (done < count) {
      int code;
      std::uint64_t len;
      if (first) {
        code = 0, len = 1;
      } else if (next < 4096) {
        code = next, len = static_cast<std::uint64_t>(next - 256);
      } else {
        code = 4095, len = 4095 - 256;
      }
      if (done + len > count) {
        code = 0, len = 1;
      }
      bits.put(code, size);
      done += len;
      if (!first && next < 4096) {
        ++next;
        if (next == (1 << size) && size < 12) ++size;
      }
      first = false;
    }
    bits.put(257, size);
    bits.flush();
    subBlocks(bits.out);
    return *this;
  }

  GifBuilder& raw(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  GifBuilder& trailer() {
    bytes_.push_back(0x3B);
    return *this;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  struct Bits {
    std::vector<std::uint8_t> out;
    std::uint32_t acc = 0;
    int count = 0;
    void put(int code, int size) {
      acc |= static_cast<std::uint32_t>(code) << count;
      count += size;
      while (count >= 8) {
        out.push_back(static_cast<std::uint8_t>(acc));
        acc >>= 8;
        count -= 8;
      }
    }
    void flush() {
      if (count > 0) out.push_back(static_cast<std::uint8_t>(acc));
      acc = 0, count = 0;
    }
  };

  static int tableBits(std::size_t n) {
    int bits = 0;
    while ((std::size_t{2} << bits) < n) ++bits;
    return bits;
  }
  void table(const std::vector<std::uint32_t>& colors) {
    if (colors.empty()) return;
    const std::size_t n = std::size_t{2} << tableBits(colors.size());
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t c = i < colors.size() ? colors[i] : 0;
      bytes_.push_back(static_cast<std::uint8_t>(c >> 16));
      bytes_.push_back(static_cast<std::uint8_t>(c >> 8));
      bytes_.push_back(static_cast<std::uint8_t>(c));
    }
  }
  // Codes every pixel as a literal with minimum code size 8, clearing often enough that the
  // code size stays at 9 bits.
  void lzwLiterals(const std::vector<std::uint8_t>& pixels) {
    bytes_.push_back(8);
    Bits bits;
    std::size_t sinceClear = 0;
    bits.put(256, 9);
    for (std::uint8_t p : pixels) {
      if (sinceClear == 250) {
        bits.put(256, 9);
        sinceClear = 0;
      }
      bits.put(p, 9);
      ++sinceClear;
    }
    bits.put(257, 9);
    bits.flush();
    subBlocks(bits.out);
  }
  void subBlocks(std::vector<std::uint8_t> data) {
    if (data.empty()) data.push_back(0);
    for (std::size_t i = 0; i < data.size(); i += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - i);
      bytes_.push_back(static_cast<std::uint8_t>(n));
      bytes_.insert(bytes_.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                    data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    bytes_.push_back(0);
  }
  void put(const char* s) {
    while (*s) bytes_.push_back(static_cast<std::uint8_t>(*s++));
  }
  void u16(int v) {
    bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }

  std::vector<std::uint8_t> bytes_;
};

}  // namespace brevanto::image::testing
