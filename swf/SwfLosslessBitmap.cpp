#include "swf/SwfLosslessBitmap.h"

#include "swf/SwfBitWriter.h"
#include "swf/SwfTagCode.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>

#include <libdeflate.h>

namespace brevanto::swf {

namespace {

constexpr int kMaxColours = 256;

// B, G, R in the low three bytes (little-endian), and with alpha, A in the high one.
std::uint32_t colourAt(const std::uint8_t* row, int x, std::uint32_t mask) {
  std::uint32_t v;
  std::memcpy(&v, row + static_cast<std::size_t>(x) * 4, 4);
  return v & mask;
}

std::uint32_t maskOf(bool alpha) { return alpha ? 0xFFFFFFFFu : 0x00FFFFFFu; }

// Colours to table indices: open addressing over twice the most colours a table can hold.
// Keys are colour + 1 (64 bits, so every colour has one), and 0 marks a free slot.
class ColourIndex {
 public:
  // The colour's index, adding it when new; -1 once the table would exceed kMaxColours.
  int indexOf(std::uint32_t colour) {
    const std::uint64_t key = std::uint64_t{colour} + 1;
    std::uint32_t slot = (colour * 2654435761u) >> (32 - kBits);
    for (;;) {
      if (keys_[slot] == key) return indices_[slot];
      if (keys_[slot] == 0) {
        if (count_ == kMaxColours) return -1;
        keys_[slot] = key;
        indices_[slot] = static_cast<std::uint8_t>(count_);
        colours_[static_cast<std::size_t>(count_)] = colour;
        return count_++;
      }
      slot = (slot + 1) & (kSlots - 1);
    }
  }
  int count() const { return count_; }
  std::uint32_t colour(int index) const { return colours_[static_cast<std::size_t>(index)]; }

 private:
  static constexpr int kBits = 9;
  static constexpr std::uint32_t kSlots = 1u << kBits;
  std::array<std::uint64_t, kSlots> keys_{};
  std::array<std::uint8_t, kSlots> indices_{};
  std::array<std::uint32_t, kMaxColours> colours_{};
  int count_ = 0;
};

std::size_t paddedRowOf(int width) { return (static_cast<std::size_t>(width) + 3) & ~std::size_t{3}; }

// Format 3 data in first-appearance order, or false when the picture has more than kMaxColours
// colours.
bool colourMapped(const util::BgraView& picture, bool alpha, LosslessPixels& out) {
  const std::uint32_t mask = maskOf(alpha);
  const std::size_t paddedRow = paddedRowOf(picture.width);
  std::vector<std::uint8_t> indices(paddedRow * static_cast<std::size_t>(picture.height));
  ColourIndex table;
  std::uint32_t lastColour = colourAt(picture.row(0), 0, mask);
  int lastIndex = table.indexOf(lastColour);
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* row = picture.row(y);
    std::uint8_t* dst = indices.data() + paddedRow * static_cast<std::size_t>(y);
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t c = colourAt(row, x, mask);
      if (c != lastColour) {
        lastIndex = table.indexOf(c);
        if (lastIndex < 0) return false;
        lastColour = c;
      }
      dst[x] = static_cast<std::uint8_t>(lastIndex);
    }
    for (std::size_t x = static_cast<std::size_t>(picture.width); x < paddedRow; ++x) dst[x] = dst[x - 1];
  }
  out.format = 3;
  out.alpha = alpha;
  out.colourCount = table.count();
  out.data.clear();
  out.data.reserve(static_cast<std::size_t>(table.count()) * out.tableEntryBytes() + indices.size());
  for (int i = 0; i < table.count(); ++i) {
    const std::uint32_t c = table.colour(i);
    out.data.push_back(static_cast<std::uint8_t>(c >> 16));                // R
    out.data.push_back(static_cast<std::uint8_t>(c >> 8));                 // G
    out.data.push_back(static_cast<std::uint8_t>(c));                      // B
    if (alpha) out.data.push_back(static_cast<std::uint8_t>(c >> 24));  // A
  }
  out.data.insert(out.data.end(), indices.begin(), indices.end());
  return true;
}

