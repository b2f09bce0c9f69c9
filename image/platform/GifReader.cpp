#include "image/platform/GifReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "image/ImageCodecFactory.h"
#include "image/ImageLimits.h"

// The GIF decoder is the program's own: it reads the frames the block walk (GifIndex) found, and
// an LZW decoder hands each row to the composition as soon as it is whole (LzwFastDecoder for frames whose
// indices fit one buffer, LzwFrameDecoder for larger frames and code sizes above 8). (giflib
// refuses LZW minimum code sizes above 8, which valid files use, and keeps every frame
// descriptor of a file in memory.)
namespace brevanto::image::platform {

namespace {

constexpr std::uint32_t kTransparentWhite = 0x00FFFFFF;
constexpr int kDisposeBackground = 2;
constexpr int kDisposePrevious = 3;
constexpr int kMaxLzwBits = 12;
constexpr int kLzwTableSize = 1 << kMaxLzwBits;

struct Rect {
  std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// The composition state: the canvas delivered as each frame, and what a disposal-3 frame
// must put back.
class Composer {
 public:
  Composer(std::int32_t width, std::int32_t height) {
    canvas_.width = width;
    canvas_.height = height;
    canvas_.format = PixelFormat::Argb32;
    canvas_.stride = static_cast<std::size_t>(width) * 4;
  }

  // The canvas is allocated when first needed, so a file whose first frame is unreadable
  // costs nothing however large its screen claims to be.
  void ensureCanvas() {
    if (!canvas_.pixels.empty()) return;
    canvas_.pixels.resize(canvas_.stride * static_cast<std::size_t>(canvas_.height));
    fill(Rect{0, 0, canvas_.width, canvas_.height});
  }

  DecodedFrame& canvas() {
    ensureCanvas();
    return canvas_;
  }
  std::int32_t width() const { return canvas_.width; }
  std::int32_t height() const { return canvas_.height; }

  // Applies the previous frame's disposal, then notes the clipped rectangle and disposal of
  // the frame about to be drawn, keeping what lies under it when it will restore it.
  void beginFrame(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height, int disposal) {
    if (disposal == kDisposePrevious) ensureCanvas();
    if (canvas_.pixels.empty()) {
      pendingDisposal_ = 0;  // nothing drawn yet: the canvas is still all transparent
    }
    if (pendingDisposal_ == kDisposeBackground) {
      fill(pending_);
    } else if (pendingDisposal_ == kDisposePrevious && !saved_.empty()) {
      copyRect(pending_, false);
    }
    Rect r{std::min(left, canvas_.width), std::min(top, canvas_.height), std::min(left + width, canvas_.width),
           std::min(top + height, canvas_.height)};
    pending_ = r;
    pendingDisposal_ = disposal;
    saved_.clear();
    if (disposal == kDisposePrevious && !r.empty()) {
      saved_.resize(static_cast<std::size_t>(r.x1 - r.x0) * 4 * static_cast<std::size_t>(r.y1 - r.y0));
      copyRect(r, true);
    }
  }

  // Draws one row of colour indices at canvas row y from canvas column left; lookup entries
  // with alpha 0 (the transparent index, indices beyond the table) leave the canvas as it is.
  // `opaque` says that no index the frame can hold maps to such an entry: every pixel is stored.
  template <typename Index>
  void drawRow(std::int32_t y, std::int32_t left, const Index* indices, std::int32_t count, const std::uint32_t* lookup,
               bool opaque) {
    if (y >= canvas_.height || left >= canvas_.width) return;
    ensureCanvas();
    const std::int32_t n = std::min<std::int32_t>(count, canvas_.width - left);
    std::uint8_t* out = canvas_.row(y) + static_cast<std::size_t>(left) * 4;
    if (opaque) {
      for (std::int32_t x = 0; x < n; ++x) {
        std::memcpy(out + static_cast<std::size_t>(x) * 4, &lookup[indices[x]], 4);
      }
      return;
    }
    // Lookup entries are opaque (alpha 0xFF) or all zero, so the top bit picks the pixel
    // without a branch that mixed rows would mispredict.
    for (std::int32_t x = 0; x < n; ++x) {
      const std::uint32_t c = lookup[indices[x]];
      const std::uint32_t keep = static_cast<std::uint32_t>(static_cast<std::int32_t>(c) >> 31);
      std::uint32_t pixel;
      std::memcpy(&pixel, out + static_cast<std::size_t>(x) * 4, 4);
      pixel = (c & keep) | (pixel & ~keep);
      std::memcpy(out + static_cast<std::size_t>(x) * 4, &pixel, 4);
    }
  }

