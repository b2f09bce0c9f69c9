// Fuzzes the GIF decoder and composer: any bytes must decode or fail cleanly, every frame
// delivered must be a full canvas of the size the block walk announced, and the delay item
// must carry one value per delivered frame; the probe must agree with the decode.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCommon.h"
#include "image/ImageLimits.h"
#include "image/platform/GifReader.h"

using namespace brevanto;
using namespace brevanto::image::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  GifLayout layout;
  const bool scanned = scanGifLayout(bytes, layout);
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