// Format 3 data in first-appearance order renumbered as ColourOrder::ByGreen.
LosslessPixels byGreen(const LosslessPixels& first) {
  const auto count = static_cast<std::size_t>(first.colourCount);
  const std::size_t entryBytes = first.tableEntryBytes();
  std::array<std::uint8_t, kMaxColours> newIndex{};
  std::array<int, kMaxColours> colourAtIndex;  // first-appearance index, or -1 when unused
  colourAtIndex.fill(-1);
  int highest = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int want = first.data[i * entryBytes + 1];
    int index = want;
    // At most 256 colours, so a free index is always found within 255 steps.
    for (int step = 1; colourAtIndex[static_cast<std::size_t>(index)] >= 0; ++step) {
      if (want - step >= 0 && colourAtIndex[static_cast<std::size_t>(want - step)] < 0) {
        index = want - step;
      } else if (want + step < kMaxColours) {
        index = want + step;
      }
    }
    colourAtIndex[static_cast<std::size_t>(index)] = static_cast<int>(i);
    newIndex[i] = static_cast<std::uint8_t>(index);
    highest = std::max(highest, index);
  }
  LosslessPixels out;
  out.format = 3;
  out.alpha = first.alpha;
  out.colourCount = highest + 1;
  const std::size_t tableBytes = count * entryBytes;
  out.data.reserve(static_cast<std::size_t>(out.colourCount) * entryBytes + first.data.size() - tableBytes);
  int firstUsed = 0;
  while (colourAtIndex[static_cast<std::size_t>(firstUsed)] < 0) ++firstUsed;
  int entry = colourAtIndex[static_cast<std::size_t>(firstUsed)];  // a colour's place in `first`
  for (int index = 0; index <= highest; ++index) {
    if (colourAtIndex[static_cast<std::size_t>(index)] >= 0) entry = colourAtIndex[static_cast<std::size_t>(index)];
    const auto* rgb = first.data.data() + static_cast<std::size_t>(entry) * entryBytes;
    out.data.insert(out.data.end(), rgb, rgb + entryBytes);
  }
  for (std::size_t i = tableBytes; i < first.data.size(); ++i) out.data.push_back(newIndex[first.data[i]]);
  return out;
}

void directColour(const util::BgraView& picture, bool alpha, LosslessPixels& out) {
  out.format = 5;
  out.alpha = alpha;
  out.colourCount = 0;
  out.data.resize(static_cast<std::size_t>(picture.width) * 4 * static_cast<std::size_t>(picture.height));
  std::uint8_t* dst = out.data.data();
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* src = picture.row(y);
    for (int x = 0; x < picture.width; ++x, src += 4, dst += 4) {
      dst[0] = alpha ? src[3] : 0;
      dst[1] = src[2];
      dst[2] = src[1];
      dst[3] = src[0];
    }
  }
}

}  // namespace

LosslessPixels colourMappedPixels(const util::BgraView& picture, ColourOrder order, bool alpha) {
  LosslessPixels out;
  if (picture.isEmpty() || !colourMapped(picture, alpha, out)) return {};
  return order == ColourOrder::ByGreen ? byGreen(out) : out;
}

LosslessPixels directColourPixels(const util::BgraView& picture, bool alpha) {
  LosslessPixels out;
  if (!picture.isEmpty()) directColour(picture, alpha, out);
  return out;
}

LosslessPixels losslessPixels(const util::BgraView& picture, bool alpha) {
  LosslessPixels out;
  if (picture.isEmpty()) return out;
  if (!colourMapped(picture, alpha, out)) directColour(picture, alpha, out);
  return out;
}

