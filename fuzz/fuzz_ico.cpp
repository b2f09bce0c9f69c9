// Fuzzes the ICO reader (directory, DIB entries with their AND masks, PNG entries): any bytes
// must decode or fail cleanly, and a decoded icon is one 32-bit frame whose buffers hold what
// its size promises.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCommon.h"
#include "image/platform/IcoReader.h"

using namespace brevanto;
using namespace brevanto::image::platform;

namespace {

// The sizes the entries claim (DIB header or PNG IHDR); inputs claiming a large accepted size
// are skipped (see fuzz::worthDecoding).
bool worthDecoding(const std::uint8_t* data, std::size_t size) {
  const auto count = fuzz::readLe(data, size, 4, 2);
  for (std::int64_t i = 0; i < count && i < 64; ++i) {
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
    const auto offset = static_cast<std::size_t>(fuzz::readLe(data, size, entry + 12, 4));
    if (offset >= size) continue;
    const std::uint8_t* p = data + offset;
    const std::size_t n = size - offset;
    if (n >= 24 && p[0] == 0x89 && p[1] == 'P') {
      const auto be = [&](std::size_t at) {
        return (std::int64_t{p[at]} << 24) | (p[at + 1] << 16) | (p[at + 2] << 8) | p[at + 3];
      };
      if (!fuzz::worthDecoding(be(16), be(20), 32)) return false;
    } else if (!fuzz::worthDecoding(fuzz::readLe(p, n, 4, 4, true), fuzz::readLe(p, n, 8, 4, true) / 2, 32)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!worthDecoding(data, size)) return 0;
  std::size_t delivered = 0;
  const DecodeResult result = decodeIco(std::span(data, size), [&](const DecodedFrame& frame) {
    fuzz::checkDecodedFrame(frame);
    ++delivered;
    return true;
  });
  FUZZ_CHECK(result.frameCount == delivered);
  FUZZ_CHECK(delivered <= 1);
  FUZZ_CHECK(result.delivered() == (delivered > 0));
  if (!result.delivered()) FUZZ_CHECK(result.error.has_value());
  return 0;
}
