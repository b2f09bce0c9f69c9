#include "image/platform/ExifBlock.h"

#include <algorithm>

namespace brevanto::image::platform {

namespace {

constexpr std::uint16_t kExifDirectoryTag = 0x8769;
constexpr std::size_t kMaxEntries = 512;

std::size_t typeSize(std::uint16_t type) {
  switch (type) {
    case PropertyItem::Byte:
    case PropertyItem::Ascii:
    case PropertyItem::Undefined:
    case 6:  // SBYTE
      return 1;
    case PropertyItem::Short:
    case 8:  // SSHORT
      return 2;
    case PropertyItem::Long:
    case PropertyItem::SLong:
    case 11:  // FLOAT
      return 4;
    case PropertyItem::Rational:
    case PropertyItem::SRational:
    case 12:  // DOUBLE
      return 8;
    default: return 0;
  }
}

class TiffReader {
 public:
  TiffReader(std::span<const std::uint8_t> data, bool bigEndian) : data_(data), big_(bigEndian) {}
  bool has(std::size_t offset, std::size_t n) const { return offset <= data_.size() && data_.size() - offset >= n; }
  std::uint16_t u16(std::size_t o) const {
    return big_ ? static_cast<std::uint16_t>(data_[o] << 8 | data_[o + 1])
                : static_cast<std::uint16_t>(data_[o] | data_[o + 1] << 8);
  }
  std::uint32_t u32(std::size_t o) const {
    return big_ ? (std::uint32_t{data_[o]} << 24 | std::uint32_t{data_[o + 1]} << 16 |
                   std::uint32_t{data_[o + 2]} << 8 | data_[o + 3])
                : (std::uint32_t{data_[o + 3]} << 24 | std::uint32_t{data_[o + 2]} << 16 |
                   std::uint32_t{data_[o + 1]} << 8 | data_[o]);
  }
  // Copies count elements of elementSize bytes at offset into out as little-endian.
  void copyLittleEndian(std::size_t offset, std::size_t count, std::size_t elementSize,
                        std::vector<std::uint8_t>& out) const {
    out.resize(count * elementSize);
    for (std::size_t i = 0; i < count; ++i) {
      // Rationals are two 32-bit halves; swap each half on its own.
      const std::size_t unit = elementSize == 8 ? 4 : elementSize;
      for (std::size_t part = 0; part < elementSize; part += unit) {
        for (std::size_t b = 0; b < unit; ++b) {
          const std::size_t from = offset + i * elementSize + part + (big_ ? unit - 1 - b : b);
          out[i * elementSize + part + b] = data_[from];
        }
      }
    }
  }

 private:
  std::span<const std::uint8_t> data_;
  bool big_;
};

// Reads one directory; returns the Exif sub-directory offset (0 when none).
std::uint32_t readDirectory(const TiffReader& r, std::size_t offset, std::vector<PropertyItem>& items) {
  if (!r.has(offset, 2)) return 0;
  const std::size_t count = std::min<std::size_t>(r.u16(offset), kMaxEntries);
  std::uint32_t exifOffset = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t e = offset + 2 + i * 12;
    if (!r.has(e, 12)) break;
    const std::uint16_t tag = r.u16(e);
    const std::uint16_t type = r.u16(e + 2);
    const std::uint32_t n = r.u32(e + 4);
    const std::size_t size = typeSize(type);
    if (size == 0 || n == 0 || n > (1u << 20)) continue;
    const std::size_t bytes = size * n;
    const std::size_t valueAt = bytes <= 4 ? e + 8 : r.u32(e + 8);
    if (!r.has(valueAt, bytes)) continue;
    if (tag == kExifDirectoryTag && (type == PropertyItem::Long || type == 13) && n == 1) {
      exifOffset = r.u32(e + 8);
      continue;
    }
    PropertyItem item;
    item.id = tag;
    item.type = type;
    r.copyLittleEndian(valueAt, n, size, item.value);
    items.push_back(std::move(item));
  }
  return exifOffset;
}

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Appends a directory of the entries at the end of out; values over 4 bytes follow it.
// Returns the position of the entry whose value is `pointerTag`'s, for patching (0 if none).
std::size_t appendDirectory(std::vector<std::uint8_t>& out, std::vector<PropertyItem> entries) {
  std::sort(entries.begin(), entries.end(), [](const PropertyItem& a, const PropertyItem& b) { return a.id < b.id; });
  const std::size_t start = out.size();
  const std::size_t count = entries.size();
  out.resize(start + 2 + count * 12 + 4, 0);
  put16(out, start, static_cast<std::uint16_t>(count));
  std::size_t pointerEntry = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const PropertyItem& item = entries[i];
    const std::size_t e = start + 2 + i * 12;
    const std::size_t size = std::max<std::size_t>(1, typeSize(item.type));
    put16(out, e, static_cast<std::uint16_t>(item.id));
    put16(out, e + 2, item.type);
    put32(out, e + 4, static_cast<std::uint32_t>(item.value.size() / size));
    if (item.id == kExifDirectoryTag) pointerEntry = e + 8;
    if (item.value.size() <= 4) {
      std::copy(item.value.begin(), item.value.end(), out.begin() + static_cast<std::ptrdiff_t>(e + 8));
    } else {
      if (out.size() % 2) out.push_back(0);
      put32(out, e + 8, static_cast<std::uint32_t>(out.size()));
      out.insert(out.end(), item.value.begin(), item.value.end());
    }
  }
  return pointerEntry;
}

}  // namespace

std::vector<PropertyItem> readTiffDirectoryItems(std::span<const std::uint8_t> block) {
  std::vector<PropertyItem> items;
  if (block.size() < 8) return items;
  bool big;
  if (block[0] == 'I' && block[1] == 'I') {
    big = false;
  } else if (block[0] == 'M' && block[1] == 'M') {
    big = true;
  } else {
    return items;
  }
  TiffReader r(block, big);
  const std::uint32_t exif = readDirectory(r, r.u32(4), items);
  if (exif != 0 && exif != r.u32(4)) readDirectory(r, exif, items);
  return items;
}

std::vector<std::uint8_t> buildExifBlock(std::span<const PropertyItem> items) {
  std::vector<PropertyItem> first, exif;
  for (const PropertyItem& item : items) {
    if (item.value.empty() || typeSize(item.type) == 0) continue;
    (item.id == 0x010F || item.id == 0x0110 ? first : exif).push_back(item);
  }
  if (first.empty() && exif.empty()) return {};
  std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  if (!exif.empty()) first.push_back(PropertyItem{kExifDirectoryTag, PropertyItem::Long, {0, 0, 0, 0}});
  const std::size_t pointer = appendDirectory(out, first);
  if (!exif.empty()) {
    if (out.size() % 2) out.push_back(0);
    put32(out, pointer, static_cast<std::uint32_t>(out.size()));
    appendDirectory(out, exif);
  }
  return out;
}

}  // namespace brevanto::image::platform
