// Fuzzes the GIF block walk under both its rule sets, the decoder and composer that read it, and
// the frame table built on it. Any bytes must be walked without reading outside the data and
// decode or fail cleanly: every frame delivered is a full canvas of the size the walk announced,
// the delay item carries one value per delivered frame, and the probe agrees with the decode.
// The frame table's runs lie inside the data, in order, and the table never has more entries
// than the walk found. The movie timeline as the GIF times it is planned from the walk's delays:
// a rate that is not 0, every frame at the movie frame its delays put it, passes that fit in one
// movie.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCommon.h"
#include "controls/AnimatedPicture.h"
#include "convert/Timeline.h"
#include "image/GifIndex.h"
#include "image/ImageLimits.h"
#include "image/platform/GifReader.h"
#include "swf/MovieAssembly.h"

using namespace brevanto;
using namespace brevanto::image::platform;

namespace {

void checkTimeline(const image::GifIndex& index) {
  using namespace brevanto::convert;
  const std::vector<int> delays = index.delays();
  const GifRate rate = gifRateFor(delays);
  const Timeline timeline = buildTimeline(static_cast<int>(delays.size()), delays, Timing::AsGif);
  FUZZ_CHECK(timeline.frameRate88 > 0 && rate.hundredths >= 1);
  FUZZ_CHECK(timeline.frameRate88 * rate.hundredths <= 100 * 256);
  std::int64_t start = 0;
  for (std::size_t i = 0; i < delays.size(); ++i) {
    FUZZ_CHECK(start % rate.hundredths == 0);
    FUZZ_CHECK(timeline.firstSlots[i] == std::min<std::int64_t>(start / rate.hundredths, INT32_MAX));
    start += gifHundredths(delays[i]);
  }
  const Passes passes = passesFor(LoopMode::AsGif, index.loopCount, timeline.slotCount);
  FUZZ_CHECK(passes.passes == 1 ||
             std::int64_t{passes.passes} * timeline.slotCount <= brevanto::swf::kMaxMovieFrames);
}

// Accepted canvases of many megabytes make each run take seconds and teach the fuzzer nothing
// new; those sizes are covered by the limit tests. Refused sizes stay in: the refusal must be
// cheap.
bool worthDecoding(const image::GifIndex& index) {
  const std::uint64_t area =
      static_cast<std::uint64_t>(index.canvasWidth) * static_cast<std::uint64_t>(index.canvasHeight);
  const std::uint64_t total = area * 4 * (index.frames.size() + 1);
  return !(area <= image::kMaxImagePixels && total <= image::memoryBudgetBytes() && total > (std::uint64_t{16} << 20));
}

void checkFrameTable(std::span<const std::uint8_t> bytes, const image::GifIndex& decoderIndex) {
  const image::GifIndex index = image::indexGif(bytes, image::GifRules::FrameTable);
  std::size_t previousEnd = index.firstBlock();
  for (const auto& frame : index.frames) {
    FUZZ_CHECK(frame.begin >= previousEnd && frame.begin < frame.end && frame.end <= bytes.size());
    FUZZ_CHECK(frame.complete && (frame.hasControl || frame.delay == -1));
    FUZZ_CHECK(frame.delay >= -1 && frame.delay <= 65535 && frame.disposal >= 0 && frame.disposal <= 7);
    previousEnd = frame.end;
  }
  // The table probes every frame: skip what the decoder is not worth running on.
  const std::uint64_t area =
      static_cast<std::uint64_t>(index.screenWidth) * static_cast<std::uint64_t>(index.screenHeight);
  const std::uint64_t total = area * 4 * (index.frames.size() + 1);
  if (area <= image::kMaxImagePixels && total > (std::uint64_t{16} << 20)) return;
  if (!worthDecoding(decoderIndex)) return;
  controls::AnimatedPicture table;
  table.loadMemory(bytes);
  FUZZ_CHECK(table.isGif() == index.isGif);
  if (!table.isGif()) return;
  FUZZ_CHECK(table.countedFrames() == static_cast<int>(index.frames.size()));
  FUZZ_CHECK(table.frames().size() <= index.frames.size());
  if (table.animatedFrameCount() > 0)
    FUZZ_CHECK(table.animatedFrameCount() == static_cast<int>(table.frames().size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const image::GifIndex index = image::indexGif(bytes, image::GifRules::Decoder);
  for (const auto& frame : index.frames) FUZZ_CHECK(frame.begin < frame.end && frame.end <= size);
  if (index.hasScreen) checkTimeline(index);
  checkFrameTable(bytes, index);
  if (index.hasScreen && !worthDecoding(index)) return 0;

  std::size_t delivered = 0;
  std::int32_t width = 0, height = 0;
  const DecodeResult result = decodeGif(bytes, [&](const DecodedFrame& frame) {
    if (delivered == 0) {
      width = frame.width;
      height = frame.height;
    }
    FUZZ_CHECK(frame.width == width && frame.height == height);
    fuzz::checkDecodedFrame(frame);
    if (isIndexed(frame.format)) FUZZ_CHECK(!frame.palette.empty());
    ++delivered;
    return true;
  });
  FUZZ_CHECK(result.frameCount == delivered);
  // The frame table's probe (first row of the first frame) agrees with the full decode.
  FUZZ_CHECK(probeGif(bytes).has_value() == result.delivered());
  FUZZ_CHECK(result.delivered() == (delivered > 0));
  if (!result.delivered()) FUZZ_CHECK(result.error.has_value());
  if (delivered > 0) {
    FUZZ_CHECK(index.hasScreen);
    FUZZ_CHECK(width == index.canvasWidth && height == index.canvasHeight);
    FUZZ_CHECK(delivered <= index.frames.size());
  }
  FUZZ_CHECK(result.frameDelays.size() == delivered);
  return 0;
}
