// GIF decode throughput (composed megapixels per second, one thread): GifDecode/optimised on
// muybridge (small changed areas; BREVANTO_BENCH_GIF overrides the file) and GifDecode/dense on
// a file of dense full frames named by BREVANTO_BENCH_DENSE_GIF (bench/gif_decode_vs_ffmpeg.sh
// makes one with ffmpeg; skipped when unset).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "image/ImageCodec.h"
#include "image/platform/GifReader.h"

namespace {

std::filesystem::path optimisedGif() {
  if (const char* path = std::getenv("BREVANTO_BENCH_GIF")) return path;
  return std::filesystem::path(BREVANTO_TESTDATA) / "gif" / "valid" / "wuffs-gifplayer-muybridge.gif";
}

std::filesystem::path denseGif() {
  const char* path = std::getenv("BREVANTO_BENCH_DENSE_GIF");
  return path ? path : "";
}

void decodeFile(benchmark::State& state, const std::filesystem::path& path) {
  const auto read = brevanto::image::readPictureFile(path);
  if (path.empty() || !read) {
    state.SkipWithError("benchmark GIF not found");
    return;
  }
  const std::vector<std::uint8_t>& bytes = *read;
  std::uint64_t pixels = 0;
  for (auto _ : state) {
    std::uint64_t framePixels = 0;
    const auto result = brevanto::image::platform::decodeGif(bytes, [&](const auto& frame) {
      framePixels += static_cast<std::uint64_t>(frame.width) * static_cast<std::uint64_t>(frame.height);
      benchmark::DoNotOptimize(frame.pixels.data());
      return true;
    });
    if (!result.delivered()) {
      state.SkipWithError(result.error.value_or("decoding failed").c_str());
      return;
    }
    pixels += framePixels;
  }
  // Rates are per second of this thread's CPU time: other processes on a shared machine do
  // not count against the decoder (real time is reported beside it).
  state.counters["MPixels/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}

void GifDecodeOptimised(benchmark::State& state) { decodeFile(state, optimisedGif()); }
void GifDecodeDense(benchmark::State& state) { decodeFile(state, denseGif()); }
BENCHMARK(GifDecodeOptimised)->Name("GifDecode/optimised")->Unit(benchmark::kMillisecond);
BENCHMARK(GifDecodeDense)->Name("GifDecode/dense")->Unit(benchmark::kMillisecond);

}  // namespace
