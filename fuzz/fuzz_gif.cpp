// Fuzzes the GIF decoder and composer: any bytes must decode or fail cleanly, every frame
// delivered must be a full canvas of the size the block walk announced, and the delay item
// must carry one value per delivered frame; the probe must agree with the decode. The movie
// timeline as the GIF times it is planned from the block walk's delays: a rate that is not 0,
// every frame at the movie frame its delays put it, passes that fit in one movie.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCommon.h"
#include "convert/Timeline.h"
#include "swf/MovieAssembly.h"
#include "image/ImageLimits.h"
#include "image/platform/GifReader.h"

using namespace brevanto;
using namespace brevanto::image::platform;

namespace {

void checkTimeline(const GifLayout& layout) {
  using namespace brevanto::convert;
  FUZZ_CHECK(layout.delays.size() == layout.frameCount);
  const GifRate rate = gifRateFor(layout.delays);
  const Timeline timeline = buildTimeline(static_cast<int>(layout.frameCount), layout.delays, Timing::AsGif);
  FUZZ_CHECK(timeline.frameRate88 > 0 && rate.hundredths >= 1);
  FUZZ_CHECK(timeline.frameRate88 * rate.hundredths <= 100 * 256);
  std::int64_t start = 0;
  for (std::size_t i = 0; i < layout.frameCount; ++i) {
    FUZZ_CHECK(start % rate.hundredths == 0);
    FUZZ_CHECK(timeline.firstSlots[i] == std::min<std::int64_t>(start / rate.hundredths, INT32_MAX));
    start += gifHundredths(layout.delays[i]);
  }
  const Passes passes = passesFor(LoopMode::AsGif, layout.loopCount, timeline.slotCount);
  FUZZ_CHECK(passes.passes == 1 ||
             std::int64_t{passes.passes} * timeline.slotCount <= brevanto::swf::kMaxMovieFrames);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  GifLayout layout;
  const bool scanned = scanGifLayout(bytes, layout);
  if (scanned) checkTimeline(layout);
  if (scanned) {
    // Accepted canvases of many megabytes make each run take seconds and teach the fuzzer
    // nothing new; those sizes are covered by the limit tests. Refused sizes stay in: the
    // refusal must be cheap.
    const std::uint64_t area =
        static_cast<std::uint64_t>(layout.canvasWidth) * static_cast<std::uint64_t>(layout.canvasHeight);
    const std::uint64_t total = area * 4 * (layout.frameCount + 1);
    if (area <= image::kMaxImagePixels && total <= image::memoryBudgetBytes() && total > (std::uint64_t{16} << 20)) {
      return 0;
    }
  }

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
  FUZZ_CHECK(probeGif(bytes).has_value() == result.ok);
  FUZZ_CHECK(result.ok == (delivered > 0));
  if (!result.ok) FUZZ_CHECK(!result.error.empty());
  if (delivered > 0) {
    FUZZ_CHECK(scanned);
    FUZZ_CHECK(width == layout.canvasWidth && height == layout.canvasHeight);
    FUZZ_CHECK(delivered <= layout.frameCount);
  }
  for (const auto& item : result.properties) {
    if (item.id == image::kFrameDelayItemId) FUZZ_CHECK(item.value.size() == 4 * delivered);
  }
  return 0;
}
