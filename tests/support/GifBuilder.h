#pragma once

// Builds GIF files in memory, block by block, so a test states exactly which blocks a file
// holds: header and colour tables, control, loop, comment and plain-text extensions, images
// whose pixels are LZW-coded here, and hostile images whose few bytes expand to huge frames.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace brevanto::testing {

using Bytes = std::vector<std::uint8_t>;
using Palette = std::vector<std::uint32_t>;  // 0xRRGGBB entries

// Writes LZW codes at the widths a GIF decoder reads them: the width starts at
// minCodeSize + 1 and grows by one each time the decoder's next free code reaches 2^width (the
// decoder adds an entry for every code after the first following a clear, up to 4096).
class LzwCodeWriter {
 public:
  explicit LzwCodeWriter(int minCodeSize) : minCodeSize_(minCodeSize), width_(minCodeSize + 1) { clear(); }

  int clearCode() const { return 1 << minCodeSize_; }
  int endCode() const { return clearCode() + 1; }
  int nextFree() const { return next_; }

  // A clear code, at the width the decoder reads then, and the table afresh.
  void clear() {
    put(clearCode(), width_);
    width_ = minCodeSize_ + 1;
    next_ = clearCode() + 2;
    first_ = true;
  }
  void code(int c) {
    put(c, width_);
    if (first_) {
      first_ = false;
    } else if (next_ < 4096) {
      ++next_;
      if (next_ == (1 << width_) && width_ < 12) ++width_;
    }
  }
  Bytes finish() {
    put(endCode(), width_);
    if (bitCount_ > 0) out_.push_back(static_cast<std::uint8_t>(bits_));
    bitCount_ = 0;
    return out_;
  }

 private:
  void put(int c, int width) {
    bits_ |= static_cast<std::uint32_t>(c) << bitCount_;
    bitCount_ += width;
    while (bitCount_ >= 8) {
      out_.push_back(static_cast<std::uint8_t>(bits_ & 0xFF));
      bits_ >>= 8;
      bitCount_ -= 8;
    }
  }

  int minCodeSize_;
  int width_ = 0;
  int next_ = 0;
  bool first_ = true;
  std::uint32_t bits_ = 0;
  int bitCount_ = 0;
  Bytes out_;
};

// LZW data for palette indices (each below 2^minCodeSize): literal codes only, with a clear
// before the table would widen the code. Simple and valid for any decoder.
inline Bytes lzwLiterals(const std::vector<std::uint8_t>& indices, int minCodeSize = 8) {
  LzwCodeWriter w(minCodeSize);
  const int perClear = std::min((1 << minCodeSize) - 2, 250);
  int sinceClear = 0;
  for (std::uint8_t index : indices) {
    if (sinceClear == perClear) {
      w.clear();
      sinceClear = 0;
    }
    w.code(index);
    ++sinceClear;
  }
  return w.finish();
}

// LZW data that expands to exactly `pixels` copies of index 0 from a few bytes per 4000
// pixels: each new code repeats the previous string plus one pixel, and once the table is full
// its longest code is sent again and again.
inline Bytes lzwRun(std::uint64_t pixels, int minCodeSize = 8) {
  LzwCodeWriter w(minCodeSize);
  if (pixels == 0) return w.finish();
  w.code(0);
  std::uint64_t produced = 1;
  std::uint64_t length = 1;
  while (produced < pixels && w.nextFree() < 4096 && produced + length + 1 <= pixels) {
    w.code(w.nextFree());  // the string just before it plus its first pixel
    ++length;
    produced += length;
  }
  while (w.nextFree() >= 4096 && produced + length <= pixels) {
    w.code(4095);
    produced += length;
  }
  for (; produced < pixels; ++produced) w.code(0);
  return w.finish();
}

