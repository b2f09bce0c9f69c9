#include "image/RasterImage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image/ByteReader.h"
#include "image/FrameList.h"
#include "image/ImageLimits.h"
#include "util/LittleEndian.h"

namespace brevanto::image {

namespace {

bool validBitCount(int bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

void putBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  out.insert(out.end(), p, p + n);
}

// Little-endian serialisation of the header, independent of the host's struct layout.
void putHeader(std::vector<std::uint8_t>& out, const BitmapInfoHeader& h) {
  util::appendU32(out, h.size);
  util::appendU32(out, static_cast<std::uint32_t>(h.width));
  util::appendU32(out, static_cast<std::uint32_t>(h.height));
  util::appendU16(out, h.planes);
  util::appendU16(out, h.bitCount);
  util::appendU32(out, h.compression);
  util::appendU32(out, h.sizeImage);
  util::appendU32(out, static_cast<std::uint32_t>(h.xPelsPerMeter));
  util::appendU32(out, static_cast<std::uint32_t>(h.yPelsPerMeter));
  util::appendU32(out, h.clrUsed);
  util::appendU32(out, h.clrImportant);
}

// Parses a 40-byte header at the reader's position.
std::optional<BitmapInfoHeader> readHeader(ByteReader& r) {
  if (!r.has(40)) return std::nullopt;
  BitmapInfoHeader h;
  h.size = *r.u32le();
  h.width = *r.i32le();
  h.height = *r.i32le();
  h.planes = *r.u16le();
  h.bitCount = *r.u16le();
  h.compression = *r.u32le();
  h.sizeImage = *r.u32le();
  h.xPelsPerMeter = *r.i32le();
  h.yPelsPerMeter = *r.i32le();
  h.clrUsed = *r.u32le();
  h.clrImportant = *r.u32le();
  return h;
}

}  // namespace

RasterImage::RasterImage(const RasterImage& other) { duplicate(other); }

RasterImage& RasterImage::operator=(const RasterImage& other) {
  if (this != &other) {
    if (other.isEmpty()) {
      release();
      originX_ = other.originX_;
      originY_ = other.originY_;
    } else {
      duplicate(other);
    }
  }
  return *this;
}

RasterImage::RasterImage(RasterImage&& other) noexcept { takeFrom(other); }

RasterImage& RasterImage::operator=(RasterImage&& other) noexcept {
  if (this != &other) takeFrom(other);
  return *this;
}

void RasterImage::takeFrom(RasterImage& other) noexcept {
  // Moving a vector keeps its heap block, so the row table stays valid.
  originX_ = other.originX_;
  originY_ = other.originY_;
  header_ = other.header_;
  pixels_ = std::move(other.pixels_);
  rowTable_ = std::move(other.rowTable_);
  masks_ = other.masks_;
  palette_ = std::move(other.palette_);
  stride_ = other.stride_;
  lastError_ = std::move(other.lastError_);
  other.release();
}

bool RasterImage::create(const BitmapInfoHeader& header, const ColorMasks& masks) {
  if (header.width <= 0 || header.height <= 0) {
    lastError_ = "invalid image size";
    return false;
  }
  if (header.compression != kCompressionRgb && header.compression != kCompressionBitFields) {
    lastError_ = "unsupported compression " + std::to_string(header.compression);
    return false;
  }
  if (!validBitCount(header.bitCount)) {
    lastError_ = "unsupported bit count " + std::to_string(header.bitCount);
    return false;
  }
  const std::uint64_t stride = strideFor(header.width, header.bitCount);
  const std::uint64_t bytes = stride * static_cast<std::uint64_t>(header.height);
  std::string reason;
  if (!checkImageAllocation(header.width, header.height, bytes, &reason)) {
    lastError_ = std::move(reason);
    return false;
  }

  release();
  BitmapInfoHeader h;
  h.size = 40;
  h.width = header.width;
  h.height = header.height;
  h.planes = 1;
  h.bitCount = header.bitCount;
  h.compression = header.bitCount == 16 ? header.compression : kCompressionRgb;
  h.sizeImage = 0;
  h.xPelsPerMeter = header.xPelsPerMeter;
  h.yPelsPerMeter = header.yPelsPerMeter;
  h.clrUsed = 0;
  h.clrImportant = 0;

  try {
    // A fresh block (release() dropped the old one) of zero bytes.
    pixels_.resize(static_cast<std::size_t>(bytes));
    rowTable_.resize(static_cast<std::size_t>(h.height));
    if (h.bitCount <= 8) palette_ = greyRamp(h.bitCount);
  } catch (const std::bad_alloc&) {
    // The memory could not be had: the image stays empty and the caller learns of it.
    release();
    lastError_ =
        "out of memory for a " + std::to_string(header.width) + " x " + std::to_string(header.height) + " image";
    return false;
  }
  header_ = h;
  if (h.bitCount == 16) masks_ = h.compression == kCompressionBitFields ? masks : kMasks555;
  stride_ = static_cast<std::size_t>(stride);
  buildRowTable();
  lastError_.clear();
  return true;
}

bool RasterImage::create(std::span<const std::uint8_t> headerBlock) {
  ByteReader r(headerBlock);
  auto h = readHeader(r);
  if (!h) {
    lastError_ = "header block too short";
    return false;
  }
  ColorMasks masks;
  if (h->compression == kCompressionBitFields) {
    auto red = r.u32le();
    auto green = r.u32le();
    auto blue = r.u32le();
    if (!blue) {
      lastError_ = "header block too short for its masks";
      return false;
    }
    masks = {*red, *green, *blue};
  }
  return create(*h, masks);
}

bool RasterImage::create(std::int32_t width, std::int32_t height, int bitCount) {
  BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = static_cast<std::uint16_t>(bitCount < 0 || bitCount > 0xFFFF ? 0 : bitCount);
  return create(h);
}

bool RasterImage::create(std::int32_t width, std::int32_t height, const ColorMasks& masks16) {
  BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = 16;
  h.compression = kCompressionBitFields;
  return create(h, masks16);
}

void RasterImage::release() {
  pixels_.clear();
  pixels_.shrink_to_fit();
  rowTable_.clear();
  rowTable_.shrink_to_fit();
  palette_.clear();
  palette_.shrink_to_fit();
  header_ = BitmapInfoHeader{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  masks_ = {};
  stride_ = 0;
}

void RasterImage::buildRowTable() {
  const auto height = static_cast<std::size_t>(header_.height);
  std::uint8_t* top = pixels_.data() + (height - 1) * stride_;
  for (std::size_t y = 0; y < height; ++y) rowTable_[y] = top - y * stride_;
}

std::vector<PaletteEntry> RasterImage::greyRamp(int bitCount) {
  if (bitCount < 1 || bitCount > 8) return {};
  const int count = 1 << bitCount;
  const int step = 255 / (count - 1);
  std::vector<PaletteEntry> ramp(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint8_t>(step * i);
    ramp[static_cast<std::size_t>(i)] = {v, v, v, 0};
  }
  return ramp;
}

void RasterImage::setPaletteEntry(int index, PaletteEntry entry) {
  if (index >= 0 && static_cast<std::size_t>(index) < palette_.size()) {
    palette_[static_cast<std::size_t>(index)] = entry;
  }
}

std::vector<std::uint8_t> RasterImage::headerWithColors() const {
  std::vector<std::uint8_t> block;
  const int bits = header_.bitCount;
  const std::size_t colours = bits <= 8 ? (std::size_t{1} << bits) : 0;
  block.reserve(40 + (bits <= 8 ? colours * 4 : 12));
  putHeader(block, header_);
  if (bits > 8) {
    util::appendU32(block, masks_.red);
    util::appendU32(block, masks_.green);
    util::appendU32(block, masks_.blue);
  } else if (!isEmpty() && palette_.size() == colours) {
    putBytes(block, palette_.data(), colours * 4);
  } else {
    block.resize(block.size() + colours * 4, 0);
  }
  return block;
}

bool RasterImage::getPaletteEntries(int first, int count, PaletteEntry* out) const {
  if (isEmpty() || header_.bitCount > 8 || first < 0 || out == nullptr || palette_.empty()) {
    return false;
  }
  const int size = static_cast<int>(palette_.size());
  for (int i = 0; i < count; ++i) {
    const std::int64_t index = std::int64_t{first} + i;
    if (index >= size) break;
    out[i] = palette_[static_cast<std::size_t>(index)];
  }
  return true;
}

void RasterImage::copyPaletteFrom(const RasterImage& other) {
  if (isEmpty() || header_.bitCount > 8 || other.header_.bitCount != header_.bitCount) return;
  if (other.isEmpty() || other.palette_.size() != palette_.size()) {
    std::fill(palette_.begin(), palette_.end(), PaletteEntry{});
  } else {
    palette_ = other.palette_;
  }
}

void RasterImage::setAlphaByte(std::uint8_t alpha) {
  if (isEmpty() || header_.bitCount != 32) return;
  const auto width = static_cast<std::size_t>(header_.width);
  for (std::int32_t y = 0; y < header_.height; ++y) {
    std::uint8_t* p = row(y) + 3;
    for (std::size_t x = 0; x < width; ++x) p[x * 4] = alpha;
  }
}

bool RasterImage::expandCanvas(bool replicateEdges, int left, int top, int right, int bottom) {
  if (isEmpty() || header_.bitCount < 8) return false;
  if (left < 0 || top < 0 || right < 0 || bottom < 0) return false;
  if (left == 0 && top == 0 && right == 0 && bottom == 0) return false;
  const std::int64_t newWidth = std::int64_t{header_.width} + left + right;
  const std::int64_t newHeight = std::int64_t{header_.height} + top + bottom;
  if (newWidth > INT32_MAX || newHeight > INT32_MAX) {
    lastError_ = "expanded canvas too large";
    return false;
  }

  BitmapInfoHeader h = header_;
  h.width = static_cast<std::int32_t>(newWidth);
  h.height = static_cast<std::int32_t>(newHeight);
  h.xPelsPerMeter = 0;
  h.yPelsPerMeter = 0;
  RasterImage grown;
  if (!grown.create(h, masks_)) {
    lastError_ = grown.lastError_;
    return false;
  }
  if (header_.bitCount == 8) grown.palette_ = palette_;

  const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel());
  const std::size_t oldRowBytes = static_cast<std::size_t>(header_.width) * bpp;
  const std::int32_t oldHeight = header_.height;
  for (std::int32_t y = 0; y < oldHeight; ++y) {
    std::uint8_t* dst = grown.row(y + top) + static_cast<std::size_t>(left) * bpp;
    std::memcpy(dst, row(y), oldRowBytes);
    if (!replicateEdges) continue;
    // Left margin from the row's first pixel, right margin from its last.
    for (int x = 0; x < left; ++x) std::memcpy(grown.row(y + top) + static_cast<std::size_t>(x) * bpp, dst, bpp);
    const std::uint8_t* last = dst + oldRowBytes - bpp;
    std::uint8_t* rightStart = dst + oldRowBytes;
    for (int x = 0; x < right; ++x) std::memcpy(rightStart + static_cast<std::size_t>(x) * bpp, last, bpp);
  }
  if (replicateEdges) {
    // The rows above and below repeat the (already edge-extended) first and last rows, which
    // fills the corners with the corner pixels.
    const std::size_t fullRow = static_cast<std::size_t>(h.width) * bpp;
    for (int y = 0; y < top; ++y) std::memcpy(grown.row(y), grown.row(top), fullRow);
    for (int y = 0; y < bottom; ++y) {
      std::memcpy(grown.row(top + oldHeight + y), grown.row(top + oldHeight - 1), fullRow);
    }
  }

  const std::int32_t ox = originX_ - left;
  const std::int32_t oy = originY_ - top;
  *this = std::move(grown);
  originX_ = ox;
  originY_ = oy;
  return true;
}

bool RasterImage::duplicate(const RasterImage& source) {
  if (source.isEmpty() || &source == this) return false;
  RasterImage copy;
  if (!copy.create(source.headerWithColors())) {
    lastError_ = copy.lastError_;
    return false;
  }
  std::memcpy(copy.pixels_.data(), source.pixels_.data(), source.pixels_.size());
  if (source.header_.bitCount <= 8) copy.copyPaletteFrom(source);
  copy.originX_ = source.originX_;
  copy.originY_ = source.originY_;
  *this = std::move(copy);
  return true;
}

std::size_t RasterImage::storeToBlock(std::vector<std::uint8_t>& out) const {
  if (isEmpty()) return 0;
  const std::size_t start = out.size();
  out.reserve(start + blockSize(stride_, header_.height));
  putHeader(out, header_);
  util::appendU32(out, masks_.red);
  util::appendU32(out, masks_.green);
  util::appendU32(out, masks_.blue);
  putBytes(out, pixels_.data(), pixels_.size());
  util::appendU32(out, static_cast<std::uint32_t>(originX_));
  util::appendU32(out, static_cast<std::uint32_t>(originY_));
  return out.size() - start;
}

bool RasterImage::loadFromBlock(std::span<const std::uint8_t> block) {
  ByteReader r(block);
  auto h = readHeader(r);
  auto red = r.u32le();
  auto green = r.u32le();
  auto blue = r.u32le();
  if (!h || !blue) {
    lastError_ = "block too short";
    return false;
  }
  if (h->width <= 0 || h->height <= 0 || !validBitCount(h->bitCount)) {
    lastError_ = "block header invalid";
    return false;
  }
  const std::uint64_t bytes = strideFor(h->width, h->bitCount) * static_cast<std::uint64_t>(h->height);
  if (!r.has(bytes) || r.remaining() - bytes < 8) {
    lastError_ = "block too short for its pixels";
    return false;
  }
  RasterImage image;
  if (!image.create(*h, ColorMasks{*red, *green, *blue})) {
    lastError_ = image.lastError_;
    return false;
  }
  auto data = r.bytes(static_cast<std::size_t>(bytes));
  std::memcpy(image.pixels_.data(), data->data(), data->size());
  image.originX_ = *r.i32le();
  image.originY_ = *r.i32le();
  *this = std::move(image);
  return true;
}

}  // namespace brevanto::image
