// GIF decode throughput (composed megapixels per second, one thread) on the largest animated
// GIF of the shared corpus, or on BREVANTO_BENCH_GIF when set.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "image/ImageCodec.h"
#include "image/platform/GifReader.h"

namespace {

std::filesystem::path benchGif() {
  if (const char* path = std::getenv("BREVANTO_BENCH_GIF")) return path;
  return std::filesystem::path(BREVANTO_TESTDATA) / "gif" / "valid" / "wuffs-gifplayer-muybridge.gif";
}

void GifDecode(benchmark::State& state) {
  std::vector<std::uint8_t> bytes;
  if (!brevanto::image::readWholeFile(benchGif(), bytes)) {
    state.SkipWithError("benchmark GIF not found");
    return;
  }
  std::uint64_t pixels = 0;
  for (auto _ : state) {
    std::uint64_t framePixels = 0;
    const auto result = brevanto::image::platform::decodeGif(bytes, [&](const auto& frame) {
      framePixels += static_cast<std::uint64_t>(frame.width) * static_cast<std::uint64_t>(frame.height);
      benchmark::DoNotOptimize(frame.pixels.data());
      return true;
    });
    if (!result.ok) {
      state.SkipWithError(result.error.c_str());
      return;
    }
    pixels += framePixels;
  }
  state.counters["MPixels/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(GifDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