// LZW data as an encoder writes it: the longest string the table holds, then that string plus
// the next index as a new entry. Once the table is full, either a clear starts it afresh or,
// with clearWhenFull false, the full table serves to the end as some encoders leave it.
// Indices may reach 2^minCodeSize - 1 (above 255 for code sizes over 8).
inline Bytes lzwEncode(const std::vector<std::uint16_t>& indices, int minCodeSize, bool clearWhenFull) {
  LzwCodeWriter w(minCodeSize);
  std::unordered_map<std::uint32_t, int> table;  // prefix code << 12 | next index -> code
  int next = w.clearCode() + 2;
  int current = -1;
  for (std::uint16_t index : indices) {
    if (current < 0) {
      current = index;
      continue;
    }
    const std::uint32_t key = static_cast<std::uint32_t>(current) << 12 | index;
    if (const auto it = table.find(key); it != table.end()) {
      current = it->second;
      continue;
    }
    w.code(current);
    if (next < 4096) {
      table.emplace(key, next++);
    } else if (clearWhenFull) {
      w.clear();
      table.clear();
      next = w.clearCode() + 2;
    }
    current = index;
  }
  if (current >= 0) w.code(current);
  return w.finish();
}

// The fields of a graphic control extension, named so call sites read unambiguously:
// gif.control({.delay = 10, .disposal = 2}).
struct GifControl {
  int delay = 0;         // hundredths of a second
  int disposal = 0;      // 0..7
  int transparent = -1;  // palette index, or -1 for none
};

// How an image's pixels are stored.
struct GifImageOptions {
  bool interlaced = false;
  Palette local = {};   // local colour table (none when empty)
  int minCodeSize = 8;  // LZW minimum code size
};

class GifBuilder {
 public:
  static Palette defaultPalette() { return {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF}; }

  // A GIF89a logical screen with a global colour table (none when `global` is empty; padded
  // with black to a power of two).
  GifBuilder(int width, int height, const Palette& global = defaultPalette()) {
    put("GIF89a");
    u16(width);
    u16(height);
    bytes_.push_back(global.empty() ? 0 : static_cast<std::uint8_t>(0x80 | tableBits(global.size())));
    bytes_.push_back(0);  // background index
    bytes_.push_back(0);  // aspect
    table(global);
  }

  GifBuilder& control(const GifControl& c) {
    put("\x21\xF9\x04");
    bytes_.push_back(static_cast<std::uint8_t>((c.disposal & 7) << 2 | (c.transparent >= 0 ? 1 : 0)));
    u16(c.delay);
    bytes_.push_back(static_cast<std::uint8_t>(c.transparent >= 0 ? c.transparent : 0));
    bytes_.push_back(0);
    return *this;
  }

  // The NETSCAPE2.0 loop extension; 0 loops forever.
  GifBuilder& loop(int count = 0) {
    put("\x21\xFF\x0BNETSCAPE2.0\x03\x01");
    u16(count);
    bytes_.push_back(0);
    return *this;
  }

  GifBuilder& comment(const std::string& text) {
    put("\x21\xFE");
    subBlocks(Bytes(text.begin(), text.end()));
    return *this;
  }

  GifBuilder& plainText(const std::string& text) {
    put("\x21\x01\x0C");
    bytes_.insert(bytes_.end(), 12, 0);
    subBlocks(Bytes(text.begin(), text.end()));
    return *this;
  }