 private:
  void fill(const Rect& r) {
    for (std::int32_t y = r.y0; y < r.y1; ++y) {
      std::uint8_t* p = canvas_.row(y) + static_cast<std::size_t>(r.x0) * 4;
      for (std::int32_t x = r.x0; x < r.x1; ++x, p += 4) std::memcpy(p, &kTransparentWhite, 4);
    }
  }

  void copyRect(const Rect& r, bool toSaved) {
    const std::size_t rowBytes = static_cast<std::size_t>(r.x1 - r.x0) * 4;
    for (std::int32_t y = r.y0; y < r.y1; ++y) {
      std::uint8_t* c = canvas_.row(y) + static_cast<std::size_t>(r.x0) * 4;
      std::uint8_t* s = saved_.data() + static_cast<std::size_t>(y - r.y0) * rowBytes;
      if (toSaved) {
        std::memcpy(s, c, rowBytes);
      } else {
        std::memcpy(c, s, rowBytes);
      }
    }
  }

  DecodedFrame canvas_;
  std::vector<std::uint8_t> saved_;
  Rect pending_;
  int pendingDisposal_ = 0;
};

// Where the rows of one frame go: de-interlacing, clipping and the count of rows that still
// matter. Rows below the canvas are never drawn; once every visible row is done, decoding
// stops, so a frame far larger than the screen costs no more than the screen.
class RowPlacer {
 public:
  RowPlacer(std::int32_t frameHeight, bool interlaced, std::int64_t visibleRows)
      : height_(frameHeight), interlaced_(interlaced), visibleLeft_(visibleRows) {}

  bool done() const { return visibleLeft_ <= 0 || finished_; }
  std::int64_t rowsDecoded() const { return decoded_; }

  // The frame row the next decoded row belongs to.
  std::int32_t nextRow() const { return y_; }

  // Marks the current row as decoded and moves on; `visible` says whether it was drawn.
  void advance(bool visible) {
    ++decoded_;
    if (visible) --visibleLeft_;
    if (!interlaced_) {
      if (++y_ >= height_) finished_ = true;
      return;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    y_ += kStep[pass_];
    while (y_ >= height_) {
      if (++pass_ >= 4) {
        finished_ = true;
        return;
      }
      y_ = kStart[pass_];
    }
  }

 private:
  std::int32_t height_;
  bool interlaced_;
  std::int64_t visibleLeft_;
  std::int32_t y_ = 0;
  int pass_ = 0;
  bool finished_ = false;
  std::int64_t decoded_ = 0;
};

enum class LzwOutcome { Complete, Damaged };

// Decodes one frame's LZW data into rows. Index is uint8_t for minimum code sizes up to 8 and
// uint16_t above (literal values may then exceed any colour table).
template <typename Index>
class LzwFrameDecoder {
 public:
  template <typename RowFn>
  LzwOutcome decode(std::span<const std::uint8_t> data, int minCodeSize, std::int32_t width, RowPlacer& placer,
                    RowFn&& onRow) {
    if (minCodeSize < 1 || minCodeSize > kMaxLzwBits - 1) return LzwOutcome::Damaged;
    row_.assign(static_cast<std::size_t>(width), 0);
    const int clear = 1 << minCodeSize;
    const int endCode = clear + 1;
    for (int i = 0; i < clear; ++i) {
      suffix_[i] = static_cast<Index>(i);
      first_[i] = static_cast<Index>(i);
      length_[i] = 1;
      prefix_[i] = 0;
    }
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    std::size_t pos = 0;  // in the row
    std::uint64_t bits = 0;
    int bitCount = 0;
    std::size_t in = 0;
    const std::size_t size = data.size();
    const std::uint8_t* src = data.data();

    // Puts one decoded run into the rows; false when the frame needs no more pixels.
    auto emit = [&](const Index* run, std::size_t count) -> bool {
      while (count > 0) {
        const std::size_t take = std::min(count, static_cast<std::size_t>(width) - pos);
        std::memcpy(row_.data() + pos, run, take * sizeof(Index));
        pos += take;
        run += take;
        count -= take;
        if (pos == static_cast<std::size_t>(width)) {
          onRow(placer.nextRow(), row_.data());
          pos = 0;
          if (placer.done()) return false;
        }
      }
      return true;
    };

    for (;;) {
      while (bitCount < codeSize) {
        if (in >= size) return placer.done() ? LzwOutcome::Complete : LzwOutcome::Damaged;
        bits |= std::uint64_t{src[in++]} << bitCount;
        bitCount += 8;
      }
      const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
      bits >>= codeSize;
      bitCount -= codeSize;

      if (code == clear) {
        codeSize = minCodeSize + 1;
        next = clear + 2;
        previous = -1;
        continue;
      }
      if (code == endCode) return placer.done() ? LzwOutcome::Complete : LzwOutcome::Damaged;

      int outCode = code;
      if (previous < 0) {
        if (code >= clear) return LzwOutcome::Damaged;
      } else if (code < next) {
        if (next < kLzwTableSize) addEntry(next, previous, first_[code]);
      } else if (code == next && next < kLzwTableSize) {
        addEntry(next, previous, first_[previous]);
      } else {
        return LzwOutcome::Damaged;
      }

      // Write the code's string. Strings are stored as prefix chains, so they are produced
      // back to front.
      const std::size_t len = length_[outCode];
      if (len == 1) {
        Index v = suffix_[outCode];
        if (!emit(&v, 1)) return LzwOutcome::Complete;
      } else {
        Index* end = scratch_.data() + len;
        Index* p = end;
        int c = outCode;
        while (p > scratch_.data()) {
          *--p = suffix_[c];
          c = prefix_[c];
        }
        if (!emit(scratch_.data(), len)) return LzwOutcome::Complete;
      }

      if (previous >= 0 && next < kLzwTableSize) {
        ++next;
        if (next == (1 << codeSize) && codeSize < kMaxLzwBits) ++codeSize;
      } else if (previous < 0) {
        // The first code after a clear adds no entry.
      }
      previous = code;
    }
  }

