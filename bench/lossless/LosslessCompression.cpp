// Compares zlib and libdeflate on the pictures a lossless movie holds: the first composed frame
// of each GIF whole, every later one as its changed rectangle (identical frames add nothing).
// Usage: lossless_compression GIF...   Prints compressed bytes and time per library and level.

#include <ctime>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <libdeflate.h>
#include <zlib.h>

#include "FlattenedFrames.h"
#include "image/ChangedRect.h"
#include "swf/SwfLosslessBitmap.h"

using namespace brevanto;

// Processor time of this process: the machine is shared, so wall time would measure the others.
double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

int main(int argc, char** argv) {
  std::vector<std::vector<std::uint8_t>> payloads;
  std::size_t gifBytes = 0, rawBytes = 0;
  int pictures = 0, format3 = 0;
  double prepareSeconds = 0, decodeSeconds = 0;
  for (int i = 1; i < argc; ++i) {
    std::FILE* f = std::fopen(argv[i], "rb");
    if (!f) continue;
    std::fseek(f, 0, SEEK_END);
    gifBytes += static_cast<std::size_t>(std::ftell(f));
    std::fclose(f);
    const double decodeStart = cpuSeconds();
    const auto flattened = bench::flattenedFrames(argv[i]);
    decodeSeconds += cpuSeconds() - decodeStart;
    if (!flattened) {
      std::fprintf(stderr, "%s: %s\n", argv[i], flattened.error().c_str());
      continue;
    }
    const std::vector<bench::Picture>& frames = *flattened;
    const double start = cpuSeconds();
    for (std::size_t n = 0; n < frames.size(); ++n) {
      std::optional<util::PixelRect> rect{util::PixelRect{0, 0, frames[n].width, frames[n].height}};
      if (n > 0) rect = image::changedRect(frames[n - 1].view(), frames[n].view());
      if (!rect) continue;
      auto pixels = swf::losslessPixels(frames[n].view().sub(*rect));
      ++pictures;
      format3 += pixels.format == 3;
      rawBytes += pixels.data.size();
      payloads.push_back(std::move(pixels.data));
    }
    prepareSeconds += cpuSeconds() - start;
  }
  std::printf("GIF bytes %zu, pictures %d (format 3: %d), uncompressed %zu\n", gifBytes, pictures, format3, rawBytes);
  std::printf("CPU seconds: decode+flatten %.3f, rectangles+tables %.3f\n", decodeSeconds, prepareSeconds);
  std::printf("%-12s %5s %12s %9s\n", "library", "level", "bytes", "seconds");
  for (int level : {1, 6, 9}) {
    std::size_t total = 0;
    const double start = cpuSeconds();
    for (const auto& p : payloads) {
      uLongf size = compressBound(p.size());
      std::vector<std::uint8_t> out(size);
      compress2(out.data(), &size, p.data(), p.size(), level);
      total += size;
    }
    std::printf("%-12s %5d %12zu %9.3f\n", "zlib", level, total, cpuSeconds() - start);
  }
  for (int level : {1, 6, 9, 10, 12}) {
    std::size_t total = 0;
    const double start = cpuSeconds();
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    for (const auto& p : payloads) {
      std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(c, p.size()));
      total += libdeflate_zlib_compress(c, p.data(), p.size(), out.data(), out.size());
    }
    libdeflate_free_compressor(c);
    std::printf("%-12s %5d %12zu %9.3f\n", "libdeflate", level, total, cpuSeconds() - start);
  }
  return 0;
}
