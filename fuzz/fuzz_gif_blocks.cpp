// Fuzzes the GIF block walk that supplies frame delays and the frame table built on it
// (AnimatedPicture: splitting into standalone one-frame GIFs and asking the decoder whether each
// decodes): any bytes must
// be walked without reading outside the data, every graphic block found must lie inside it, in
// order, and the table never has more entries than the walk counted.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCommon.h"
#include "controls/AnimatedPicture.h"
#include "controls/GifBlockParser.h"
#include "image/ImageLimits.h"

using namespace brevanto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  controls::GifBlockParser parser(bytes);
  const auto blocks = parser.graphicBlocks();
  std::size_t previousEnd = 0;
  for (const auto& block : blocks) {
    FUZZ_CHECK(block.begin < block.end && block.end <= size);
    FUZZ_CHECK(block.begin >= previousEnd);
    FUZZ_CHECK(block.begin >= parser.firstBlock());
    FUZZ_CHECK(block.hasControl || block.delay == -1);
    previousEnd = block.end;
  }
  FUZZ_CHECK(parser.countFrames() == static_cast<int>(blocks.size()));
  // Classification and lengths at every offset, including ones inside blocks and at the end.
  for (std::size_t cursor = 0; cursor <= size + 1; cursor += 1 + cursor / 64) {
    parser.classify(cursor);
    if (auto length = parser.blockLength(cursor)) FUZZ_CHECK(*length > 0 && cursor + *length <= size);
  }

  // The frame table probes every frame: skip accepted screens of many megabytes (as in
  // fuzz_gif), keep refused ones.
  const std::uint64_t area =
      static_cast<std::uint64_t>(parser.screenWidth()) * static_cast<std::uint64_t>(parser.screenHeight());
  const std::uint64_t total = area * 4 * (blocks.size() + 1);
  if (area <= image::kMaxImagePixels && total > (std::uint64_t{16} << 20)) return 0;
  controls::AnimatedPicture table;
  const bool loaded = table.loadMemory(bytes);
  FUZZ_CHECK(table.isGif() == parser.isGif());
  if (table.isGif()) {
    FUZZ_CHECK(table.countedFrames() == static_cast<int>(blocks.size()));
    FUZZ_CHECK(table.frames().size() <= blocks.size());
    if (table.animatedFrameCount() > 0)
      FUZZ_CHECK(table.animatedFrameCount() == static_cast<int>(table.frames().size()));
    for (std::size_t i = 0; i < table.frames().size(); ++i) {
      const auto& frame = table.frames()[i];
      FUZZ_CHECK(frame.delay >= -1 && frame.delay <= 65535);
      FUZZ_CHECK(frame.disposal >= 0 && frame.disposal <= 7);
    }
  }
  if (!loaded) FUZZ_CHECK(table.frames().empty() || table.isGif());
  return 0;
}
