#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "util/Result.h"

namespace brevanto::image {

// Allocator for pixel blocks: memory comes zero-filled from calloc (for large blocks straight
// from the operating system's zero pages), so default-constructing the bytes of a fresh vector
// writes nothing and a new image costs no clearing pass.
template <typename T>
struct ZeroFilledAllocator {
  static_assert(std::is_trivial_v<T>);
  using value_type = T;
  ZeroFilledAllocator() noexcept = default;
  template <typename U>
  ZeroFilledAllocator(const ZeroFilledAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    void* p = std::calloc(n == 0 ? 1 : n, sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { std::free(p); }
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;  // already zero
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  friend bool operator==(const ZeroFilledAllocator&, const ZeroFilledAllocator&) noexcept { return true; }
};

// The 40-byte BITMAPINFOHEADER of a device-independent bitmap, in its published layout.
struct BitmapInfoHeader {
  std::uint32_t size = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;  // 0 = plain RGB, 3 = bit fields (16-bit only)
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

inline constexpr std::uint32_t kCompressionRgb = 0;
inline constexpr std::uint32_t kCompressionBitFields = 3;

// Red, green and blue masks of a 16-bit image.
struct ColorMasks {
  std::uint32_t red = 0;
  std::uint32_t green = 0;
  std::uint32_t blue = 0;
  bool operator==(const ColorMasks&) const = default;
};
inline constexpr ColorMasks kMasks555{0x7C00, 0x03E0, 0x001F};
inline constexpr ColorMasks kMasks565{0xF800, 0x07E0, 0x001F};

// A palette entry in colour-table order. `reserved` carries whatever the source gave
// (decoders put the colour's alpha there); drawing and writers ignore it.
struct PaletteEntry {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t reserved = 0;
  bool operator==(const PaletteEntry&) const = default;
};
static_assert(sizeof(PaletteEntry) == 4);

// The one in-memory picture: a DIB (header, masks, palette for depths up to 8 bits, bottom-up
// rows padded to 4 bytes). row(y) addresses display row y counted from the top.
// Pixels: 32-bit B,G,R,A; 24-bit B,G,R; 16-bit little-endian words split by the masks;
// 8/4/1-bit palette indices, leftmost pixel in the most significant bits.
// An image is empty when it has no pixels; every operation on an empty image does nothing.
// Copies are deep (header, pixels, palette, origin); moves are cheap and leave the source empty.
class RasterImage {
 public:
  RasterImage() = default;
  RasterImage(const RasterImage& other);
  RasterImage& operator=(const RasterImage& other);
  RasterImage(RasterImage&& other) noexcept;
  RasterImage& operator=(RasterImage&& other) noexcept;
  ~RasterImage() = default;

  // Creates a zero-filled image from a header (masks are taken only for a 16-bit header with
  // compression 3; a 16-bit header with compression 0 gets 5-5-5). Fails, leaving the image
  // untouched, for width or height <= 0, compression other than 0 or 3, a bit count other than
  // 1, 4, 8, 16, 24 or 32, or a size beyond the limits of ImageLimits.h, with the reason. When
  // the memory cannot be had the image is left empty and the failure says so. Indexed images get
  // the grey ramp. The origin is not changed.
  util::Result<void> create(const BitmapInfoHeader& header, const ColorMasks& masks = {});
  // Convenience: width x height at bitCount (16-bit: 5-5-5, or the given masks).
  util::Result<void> create(std::int32_t width, std::int32_t height, int bitCount);
  util::Result<void> create(std::int32_t width, std::int32_t height, const ColorMasks& masks16);

  // Frees everything and zeroes header and masks; the origin stays.
  void release();

  bool isEmpty() const { return pixels_.empty(); }
  explicit operator bool() const { return !isEmpty(); }

  const BitmapInfoHeader& header() const { return header_; }
  std::int32_t width() const { return header_.width; }
  std::int32_t height() const { return header_.height; }
  int bitCount() const { return header_.bitCount; }
  std::uint32_t compression() const { return header_.compression; }
  const ColorMasks& masks() const { return masks_; }
  bool is565() const { return header_.bitCount == 16 && masks_.green == 0x07E0; }
  // Bytes per row: ((width * bitCount + 31) / 32) * 4.
  std::size_t stride() const { return stride_; }
  static std::uint64_t strideFor(std::int64_t width, int bitCount) {
    return ((static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32) * 4;
  }
  // Bytes per pixel for depths of 8 bits and more (0 below).
  int bytesPerPixel() const { return header_.bitCount >= 8 ? header_.bitCount / 8 : 0; }

  // Display row y (0 = top). y must lie in 0 .. height-1.
  std::uint8_t* row(std::int32_t y) { return rowTable_[static_cast<std::size_t>(y)]; }
  const std::uint8_t* row(std::int32_t y) const { return rowTable_[static_cast<std::size_t>(y)]; }
  // Address of pixel (x, y) for depths of 8 bits and more.
  std::uint8_t* pixel(std::int32_t x, std::int32_t y) {
    return row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(bytesPerPixel());
  }
  const std::uint8_t* pixel(std::int32_t x, std::int32_t y) const {
    return row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(bytesPerPixel());
  }
  // The whole pixel block, bottom row first (stride x height bytes).
  std::span<std::uint8_t> pixels() { return pixels_; }
  std::span<const std::uint8_t> pixels() const { return pixels_; }

  // 2^bitCount entries for bitCount <= 8 with pixels; empty otherwise.
  std::span<PaletteEntry> palette() { return palette_; }
  std::span<const PaletteEntry> palette() const { return palette_; }
  // Sets palette entry i when it exists.
  void setPaletteEntry(int index, PaletteEntry entry);
  // The grey ramp of a depth: entry i = 255 / (2^bitCount - 1) * i in blue, green and red.
  static std::vector<PaletteEntry> greyRamp(int bitCount);

  // The BITMAPINFO block: the 40-byte header followed by the three masks (bitCount > 8) or the
  // 2^bitCount palette entries (bitCount <= 8; zero entries when the image has no palette).
  std::vector<std::uint8_t> headerWithColors() const;

  // Sets the alpha byte of every pixel of a 32-bit image.
  void setAlphaByte(std::uint8_t alpha);

  std::int32_t originX() const { return originX_; }
  std::int32_t originY() const { return originY_; }
  void setOrigin(std::int32_t x, std::int32_t y) {
    originX_ = x;
    originY_ = y;
  }

 private:
  void buildRowTable();
  void takeFrom(RasterImage& other) noexcept;
  // Makes this image a deep copy of a non-empty source; unchanged when the memory cannot be had.
  void copyFrom(const RasterImage& source);

  std::int32_t originX_ = 0;
  std::int32_t originY_ = 0;
  BitmapInfoHeader header_{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<std::uint8_t, ZeroFilledAllocator<std::uint8_t>> pixels_;
  std::vector<std::uint8_t*> rowTable_;
  ColorMasks masks_;
  std::vector<PaletteEntry> palette_;
  std::size_t stride_ = 0;
};

}  // namespace brevanto::image
