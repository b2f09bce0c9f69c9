#pragma once

// Builds GIF files byte by byte for the hardening tests: valid small animations, and hostile
// ones (huge screens, huge frame rectangles, LZW streams that expand far beyond their size).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brevanto::hardening {

using Bytes = std::vector<std::uint8_t>;

// Writes LZW codes with the widths a GIF decoder reads them at: the width starts at
// minCodeSize + 1 and grows by one each time the decoder's next free code reaches 2^width
// (the decoder adds an entry for every code after the first following a clear, up to 4096).
class LzwCodeWriter {
 public:
  explicit LzwCodeWriter(int minCodeSize) : minCodeSize_(minCodeSize) { clear(); }

  int clearCode() const { return 1 << minCodeSize_; }
  int endCode() const { return clearCode() + 1; }
  int nextFree() const { return next_; }

  void clear() {
    put(clearCode());
    width_ = minCodeSize_ + 1;
    next_ = clearCode() + 2;
    first_ = true;
  }
  void code(int c) {
    put(c);
    if (first_) {
      first_ = false;
      return;
    }
    if (next_ < 4096) {
      ++next_;
      if (next_ == (1 << width_) && width_ < 12) ++width_;
    }
  }
  Bytes finish() {
    put(endCode());
    if (bitCount_ > 0) out_.push_back(static_cast<std::uint8_t>(bits_));
    bitCount_ = 0;
    return out_;
  }

 private:
  void put(int c) {
    bits_ |= static_cast<std::uint32_t>(c) << bitCount_;
    bitCount_ += width_ == 0 ? minCodeSize_ + 1 : width_;
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

// LZW data for the given palette indices (each below 2^minCodeSize): literal codes only, with a
// clear before the table would grow the code width. Simple and valid for any decoder.
inline Bytes lzwLiterals(const std::vector<std::uint8_t>& indices, int minCodeSize = 2) {
  LzwCodeWriter w(minCodeSize);
  const int perClear = (1 << minCodeSize) - 2;
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

// LZW data that expands to at least `pixels` copies of index 0 from a few bytes per 4000
// pixels: each new code repeats the previous string plus one pixel, and once the table is full
// its longest code is sent again and again.
inline Bytes lzwRunBomb(std::uint64_t pixels, int minCodeSize = 2) {
  LzwCodeWriter w(minCodeSize);
  w.code(0);
  std::uint64_t produced = 1;
  std::uint64_t length = 1;
  while (produced < pixels && w.nextFree() < 4096) {
    const int c = w.nextFree();  // the string just before it plus its first pixel
    w.code(c);
    ++length;
    produced += length;
  }
  while (produced < pixels) {
    w.code(4095);
    produced += length;
  }
  return w.finish();
}

inline void put16(Bytes& b, int v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
  b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

inline void appendSubBlocks(Bytes& b, const Bytes& data) {
  for (std::size_t i = 0; i < data.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - i);
    b.push_back(static_cast<std::uint8_t>(n));
    b.insert(b.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
             data.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  b.push_back(0);
}

// Header, logical screen descriptor and a 4-colour global colour table.
inline Bytes gifHeader(int screenWidth, int screenHeight) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  put16(b, screenWidth);
  put16(b, screenHeight);
  b.push_back(0x81);  // global colour table of 4 entries
  b.push_back(0);
  b.push_back(0);
  const std::uint8_t colours[12] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  b.insert(b.end(), colours, colours + 12);
  return b;
}

inline void appendControl(Bytes& b, int delay, int disposal = 0) {
  const std::uint8_t gce[] = {0x21, 0xF9, 0x04, static_cast<std::uint8_t>((disposal & 7) << 2)};
  b.insert(b.end(), gce, gce + 4);
  put16(b, delay);
  b.push_back(0);
  b.push_back(0);
}

// An image descriptor at (left, top) of width x height with the given LZW data (minimum code
// size 2, global colour table).
inline void appendImage(Bytes& b, int left, int top, int width, int height, const Bytes& lzw) {
  b.push_back(0x2C);
  put16(b, left);
  put16(b, top);
  put16(b, width);
  put16(b, height);
  b.push_back(0);
  b.push_back(2);
  appendSubBlocks(b, lzw);
}

// A frame of width x height whose pixels cycle through the four colours.
inline void appendFrame(Bytes& b, int left, int top, int width, int height, int delay, int seed = 0) {
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>((i + seed) & 3);
  appendControl(b, delay);
  appendImage(b, left, top, width, height, lzwLiterals(indices));
}

inline void appendTrailer(Bytes& b) { b.push_back(0x3B); }

// A complete animation of `frames` full-screen frames, each with `delay` hundredths.
inline Bytes smallAnimation(int width, int height, int frames, int delay = 10) {
  Bytes b = gifHeader(width, height);
  for (int i = 0; i < frames; ++i) appendFrame(b, 0, 0, width, height, delay, i);
  appendTrailer(b);
  return b;
}

}  // namespace brevanto::hardening
