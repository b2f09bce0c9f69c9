// Writes the reference picture of every movie slot of a GIF, for checking the movies
// brevanto-convert writes (bench/lossless/converter_render_check.sh): slot n shows the last
// frame whose picture starts at or before n on the converter's 100 ms timeline.
//
// Usage: lossless_slot_refs GIF OUTDIR SCALE [frames]
//   SCALE 1, 2 or 3: the composed frame flattened over white, enlarged by nearest-neighbour
//   sampling (what an exact player shows for a lossless movie at that stage);
//   SCALE half: the flattened frame scaled to half size by the converter's bicubic scaler.
// Writes OUTDIR/ref%05d.ppm and prints the slot count. With "frames", writes one reference per
// GIF frame instead (OUTDIR/frame%05d.ppm, no timeline) and prints the frame count, for checks
// that reckon the timing themselves (bench/timing/gif_timing_check.py).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FlattenedFrames.h"
#include "controls/AnimatedPicture.h"
#include "convert/SlotPictureMaker.h"
#include "convert/Timeline.h"
#include "image/platform/DecodedImage.h"

using namespace brevanto;

namespace {

bool writePpm(const std::string& path, const util::BgraView& p, int scale) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", p.width * scale, p.height * scale);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(p.width) * scale * 3);
  for (int y = 0; y < p.height; ++y) {
    const std::uint8_t* src = p.row(y);
    for (int x = 0; x < p.width * scale; ++x) {
      const std::uint8_t* px = src + (x / scale) * 4;
      row[static_cast<std::size_t>(x) * 3] = px[2];
      row[static_cast<std::size_t>(x) * 3 + 1] = px[1];
      row[static_cast<std::size_t>(x) * 3 + 2] = px[0];
    }
    for (int k = 0; k < scale; ++k) std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && !(argc == 5 && std::strcmp(argv[4], "frames") == 0)) {
    std::fprintf(stderr, "usage: lossless_slot_refs GIF OUTDIR 1|2|3|half [frames]\n");
    return 2;
  }
  const bool half = std::strcmp(argv[3], "half") == 0;
  const int scale = half ? 1 : std::atoi(argv[3]);
  auto flattened = bench::flattenedFrames(argv[1]);
  if (!flattened || scale < 1 || scale > 3) {
    std::fprintf(stderr, "%s: no frames (%s) or bad scale\n", argv[1], flattened ? "" : flattened.error().c_str());
    return 2;
  }
  std::vector<bench::Picture> frames = std::move(*flattened);
  if (half) {
    const convert::PixelSize source{frames[0].width, frames[0].height};
    const convert::PixelSize stage{source.width / 2, source.height / 2};
    const convert::SlotPictureMaker maker(convert::PictureKind::Lossless, 100, source, stage);
    for (bench::Picture& p : frames) {
      const image::platform::ImageView view{p.width,
                                            p.height,
                                            image::platform::PixelFormat::Argb32,
                                            p.bgrx.data(),
                                            static_cast<std::ptrdiff_t>(p.width) * 4,
                                            {}};
      const auto prepared = maker.preparedPicture(view);
      if (!prepared) {
        std::fprintf(stderr, "%s: %s\n", argv[1], prepared.error().c_str());
        return 1;
      }
      const image::RasterImage& scaled = *prepared;
      bench::Picture out;
      out.width = scaled.width();
      out.height = scaled.height();
      out.bgrx.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0xFF);
      for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
          std::memcpy(&out.bgrx[(static_cast<std::size_t>(y) * out.width + x) * 4], scaled.pixel(x, y), 3);
        }
      }
      p = std::move(out);
    }
  }
  if (argc == 5) {
    for (std::size_t i = 0; i < frames.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/frame%05zu.ppm", i);
      if (!writePpm(std::string(argv[2]) + name, frames[i].view(), scale)) return 1;
    }
    std::printf("%zu\n", frames.size());
    return 0;
  }
  controls::AnimatedPicture delays;
  delays.load(argv[1]);
  const int played = convert::playedFrameCount(static_cast<int>(frames.size()));
  if (played > static_cast<int>(frames.size())) frames.push_back(frames[0]);
  const convert::Timeline timeline = convert::buildTimeline(played, convert::frameDelays(delays));
  std::size_t shown = 0;
  for (int slot = 0; slot < timeline.slotCount; ++slot) {
    while (shown + 1 < frames.size() && timeline.firstSlots[shown + 1] <= slot) ++shown;
    char name[32];
    std::snprintf(name, sizeof name, "/ref%05d.ppm", slot);
    if (!writePpm(std::string(argv[2]) + name, frames[shown].view(), scale)) return 1;
  }
  std::printf("%d\n", timeline.slotCount);
  return 0;
}