 private:
  void addEntry(int code, int prefix, Index firstOfNext) {
    prefix_[code] = static_cast<std::uint16_t>(prefix);
    suffix_[code] = firstOfNext;
    first_[code] = first_[prefix];
    length_[code] = static_cast<std::uint16_t>(length_[prefix] + 1);
  }

  std::array<std::uint16_t, kLzwTableSize> prefix_{};
  std::array<Index, kLzwTableSize> suffix_{};
  std::array<Index, kLzwTableSize> first_{};
  std::array<std::uint16_t, kLzwTableSize> length_{};
  std::array<Index, kLzwTableSize + 1> scratch_{};
  std::vector<Index> row_;
};

// Reads LZW codes of 3 to 12 bits, least significant bit first, from a 64-bit buffer that is
// refilled eight bytes at a time while the data lasts, then byte by byte.
class LzwBitReader {
 public:
  explicit LzwBitReader(std::span<const std::uint8_t> data) : src_(data.data()), size_(data.size()) {}

  // False when the data ends before a whole code.
  bool read(int codeSize, int& code) {
    if (bitCount_ < codeSize) {
      if (size_ - in_ >= 8) {
        std::uint64_t v;
        std::memcpy(&v, src_ + in_, 8);  // little-endian hosts only (x86-64, arm64)
        bits_ |= v << bitCount_;
        const int taken = (63 - bitCount_) >> 3;
        in_ += static_cast<std::size_t>(taken);
        bitCount_ += taken * 8;
      } else {
        while (bitCount_ < codeSize) {
          if (in_ >= size_) return false;
          bits_ |= std::uint64_t{src_[in_++]} << bitCount_;
          bitCount_ += 8;
        }
      }
    }
    code = static_cast<int>(bits_ & ((std::uint64_t{1} << codeSize) - 1));
    bits_ >>= codeSize;
    bitCount_ -= codeSize;
    return true;
  }

 private:
  const std::uint8_t* src_;
  std::size_t size_;
  std::size_t in_ = 0;
  std::uint64_t bits_ = 0;
  int bitCount_ = 0;
};

// The fast decoder for minimum code sizes up to 8 and frames of at most kMaxFrameEntries
// pixels. It decodes the frame's indices into one buffer in stream order. Every table entry is
// the previous code's string plus the first byte of the string that follows it, and those two
// lie next to each other in that buffer: an entry is just (offset, length), and writing a
// string is a forward copy from earlier output. Rows are handed on as soon as they are whole.
class LzwFastDecoder {
 public:
  static constexpr std::size_t kMaxFrameEntries = std::size_t{1} << 24;
  // Room after the frame for one string that runs past its end, and for 8-byte copies.
  static constexpr std::size_t kSlack = kLzwTableSize + 16;

