#include "image/RasterImage.h"

#include <algorithm>
#include <cstring>

#include "image/FrameList.h"
#include "image/ImageLimits.h"
#include "util/Memory.h"
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

}  // namespace

RasterImage::RasterImage(const RasterImage& other) { copyFrom(other); }

RasterImage& RasterImage::operator=(const RasterImage& other) {
  if (this != &other) {
    if (other.isEmpty()) {
      release();
      originX_ = other.originX_;
      originY_ = other.originY_;
    } else {
      copyFrom(other);
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
  other.release();
}

util::Result<void> RasterImage::create(const BitmapInfoHeader& header, const ColorMasks& masks) {
  if (header.width <= 0 || header.height <= 0) return util::fail("invalid image size");
  if (header.compression != kCompressionRgb && header.compression != kCompressionBitFields) {
    return util::fail("unsupported compression " + std::to_string(header.compression));
  }
  if (!validBitCount(header.bitCount)) return util::fail("unsupported bit count " + std::to_string(header.bitCount));
  const std::uint64_t stride = strideFor(header.width, header.bitCount);
  const std::uint64_t bytes = stride * static_cast<std::uint64_t>(header.height);
  if (auto allowed = checkImageAllocation(header.width, header.height, bytes); !allowed) return allowed;

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

  const bool held = util::allocated([&] {
    // A fresh block (release() dropped the old one) of zero bytes.
    pixels_.resize(static_cast<std::size_t>(bytes));
    rowTable_.resize(static_cast<std::size_t>(h.height));
    if (h.bitCount <= 8) palette_ = greyRamp(h.bitCount);
  });
  if (!held) {
    // The memory could not be had: the image stays empty and the caller learns of it.
    release();
    return util::fail("out of memory for a " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                      " image");
  }
  header_ = h;
  if (h.bitCount == 16) masks_ = h.compression == kCompressionBitFields ? masks : kMasks555;
  stride_ = static_cast<std::size_t>(stride);
  buildRowTable();
  return {};
}

util::Result<void> RasterImage::create(std::int32_t width, std::int32_t height, int bitCount) {
  BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = static_cast<std::uint16_t>(bitCount < 0 || bitCount > 0xFFFF ? 0 : bitCount);
  return create(h);
}

util::Result<void> RasterImage::create(std::int32_t width, std::int32_t height, const ColorMasks& masks16) {
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

void RasterImage::setAlphaByte(std::uint8_t alpha) {
  if (isEmpty() || header_.bitCount != 32) return;
  const auto width = static_cast<std::size_t>(header_.width);
  for (std::int32_t y = 0; y < header_.height; ++y) {
    std::uint8_t* p = row(y) + 3;
    for (std::size_t x = 0; x < width; ++x) p[x * 4] = alpha;
  }
}

void RasterImage::copyFrom(const RasterImage& source) {
  if (source.isEmpty()) return;
  // Built aside, so a copy that cannot be had leaves this image as it was.
  RasterImage copy;
  if (!copy.create(source.header_, source.masks_)) return;
  std::memcpy(copy.pixels_.data(), source.pixels_.data(), source.pixels_.size());
  copy.palette_ = source.palette_;
  copy.originX_ = source.originX_;
  copy.originY_ = source.originY_;
  *this = std::move(copy);
}

}  // namespace brevanto::image
