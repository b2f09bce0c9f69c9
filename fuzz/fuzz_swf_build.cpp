// Fuzzes the movie builder: any stage, source size, frame rate, slot count and picture bytes
// must give either a refusal with a reason or a movie whose container and tag stream are
// well formed (checked here by a small reader that shares nothing with the writer), and the
// slot-by-slot builder must give the same bytes as the one-call builder.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "swf/MovieAssembly.h"

using namespace brevanto;

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  std::uint32_t take(int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | (pos < size ? data[pos++] : 0);
    return v;
  }
};

// Walks the movie: "FWS", version 3, the length field equal to the size, the frame rectangle,
// then tags (short or long headers) up to an End tag that closes the file exactly; the number
// of ShowFrame tags equals the frame count in the header.
void checkMovie(const std::vector<std::uint8_t>& m, int slots) {
  FUZZ_CHECK(m.size() >= 21);
  FUZZ_CHECK(m[0] == 'F' && m[1] == 'W' && m[2] == 'S' && m[3] == 3);
  const std::uint32_t length = m[4] | (m[5] << 8) | (m[6] << 16) | (std::uint32_t{m[7]} << 24);
  FUZZ_CHECK(length == m.size());
  const int nbits = m[8] >> 3;
  const std::size_t rectBytes = (5 + 4 * static_cast<std::size_t>(nbits) + 7) / 8;
  std::size_t pos = 8 + rectBytes;
  FUZZ_CHECK(pos + 4 <= m.size());
  const int frameCount = m[pos + 2] | (m[pos + 3] << 8);
  FUZZ_CHECK(frameCount == slots);
  pos += 4;
  int shown = 0;
  bool ended = false;
  while (pos < m.size()) {
    FUZZ_CHECK(pos + 2 <= m.size());
    const int header = m[pos] | (m[pos + 1] << 8);
    pos += 2;
    const int code = header >> 6;
    std::size_t tagLength = header & 0x3F;
    if (tagLength == 0x3F) {
      FUZZ_CHECK(pos + 4 <= m.size());
      tagLength = m[pos] | (m[pos + 1] << 8) | (m[pos + 2] << 16) | (std::size_t{m[pos + 3]} << 24);
      pos += 4;
    }
    FUZZ_CHECK(tagLength <= m.size() - pos);
    pos += tagLength;
    if (code == 1) ++shown;
    if (code == 0) {
      ended = true;
      break;
    }
  }
  FUZZ_CHECK(ended && pos == m.size());
  FUZZ_CHECK(shown == slots);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  swf::MovieAssemblyInput movie;
  movie.gifPath = (in.take(1) & 1) ? "/in/anim.gif" : "ab";
  movie.outputFolder = "/nonexistent/";
  // Sizes around and beyond the stage limit, sources up to 65535 each way.
  movie.stageWidth = static_cast<int>(in.take(2) % 1700) - 20;
  movie.stageHeight = static_cast<int>(in.take(2) % 1700) - 20;
  movie.sourceWidth = static_cast<int>(in.take(2)) - 2;
  movie.sourceHeight = static_cast<int>(in.take(2)) - 2;
  movie.frameRate = static_cast<int>(in.take(2)) - 1000;
  movie.slotCount = static_cast<int>(in.take(1)) - 4;
  const std::uint32_t presentMask = in.take(4);
  // The rest of the input is cut into pictures of up to 64 bytes.
  std::vector<std::vector<std::uint8_t>> pictures;
  while (in.pos < size && pictures.size() < 32) {
    const std::size_t n = std::min<std::size_t>(1 + in.take(1) % 64, size - in.pos);
    pictures.emplace_back(data + in.pos, data + in.pos + n);
    in.pos += n;
  }
  int calls = 0;
  const auto built = swf::buildMovieBytes(movie, [&](int slot) {
    FUZZ_CHECK(slot == calls);
    ++calls;
    if (pictures.empty() || !((presentMask >> (slot % 32)) & 1)) return swf::SlotPicture{};
    return swf::SlotPicture::jpeg(pictures[static_cast<std::size_t>(slot) % pictures.size()]);
  });

  // The slot-by-slot builder must give the very same bytes (or the same refusal).
  if (movie.slotCount >= 0) {
    swf::MovieBuilder builder(movie);
    for (int slot = 0; slot < movie.slotCount; ++slot) {
      if (!pictures.empty() && ((presentMask >> (slot % 32)) & 1)) {
        builder.addSlot(pictures[static_cast<std::size_t>(slot) % pictures.size()]);
      } else {
        builder.addEmptySlot();
      }
    }
    FUZZ_CHECK(builder.slotCount() == movie.slotCount);
    const auto fromBuilder = builder.fileBytes();
    FUZZ_CHECK(fromBuilder.ok() == built.ok());
    FUZZ_CHECK(!built.ok() || *fromBuilder == *built);
  }

  if (!built) {
    FUZZ_CHECK(!built.error().detail.empty());
    return 0;
  }
  const std::vector<std::uint8_t>& bytes = *built;
  FUZZ_CHECK(movie.stageWidth >= 1 && movie.stageWidth <= swf::kMaxStageSide);
  FUZZ_CHECK(movie.stageHeight >= 1 && movie.stageHeight <= swf::kMaxStageSide);
  FUZZ_CHECK(calls == movie.slotCount);
  checkMovie(bytes, movie.slotCount);
  return 0;
}