  template <typename RowFn>
  LzwOutcome decode(std::span<const std::uint8_t> data, int minCodeSize, std::int32_t width, std::int32_t height,
                    RowPlacer& placer, RowFn&& onRow) {
    if (minCodeSize < 1 || minCodeSize > 8) return LzwOutcome::Damaged;
    const std::size_t rowBytes = static_cast<std::size_t>(width);
    const std::size_t total = rowBytes * static_cast<std::size_t>(height);
    if (buffer_.size() < total + kSlack) buffer_.resize(total + kSlack);
    std::uint8_t* const out = buffer_.data();

    const int clear = 1 << minCodeSize;
    const int endCode = clear + 1;
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    bool havePrevious = false;
    std::uint32_t previousOffset = 0;
    std::uint32_t previousLength = 0;
    std::size_t pos = 0;
    std::size_t rowEnd = rowBytes;
    LzwBitReader reader(data);

    for (;;) {
      int code;
      if (!reader.read(codeSize, code)) return placer.done() ? LzwOutcome::Complete : LzwOutcome::Damaged;
      if (code == clear) {
        codeSize = minCodeSize + 1;
        next = clear + 2;
        havePrevious = false;
        continue;
      }
      if (code == endCode) return placer.done() ? LzwOutcome::Complete : LzwOutcome::Damaged;

      std::uint32_t length;
      if (code < clear) {
        out[pos] = static_cast<std::uint8_t>(code);
        length = 1;
      } else if (!havePrevious) {
        return LzwOutcome::Damaged;
      } else if (code < next) {
        length = length_[code];
        copyForward(out + pos, out + offset_[code], length);
      } else if (code == next && next < kLzwTableSize) {
        // The code being defined: the previous string plus its own first byte.
        length = previousLength + 1;
        copyForward(out + pos, out + previousOffset, previousLength);
        out[pos + previousLength] = out[previousOffset];
      } else {
        return LzwOutcome::Damaged;
      }

      if (havePrevious && next < kLzwTableSize) {
        offset_[next] = previousOffset;
        length_[next] = previousLength + 1;
        ++next;
        if (next == (1 << codeSize) && codeSize < kMaxLzwBits) ++codeSize;
      }
      havePrevious = true;
      previousOffset = static_cast<std::uint32_t>(pos);
      previousLength = length;
      pos += length;

      while (pos >= rowEnd) {
        onRow(placer.nextRow(), out + rowEnd - rowBytes);
        if (placer.done()) return LzwOutcome::Complete;
        rowEnd += rowBytes;
      }
    }
  }

 private:
  // Copies length bytes from src to dst > src in 8-byte steps. The bytes read past src + length
  // lie before dst or were written by this copy; the bytes written past dst + length are not
  // output yet, so both are harmless.
  static void copyForward(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t length) {
    std::uint32_t i = 0;
    do {
      std::uint64_t v;
      std::memcpy(&v, src + i, 8);
      std::memcpy(dst + i, &v, 8);
      i += 8;
    } while (i < length);
  }