  // An image of width x height palette indices given in display order (top row first).
  GifBuilder& image(int left, int top, int width, int height, const std::vector<std::uint8_t>& indices,
                    const GifImageOptions& options = {}) {
    descriptor(left, top, width, height, options);
    std::vector<std::uint8_t> ordered;
    if (options.interlaced) {
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass) {
        for (int y = start[pass]; y < height; y += step[pass]) {
          ordered.insert(ordered.end(), indices.begin() + y * width, indices.begin() + (y + 1) * width);
        }
      }
    } else {
      ordered = indices;
    }
    subBlocks(lzwLiterals(ordered, options.minCodeSize));
    return *this;
  }

  // An image filled with one palette index.
  GifBuilder& image(int left, int top, int width, int height, std::uint8_t index) {
    return image(left, top, width, height,
                 std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), index));
  }

  // An image descriptor followed by the given LZW data.
  GifBuilder& imageData(int left, int top, int width, int height, const Bytes& lzw, int minCodeSize = 8) {
    descriptor(left, top, width, height, {.minCodeSize = minCodeSize});
    subBlocks(lzw);
    return *this;
  }

  // An image whose data is one run of `pixels` copies of index 0 (see lzwRun).
  GifBuilder& runImage(int left, int top, int width, int height, std::uint64_t pixels) {
    return imageData(left, top, width, height, lzwRun(pixels));
  }

  // A frame in one step: a control extension with `delay` (none when delay < 0) and a
  // screen-sized image at (0, 0) of one index.
  GifBuilder& frame(int delay, int width, int height, std::uint8_t index) {
    if (delay >= 0) control({.delay = delay});
    return image(0, 0, width, height, index);
  }

  GifBuilder& raw(const Bytes& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  GifBuilder& trailer() {
    bytes_.push_back(0x3B);
    return *this;
  }

  const Bytes& bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  static int tableBits(std::size_t n) {
    int bits = 0;
    while ((std::size_t{2} << bits) < n) ++bits;
    return bits;
  }
  void table(const Palette& colors) {
    if (colors.empty()) return;
    const std::size_t n = std::size_t{2} << tableBits(colors.size());
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t c = i < colors.size() ? colors[i] : 0;
      bytes_.push_back(static_cast<std::uint8_t>(c >> 16));
      bytes_.push_back(static_cast<std::uint8_t>(c >> 8));
      bytes_.push_back(static_cast<std::uint8_t>(c));
    }
  }
  void descriptor(int left, int top, int width, int height, const GifImageOptions& options) {
    bytes_.push_back(0x2C);
    u16(left);
    u16(top);
    u16(width);
    u16(height);
    std::uint8_t flags = options.interlaced ? 0x40 : 0;
    if (!options.local.empty()) flags |= static_cast<std::uint8_t>(0x80 | tableBits(options.local.size()));
    bytes_.push_back(flags);
    table(options.local);
    bytes_.push_back(static_cast<std::uint8_t>(options.minCodeSize));
  }
  void subBlocks(const Bytes& data) {
    for (std::size_t i = 0; i < data.size(); i += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - i);
      bytes_.push_back(static_cast<std::uint8_t>(n));
      bytes_.insert(bytes_.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                    data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    bytes_.push_back(0);
  }
  void put(const char* text) {
    while (*text) bytes_.push_back(static_cast<std::uint8_t>(*text++));
  }
  void u16(int v) {
    bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }

  Bytes bytes_;
};

// An animation of `frames` screen-sized frames of `delay` hundredths whose pixels cycle through
// the four colours (black, red, green, blue), shifted by one per frame; compact 2-bit codes.
inline Bytes smallAnimation(int width, int height, int frames, int delay = 10) {
  GifBuilder gif(width, height, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int f = 0; f < frames; ++f) {
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>((i + f) & 3);
    gif.control({.delay = delay}).image(0, 0, width, height, indices, {.minCodeSize = 2});
  }
  gif.trailer();
  return gif.bytes();
}

// 26 bytes (from a real-world fuzzing report) claiming an 11390 x 12595 screen: decoding its one
// broken frame composes a 570 MB canvas.
inline std::vector<std::uint8_t> hugeScreenGif() {
  return {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x7e, 0x2c, 0x33, 0x31, 0x39, 0x61, 0x7e,
          0x2c, 0x33, 0x31, 0x38, 0x35, 0x37, 0xfb, 0x38, 0x00, 0x00, 0x00, 0xfb, 0x38};
}

}  // namespace brevanto::testing
