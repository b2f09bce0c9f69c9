#include "image/platform/GifReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "image/ImageCodecFactory.h"
#include "image/ImageLimits.h"

// The GIF decoder is the program's own: it reads the frames the block walk (GifIndex) found, and
// one LZW decoder (LzwDecoder, with 8-bit indices for code sizes up to 8 and 16-bit above) hands
// each row to the composition as soon as it is whole. Its buffer holds a frame's indices whole
// when they fit the canvas; larger frames keep only the strings the decoder still reads, so
// memory stays bounded whatever size a frame claims. (giflib refuses LZW minimum code sizes
// above 8, which valid files use, and keeps every frame descriptor of a file in memory.)
namespace brevanto::image::platform {

namespace {

constexpr std::uint32_t kTransparentWhite = 0x00FFFFFF;
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
    if (disposal == kGifDisposePrevious) ensureCanvas();
    if (canvas_.pixels.empty()) {
      pendingDisposal_ = 0;  // nothing drawn yet: the canvas is still all transparent
    }
    if (pendingDisposal_ == kGifDisposeBackground) {
      fill(pending_);
    } else if (pendingDisposal_ == kGifDisposePrevious && !saved_.empty()) {
      copyRect(pending_, false);
    }
    Rect r{std::min(left, canvas_.width), std::min(top, canvas_.height), std::min(left + width, canvas_.width),
           std::min(top + height, canvas_.height)};
    pending_ = r;
    pendingDisposal_ = disposal;
    saved_.clear();
    if (disposal == kGifDisposePrevious && !r.empty()) {
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

// The most indices `bytes` of LZW data can expand to. Codes are at least minCodeSize + 1 bits;
// the k-th code after a clear writes at most k indices (each new entry is one index longer than
// a string already in the table) and no string is longer than the table has entries.
std::size_t lzwExpansionBound(std::size_t bytes, int minCodeSize) {
  const std::uint64_t codes = std::uint64_t{bytes} * 8 / static_cast<std::uint64_t>(minCodeSize + 1);
  constexpr std::uint64_t k = kLzwTableSize;
  const std::uint64_t bound = codes <= k ? codes * (codes + 1) / 2 : k * (k + 1) / 2 + (codes - k) * k;
  return static_cast<std::size_t>(std::min<std::uint64_t>(bound, SIZE_MAX / 4));
}

// Decodes one frame's LZW data into rows. Index is uint8_t for minimum code sizes up to 8 and
// uint16_t above (literal values may then exceed any colour table).
//
// The indices are decoded into one buffer in stream order. Every table entry is the previous
// code's string plus the first index of the string that follows it, and those two lie next to
// each other in that buffer: an entry is just (offset, length), and writing a string is a
// forward copy from earlier output. Rows are handed on as soon as they are whole.
//
// The buffer is sized for what the frame can produce: no more than the indices it needs, than
// its data can expand to, or than `cap`, so a frame that claims a huge area with little data
// costs no more than its data. A frame that outgrows the cap keeps only what is still read:
// since the last clear, the entries tile the output from the first entry's offset on, and the
// row in progress has not been handed on; both are moved to the front of the buffer and the
// offsets shifted. That region is at most the table's strings plus one row, so memory stays
// bounded however large the frame, and frames within the cap never move anything.
template <typename Index>
class LzwDecoder {
 public:
  // Room after the output for one string that runs past the end, and for 8-byte copies.
  static constexpr std::size_t kSlack = kLzwTableSize + 16;

  // `maxOutput` is the number of indices after which the placer is done (the rows it can take
  // times the width); `cap` is how many indices the buffer holds before it is compacted.
  template <typename RowFn>
  LzwOutcome decode(std::span<const std::uint8_t> data, int minCodeSize, std::int32_t width, std::size_t maxOutput,
                    std::size_t cap, RowPlacer& placer, RowFn&& onRow) {
    if (minCodeSize < 1 || minCodeSize > kMaxLzwBits - 1) return LzwOutcome::Damaged;
    const std::size_t rowBytes = static_cast<std::size_t>(width);
    const std::size_t room = std::min({maxOutput, lzwExpansionBound(data.size(), minCodeSize), cap});
    if (buffer_.size() < room + kSlack) buffer_.resize(room + kSlack);
    Index* out = buffer_.data();
    std::size_t limit = buffer_.size() - kSlack;  // output beyond this makes room first

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
        out[pos] = static_cast<Index>(code);
        length = 1;
      } else if (!havePrevious) {
        return LzwOutcome::Damaged;
      } else if (code < next) {
        length = length_[code];
        copyForward(out + pos, out + offset_[code], length);
      } else if (code == next && next < kLzwTableSize) {
        // The code being defined: the previous string plus its own first index.
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

      if (pos > limit) {
        // Keep what is still read: the entries' strings and the row in progress. Until the
        // table is full the previous string, which ends at pos, is read for the next entry.
        const bool full = next == kLzwTableSize;
        std::size_t tableStart = next > clear + 2 ? offset_[clear + 2] : previousOffset;
        std::size_t tableEnd = full ? std::size_t{offset_[kLzwTableSize - 1]} + length_[kLzwTableSize - 1] : pos;
        std::size_t rowStart = rowEnd - rowBytes;
        if (rowStart <= tableEnd) {
          tableStart = std::min(tableStart, rowStart);
          tableEnd = pos;
          rowStart = pos;
        }
        keep(tableStart, tableEnd, rowStart, pos);
        out = buffer_.data();
        limit = buffer_.size() - kSlack;
        const std::size_t rowShift = rowStart - (tableEnd - tableStart);
        for (int c = clear + 2; c < next; ++c) offset_[c] -= static_cast<std::uint32_t>(tableStart);
        // While the table is full no entry is added, so the previous string is not read again
        // before a clear sets it anew.
        if (!full) previousOffset -= static_cast<std::uint32_t>(rowShift);
        pos -= rowShift;
        rowEnd -= rowShift;
      }
    }
  }

 private:
  // Moves the indices [tableStart, tableEnd) to the front of the buffer and [rowStart, end)
  // right after them; when they fill more than half of it, into a buffer twice their size, so
  // every move frees at least as much as it copies.
  void keep(std::size_t tableStart, std::size_t tableEnd, std::size_t rowStart, std::size_t end) {
    const std::size_t table = tableEnd - tableStart;
    const std::size_t kept = table + (end - rowStart);
    const std::size_t capacity = buffer_.size() - kSlack;
    if (kept <= capacity / 2) {
      std::memmove(buffer_.data(), buffer_.data() + tableStart, table * sizeof(Index));
      std::memmove(buffer_.data() + table, buffer_.data() + rowStart, (end - rowStart) * sizeof(Index));
      return;
    }
    std::vector<Index> larger(kept * 2 + kSlack);
    std::memcpy(larger.data(), buffer_.data() + tableStart, table * sizeof(Index));
    std::memcpy(larger.data() + table, buffer_.data() + rowStart, (end - rowStart) * sizeof(Index));
    buffer_.swap(larger);
  }

  // Copies length indices from src to dst > src in 8-byte steps. The bytes read past
  // src + length lie before dst or were written by this copy; the bytes written past
  // dst + length are not output yet, so both are harmless.
  static void copyForward(Index* dstIndices, const Index* srcIndices, std::uint32_t length) {
    auto* dst = reinterpret_cast<std::uint8_t*>(dstIndices);
    const auto* src = reinterpret_cast<const std::uint8_t*>(srcIndices);
    const std::size_t bytes = std::size_t{length} * sizeof(Index);
    std::size_t i = 0;
    do {
      std::uint64_t v;
      std::memcpy(&v, src + i, 8);
      std::memcpy(dst + i, &v, 8);
      i += 8;
    } while (i < bytes);
  }

  std::array<std::uint32_t, kLzwTableSize> offset_{};
  std::array<std::uint32_t, kLzwTableSize> length_{};
  std::vector<Index> buffer_;
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
  // A frame's indices are held whole when they fit the canvas the limits accepted (or a
  // megapixel, at most 16M); larger frames keep only what the decoder still reads.
  const std::size_t canvasArea =
      static_cast<std::size_t>(composer.width()) * static_cast<std::size_t>(composer.height());
  const std::size_t bufferCap = std::min<std::size_t>(std::max<std::size_t>(canvasArea, 1u << 20), 1u << 24);
  LzwDecoder<std::uint8_t> narrowDecoder;
  std::unique_ptr<LzwDecoder<std::uint16_t>> wideDecoder;
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
    const std::size_t codeSizeAt = frame.lzwCodeSizeAt();
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
      // The decoder is done after the first row for a probe, at the latest after the frame.
      const std::size_t maxOutput =
          static_cast<std::size_t>(fw) * (probe ? std::size_t{1} : static_cast<std::size_t>(fh));
      if (minCodeSize <= 8) {
        buildLookup(table, frame.transparentIndex, lookup, 256);
        // Literals stay below the clear code, so only those entries can meet a pixel.
        const int literals = 1 << minCodeSize;
        opaque = std::all_of(lookup.begin(), lookup.begin() + literals, [](std::uint32_t c) { return (c >> 24) != 0; });
        outcome = narrowDecoder.decode(compressed, minCodeSize, fw, maxOutput, bufferCap, placer,
                                       [&](std::int32_t, const std::uint8_t* r) { drawRow(r); });
      } else {
        // Literals of 9 to 11 bits need wider indices.
        if (!wideDecoder) wideDecoder = std::make_unique<LzwDecoder<std::uint16_t>>();
        buildLookup(table, frame.transparentIndex, lookup, kLzwTableSize);
        outcome = wideDecoder->decode(compressed, minCodeSize, fw, maxOutput, bufferCap, placer,
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