namespace {

std::vector<std::uint8_t> fieldsOf(const util::BgraView& picture, bool alpha) {
  if (picture.isEmpty() || picture.width > kMaxLosslessSide || picture.height > kMaxLosslessSide) return {};
  LosslessPixels pixels = losslessPixels(picture, alpha);
  std::vector<std::uint8_t> stream = zlibCompress(pixels.data, kLosslessLevel);
  const bool small = static_cast<long long>(picture.width) * picture.height <= kSmallPicturePixels;
  if (small && pixels.format == 3) {
    // The other forms, each kept only when strictly smaller, so ties keep the first.
    auto tryForm = [&](LosslessPixels other) {
      std::vector<std::uint8_t> otherStream = zlibCompress(other.data, kLosslessLevel);
      if (!otherStream.empty() && otherStream.size() < stream.size()) {
        pixels = std::move(other);
        stream = std::move(otherStream);
      }
    };
    tryForm(byGreen(pixels));
    tryForm(directColourPixels(picture, alpha));
  }
  if (small) {
    std::vector<std::uint8_t> stronger = zlibCompress(pixels.data, 12);
    if (!stronger.empty() && stronger.size() < stream.size()) stream = std::move(stronger);
  }
  const std::size_t headLength = pixels.format == 3 ? 8 : 7;
  if (stream.empty() || stream.size() > std::numeric_limits<std::uint32_t>::max() - headLength) return {};
  std::vector<std::uint8_t> fields;
  fields.reserve(headLength - 2 + stream.size());
  appendU8(fields, pixels.format);
  appendU16(fields, static_cast<std::uint16_t>(picture.width));
  appendU16(fields, static_cast<std::uint16_t>(picture.height));
  if (pixels.format == 3) appendU8(fields, static_cast<std::uint8_t>(pixels.colourCount - 1));
  appendBytes(fields, stream);
  return fields;
}

}  // namespace

std::vector<std::uint8_t> losslessBitmapFields(const util::BgraView& picture) { return fieldsOf(picture, false); }

std::vector<std::uint8_t> transparentBitmapFields(const util::BgraView& picture) { return fieldsOf(picture, true); }

SwfLosslessBitmap::SwfLosslessBitmap(std::uint16_t characterId, const util::BgraView& picture)
    : SwfLosslessBitmap(characterId, losslessBitmapFields(picture)) {}

SwfLosslessBitmap::SwfLosslessBitmap(std::uint16_t characterId, std::span<const std::uint8_t> fields,
                                     bool transparent)
    : SwfCharacter(characterId, 0, Kind::Bitmap) {
  if (fields.empty() || fields.size() > std::numeric_limits<std::uint32_t>::max() - 2) return;
  format_ = fields[0];
  tag_.reserve(8 + fields.size());
  appendU16(tag_, longTagHeader(transparent ? SwfTagCode::DefineBitsLossless2 : SwfTagCode::DefineBitsLossless));
  appendU32(tag_, static_cast<std::uint32_t>(fields.size() + 2));
  appendU16(tag_, id());
  tag_.insert(tag_.end(), fields.begin(), fields.end());
}

std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data, int level) {
  // libdeflate at level 9: on composed GIF frames within 0.3 % of zlib's best level (or 1.5 %
  // smaller) in a third to a half of its time; libdeflate's levels 10 to 12 take 4 to 15 times
  // as long for 1 to 8 % less (bench/lossless/LosslessCompression.cpp). The movies use
  // kLosslessLevel.
  struct Free {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
  };
  // One compressor per thread and level, kept between pictures (each holds a few hundred KB of
  // tables, allocated on first use).
  thread_local std::array<std::unique_ptr<libdeflate_compressor, Free>, 13> compressors;
  level = std::clamp(level, 1, 12);
  auto& compressor = compressors[static_cast<std::size_t>(level)];
  if (!compressor) compressor.reset(libdeflate_alloc_compressor(level));
  if (!compressor) return {};
  std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), data.size()));
  const std::size_t size = libdeflate_zlib_compress(compressor.get(), data.data(), data.size(), out.data(), out.size());
  out.resize(size);
  return out;
}

}  // namespace brevanto::swf