  std::array<std::uint32_t, kLzwTableSize> offset_{};
  std::array<std::uint32_t, kLzwTableSize> length_{};
  std::vector<std::uint8_t> buffer_;
};

// Reads a colour table of `bytes` / 3 entries at `offset` as opaque ARGB; false when the data
// breaks off.
bool readColorTable(std::span<const std::uint8_t> data, std::size_t offset, std::size_t bytes,
                    std::vector<std::uint32_t>& table) {
  const std::size_t count = bytes / 3;
  if (offset > data.size() || count * 3 > data.size() - offset) return false;
  table.resize(count);
  const std::uint8_t* c = data.data() + offset;
  for (std::size_t i = 0; i < count; ++i, c += 3) {
    table[i] = 0xFF000000u | (std::uint32_t{c[0]} << 16) | (std::uint32_t{c[1]} << 8) | c[2];
  }
  return true;
}

// Appends the payload of the sub-block chain starting at `offset` to out, up to its
// terminator or, when the data breaks off, as far as it goes.
void collectSubBlocks(std::span<const std::uint8_t> data, std::size_t offset, std::vector<std::uint8_t>& out) {
  while (offset < data.size()) {
    const std::size_t size = data[offset++];
    if (size == 0) return;
    const std::size_t take = std::min(size, data.size() - offset);
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
               data.begin() + static_cast<std::ptrdiff_t>(offset + take));
    offset += take;
  }
}

// Builds the colour lookup of one frame: opaque ARGB for every colour of the table, alpha 0
// (= leave the canvas pixel) for the transparent index and for indices beyond the table.
// Without any colour table the frame is drawn black, as other decoders show it.
void buildLookup(const std::vector<std::uint32_t>* table, int transparentIndex, std::vector<std::uint32_t>& lookup,
                 std::size_t lookupSize) {
  lookup.assign(lookupSize, 0);
  if (table) {
    std::copy_n(table->begin(), std::min(table->size(), lookupSize), lookup.begin());
  } else {
    std::fill_n(lookup.begin(), std::min<std::size_t>(256, lookupSize), 0xFF000000u);
  }
  if (transparentIndex >= 0 && static_cast<std::size_t>(transparentIndex) < lookupSize) {
    lookup[static_cast<std::size_t>(transparentIndex)] = 0;
  }
}

// How far decodeWalk goes: every frame composed and delivered, or only until the first row
// of the first frame is known to decode (nothing composed, no canvas allocated).
enum class WalkDepth { Frames, FirstRow };

DecodeResult decodeWalk(std::span<const std::uint8_t> data, const GifIndex& index, const FrameSink& sink,
                        WalkDepth depth) {
  const bool probe = depth == WalkDepth::FirstRow;
  DecodeResult result;
  if (!index.hasScreen) {
    result.error = "not a GIF file";
    return result;
  }
  if (index.frames.empty()) {
    result.error = "the GIF file holds no image";
    return result;
  }
  if (index.canvasWidth < 1 || index.canvasHeight < 1) {
    result.error = "the GIF file has an empty logical screen";
    return result;
  }
  if (auto refusal = gifMemoryRefusal(index)) {
    result.error = std::move(*refusal);
    return result;
  }

  std::vector<std::uint32_t> globalTable;
  const bool haveGlobal =
      index.globalTableBytes > 0 && readColorTable(data, GifIndex::kScreenEnd, index.globalTableBytes, globalTable);

  Composer composer(index.canvasWidth, index.canvasHeight);
  LzwFastDecoder fastDecoder;
  std::unique_ptr<LzwFrameDecoder<std::uint8_t>> narrowDecoder;
  std::unique_ptr<LzwFrameDecoder<std::uint16_t>> wideDecoder;
  std::vector<std::uint8_t> compressed;
  std::vector<std::uint32_t> localTable;
  std::vector<std::uint32_t> lookup;

  std::size_t reached = 0;  // the blocks before this offset have been read
  for (const GifFrame& frame : index.frames) {
    reached = frame.begin;
    const std::int32_t left = frame.left;
    const std::int32_t top = frame.top;
    const std::int32_t fw = frame.width;
    const std::int32_t fh = frame.height;
    const std::vector<std::uint32_t>* table = haveGlobal ? &globalTable : nullptr;
    if (frame.colorTableBytes > 0) {
      if (!readColorTable(data, frame.colorTable, frame.colorTableBytes, localTable)) {
        result.error = "the GIF file ends inside a colour table";
        break;
      }
      table = &localTable;
    }
    const std::size_t codeSizeAt = frame.lzwCodeSize();
    const bool haveCodeSize = codeSizeAt < data.size();
    const int minCodeSize = haveCodeSize ? data[codeSizeAt] : 0;
    compressed.clear();
    if (haveCodeSize) collectSubBlocks(data, codeSizeAt + 1, compressed);

    if (!probe) composer.beginFrame(left, top, fw, fh, frame.disposal);
    std::int64_t visibleRows = 0;
    if (fw > 0 && fh > 0 && left < composer.width()) {
      visibleRows = std::clamp<std::int64_t>(std::int64_t{composer.height()} - top, 0, fh);
    }
    // The first decoded row is always a visible one (row 0 of either row order).
    if (probe) visibleRows = std::min<std::int64_t>(visibleRows, 1);
    RowPlacer placer(fh, frame.interlaced, visibleRows);
    LzwOutcome outcome = LzwOutcome::Complete;
    if (visibleRows > 0 && haveCodeSize) {
      bool opaque = false;
      auto drawRow = [&](auto* rowData) {
        const std::int32_t y = placer.nextRow();
        const bool visible = top + y < composer.height();
        if (visible && !probe) composer.drawRow(top + y, left, rowData, fw, lookup.data(), opaque);
        placer.advance(visible);
      };
      if (minCodeSize <= 8) {
        buildLookup(table, frame.transparentIndex, lookup, 256);
        // Literals stay below the clear code, so only those entries can meet a pixel.
        const int literals = 1 << minCodeSize;
        opaque = std::all_of(lookup.begin(), lookup.begin() + literals, [](std::uint32_t c) { return (c >> 24) != 0; });
        auto onRow = [&](std::int32_t, const std::uint8_t* r) { drawRow(r); };
        // The fast path holds the frame's indices whole: only for frames no larger than the
        // canvas the limits accepted (or a megapixel), and not for a probe, which needs one row.
        const std::size_t area = static_cast<std::size_t>(fw) * static_cast<std::size_t>(fh);
        const std::size_t canvasArea =
            static_cast<std::size_t>(composer.width()) * static_cast<std::size_t>(composer.height());
        if (!probe && area <= LzwFastDecoder::kMaxFrameEntries && area <= std::max<std::size_t>(canvasArea, 1u << 20)) {
          outcome = fastDecoder.decode(compressed, minCodeSize, fw, fh, placer, onRow);
        } else {
          // Otherwise the indices stream through one row.
          if (!narrowDecoder) narrowDecoder = std::make_unique<LzwFrameDecoder<std::uint8_t>>();
          outcome = narrowDecoder->decode(compressed, minCodeSize, fw, placer, onRow);
        }
      } else {
        if (!wideDecoder) wideDecoder = std::make_unique<LzwFrameDecoder<std::uint16_t>>();
        buildLookup(table, frame.transparentIndex, lookup, kLzwTableSize);
        outcome = wideDecoder->decode(compressed, minCodeSize, fw, placer,
                                      [&](std::int32_t, const std::uint16_t* r) { drawRow(r); });
      }
    } else if (!haveCodeSize) {
      outcome = LzwOutcome::Damaged;
    }

    bool stop = false;
    if (outcome == LzwOutcome::Damaged) {
      result.error = "the image data of frame " + std::to_string(result.frameCount + 1) + " is damaged";
      stop = true;
      // A frame of which nothing could be decoded is not shown at all.
      if (placer.rowsDecoded() == 0) break;
    } else if (!frame.complete) {
      result.error = "the GIF file ends inside the image data of frame " + std::to_string(result.frameCount + 1);
      stop = true;
    }

    result.frameDelays.push_back(frame.hasControl ? frame.delay : 0);
    ++result.frameCount;
    if (probe) break;
    if (!sink(composer.canvas()) || stop) break;
  }

  if (result.delivered()) {
    // The loop count of an extension read before decoding stopped.
    if (index.loopCount && index.loopBlock < reached) {
      const auto loopCount = static_cast<std::uint16_t>(*index.loopCount);
      result.properties.push_back(
          PropertyItem{kLoopCountItemId,
                       PropertyItem::Short,
                       {static_cast<std::uint8_t>(loopCount & 0xFF), static_cast<std::uint8_t>(loopCount >> 8)}});
    }
  } else if (!result.error) {
    result.error = "the GIF file holds no decodable image";
  }
  return result;
}

}  // namespace

bool looksLikeGif(std::span<const std::uint8_t> data) {
  return ImageCodecFactory::formatFromContent(data) == ImageFormat::Gif;
}

DecodeResult decodeGif(std::span<const std::uint8_t> data, const FrameSink& sink) {
  return decodeWalk(data, indexGif(data, GifRules::Decoder), sink, WalkDepth::Frames);
}

std::optional<GifIndex> probeGif(std::span<const std::uint8_t> data) {
  GifIndex index = indexGif(data, GifRules::Decoder);
  if (!decodeWalk(data, index, nullptr, WalkDepth::FirstRow).delivered()) return std::nullopt;
  return index;
}

}  // namespace brevanto::image::platform
