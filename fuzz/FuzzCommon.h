#pragma once

// Helpers shared by the fuzz targets: invariant checks that abort (so libFuzzer saves the
// input) and a walk over a decoded image that reads every byte the image claims to own, so that
// AddressSanitizer sees any image whose header promises more than its buffers hold.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <unistd.h>

#include "image/BicubicScaler.h"
#include "image/Drawing.h"
#include "image/RasterImage.h"
#include "image/StreamCodec.h"
#include "image/platform/DecodedImage.h"

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace brevanto::fuzz {

// Images larger than this are only checked, not scaled or copied (time per input stays small).
inline constexpr std::int64_t kHeavyWorkPixels = 1 << 16;

// Whether an input that claims width x height pixels of `bits` bits should be decoded by a fuzz
// run. Sizes beyond the pixel limit are always run (their refusal must be cheap); accepted sizes
// above a few megabytes are skipped: each would take a second of zero-filling and teach
// the fuzzer nothing that small ones do not. The limit tests cover those sizes.
inline bool worthDecoding(std::int64_t width, std::int64_t height, int bits) {
  if (width <= 0 || height <= 0) return true;
  const std::uint64_t area = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (area > (std::uint64_t{1} << 28)) return true;
  return area * static_cast<std::uint64_t>(bits < 8 ? 8 : bits) / 8 <= (std::uint64_t{4} << 20);
}

inline std::int64_t readLe(const std::uint8_t* data, std::size_t size, std::size_t offset, int bytes,
                           bool isSigned = false) {
  if (offset + static_cast<std::size_t>(bytes) > size) return 0;
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | data[offset + static_cast<std::size_t>(i)];
  if (isSigned && bytes == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  return static_cast<std::int64_t>(v);
}

// BMP: width, height and bit count from the info header.
inline bool bmpWorthDecoding(const std::uint8_t* data, std::size_t size) {
  return worthDecoding(readLe(data, size, 18, 4, true), readLe(data, size, 22, 4, true),
                       static_cast<int>(readLe(data, size, 28, 2)));
}
// TGA: width, height and pixel depth from the 18-byte header.
inline bool tgaWorthDecoding(const std::uint8_t* data, std::size_t size) {
  return worthDecoding(readLe(data, size, 12, 2), readLe(data, size, 14, 2),
                       static_cast<int>(readLe(data, size, 16, 1)));
}

// A private work folder under $TMPDIR, made once per process and removed at exit.
inline const std::filesystem::path& workFolder() {
  static const std::filesystem::path folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path base = tmp && *tmp ? tmp : "/tmp";
    auto path = base / ("brevanto-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(workFolder(), ec);
    });
    return path;
  }();
  return folder;
}

// Reads all pixel rows and the palette, checks the layout invariants of a non-empty image and,
// for small images, runs the copy, canvas, scaling and drawing operations over it.
inline std::uint32_t exerciseImage(const image::RasterImage& img) {
  using image::RasterImage;
  if (img.isEmpty()) return 0;
  FUZZ_CHECK(img.width() > 0 && img.height() > 0);
  const int bits = img.bitCount();
  FUZZ_CHECK(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
  FUZZ_CHECK(img.stride() == RasterImage::strideFor(img.width(), bits));
  FUZZ_CHECK(img.pixels().size() == img.stride() * static_cast<std::size_t>(img.height()));
  FUZZ_CHECK(static_cast<std::uint64_t>(img.width()) * static_cast<std::uint64_t>(img.height()) <=
             (std::uint64_t{1} << 28));
  if (bits <= 8) FUZZ_CHECK(img.palette().size() == (std::size_t{1} << bits));

  // Touch the first and last byte of every row through the row table.
  std::uint32_t sum = 0;
  for (std::int32_t y = 0; y < img.height(); ++y) {
    const std::uint8_t* r = img.row(y);
    sum += r[0] + r[img.stride() - 1];
  }
  for (const auto& entry : img.palette()) sum += entry.red;
  const auto header = img.headerWithColors();
  FUZZ_CHECK(header.size() >= 40);

  const std::int64_t area = static_cast<std::int64_t>(img.width()) * img.height();
  if (area > kHeavyWorkPixels) return sum;

  RasterImage copy(img);
  FUZZ_CHECK(copy.width() == img.width() && copy.height() == img.height());
  FUZZ_CHECK(std::equal(copy.pixels().begin(), copy.pixels().end(), img.pixels().begin()));

  if (bits >= 16) {
    RasterImage small(img);
    image::scaleImage(small, 1 + img.width() / 3, 1 + img.height() / 2);
    RasterImage large(img);
    if (area <= 4096) image::scaleImage(large, img.width() * 2 + 1, img.height() + 3);
  }
  RasterImage target;
  if (target.create(17, 13, 32)) {
    image::drawToDevice(img, target, image::Rect{-2, 1, 20, 12}, image::Rect{0, 0, img.width(), img.height()});
    image::drawToDevice(img, target, image::Rect{0, 0, 17, 13},
                        image::Rect{img.width() / 2, 1, img.width() + 5, img.height()});
  }
  return sum;
}

// Checks a frame delivered by a decoder's frame callback: a real size, rows that fit the pixel
// block, and every row readable at both ends.
inline void checkDecodedFrame(const image::platform::DecodedFrame& frame) {
  FUZZ_CHECK(frame.width > 0 && frame.height > 0);
  FUZZ_CHECK(frame.stride >= image::platform::packedRowBytes(frame.width, frame.format));
  FUZZ_CHECK(frame.pixels.size() >= frame.stride * static_cast<std::size_t>(frame.height));
  volatile std::uint8_t sink = 0;
  for (std::int32_t y = 0; y < frame.height; ++y) {
    sink = sink + frame.row(y)[0] + frame.row(y)[frame.stride - 1];
  }
}

// The one image a stream codec (BMP, TGA) reads from some bytes, with the properties it gave.
struct LoadedImage {
  image::FrameList frames;
  std::optional<image::ImageProperties> properties;
  const image::RasterImage& image() const { return frames[0]; }
};

// Reads the bytes with a new Codec: a refusal must leave no frame, an acceptance exactly one,
// which is then exercised. Nullopt when the bytes were refused.
template <class Codec>
std::optional<LoadedImage> loadOne(std::span<const std::uint8_t> data) {
  LoadedImage loaded;
  if (!Codec().loadFromMemory(data, loaded.frames, loaded.properties)) {
    FUZZ_CHECK(loaded.frames.empty());
    return std::nullopt;
  }
  FUZZ_CHECK(loaded.frames.size() == 1);
  exerciseImage(loaded.image());
  return loaded;
}

// The image written by Codec and read back, which must succeed and keep the size and depth.
// Nullopt when the format cannot hold the image (the writer says why).
template <class Codec>
std::optional<LoadedImage> rewritten(const image::RasterImage& first) {
  const auto encoded = Codec().encode(first);
  if (!encoded) return std::nullopt;
  auto again = loadOne<Codec>(*encoded);
  FUZZ_CHECK(again.has_value());
  const image::RasterImage& second = again->image();
  FUZZ_CHECK(second.width() == first.width() && second.height() == first.height());
  FUZZ_CHECK(second.bitCount() == first.bitCount());
  return again;
}

}  // namespace brevanto::fuzz
