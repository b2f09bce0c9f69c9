// Fuzzes the GIF block walk that supplies frame delays: any bytes must be walked without
// reading outside the data, and every graphic block found must lie inside it, in order.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCommon.h"
#include "controls/GifBlockParser.h"

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
  return 0;
}
