// Builds a lossless movie of a GIF straight from the swf/ writer, to check the new records with
// independent readers (bench/lossless/lossless_render_check.sh). One movie frame per GIF frame:
// the first picture whole, then each changed rectangle as its own bitmap and shape at the next
// depth; a picture identical to the one before adds no characters.
//
// Usage: lossless_movie_check GIF OUTDIR [SCALE 1..3] [--stop]
// Writes OUTDIR/movie.swf and OUTDIR/ref%05d.ppm, the composed frames flattened over white and
// enlarged by SCALE with nearest-neighbour sampling. --stop adds the DoAction stop to the last
// frame. Prints frames, changed-rectangle pixels and movie bytes.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "FlattenedFrames.h"
#include "image/ChangedRect.h"
#include "swf/SwfLosslessBitmap.h"
#include "swf/SwfMovie.h"
#include "swf/SwfPictureRect.h"

using namespace brevanto;

namespace {

// SwfMovie takes tags only from characters; this one carries a finished tag and, being of the
// bitmap kind, is never placed.
class RawTag final : public swf::SwfCharacter {
 public:
  explicit RawTag(std::vector<std::uint8_t> tag) : SwfCharacter(0, 0, Kind::Bitmap), tag_(std::move(tag)) {}
  const std::vector<std::uint8_t>& tagBytes() override { return tag_; }

 private:
  std::vector<std::uint8_t> tag_;
};

bool writePpm(const std::string& path, const bench::Picture& p, int scale) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", p.width * scale, p.height * scale);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(p.width) * scale * 3);
  for (int y = 0; y < p.height; ++y) {
    const std::uint8_t* src = p.view().row(y);
    for (int x = 0; x < p.width * scale; ++x) {
      const std::uint8_t* px = src + (x / scale) * 4;
      row[x * 3] = px[2], row[x * 3 + 1] = px[1], row[x * 3 + 2] = px[0];
    }
    for (int k = 0; k < scale; ++k) std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s GIF OUTDIR [SCALE] [--stop]\n", argv[0]);
    return 2;
  }
  const std::string out = std::string(argv[2]) + "/";
  const int scale = argc > 3 && std::strcmp(argv[3], "--stop") != 0 ? std::atoi(argv[3]) : 1;
  const bool stop = std::strcmp(argv[argc - 1], "--stop") == 0;
  const std::clock_t start = std::clock();
  const auto flattened = bench::flattenedFrames(argv[1]);
  if (!flattened || scale < 1 || scale > 3) {
    std::fprintf(stderr, "%s: no frames (%s) or bad scale\n", argv[1], flattened ? "" : flattened.error().c_str());
    return 2;
  }
  const std::vector<bench::Picture>& frames = *flattened;
  const int w = frames[0].width, h = frames[0].height;
  swf::SwfMovie movie;
  movie.setFrameSize(static_cast<float>(w * scale), static_cast<float>(h * scale));
  movie.setFrameRate(10);
  movie.setBackgroundColor(255, 255, 255);
  int placed = 0;
  long long rectPixels = 0;
  int format5 = 0;
  for (std::size_t n = 0; n < frames.size(); ++n) {
    std::optional<util::PixelRect> rect{util::PixelRect{0, 0, w, h}};
    if (n > 0) rect = image::changedRect(frames[n - 1].view(), frames[n].view());
    if (rect) {
      const auto bitmapId = static_cast<std::uint16_t>(2 * placed + 2);
      const auto shapeId = static_cast<std::uint16_t>(2 * placed + 1);
      const auto depth = static_cast<std::uint16_t>(placed + 1);
      swf::SwfLosslessBitmap bitmap(bitmapId, frames[n].view().sub(*rect));
      auto shape = swf::pictureRectShape(shapeId, depth, bitmapId, *rect, scale);
      if (!bitmap.isValid() || !shape) {
        std::fprintf(stderr, "frame %zu: record refused\n", n);
        return 1;
      }
      format5 += bitmap.format() == 5;
      movie.addCharacter(bitmap, 0, false);
      movie.addCharacter(*shape, depth, true);
      rectPixels += static_cast<long long>(rect->width) * rect->height;
      ++placed;
    }
    if (stop && n + 1 == frames.size()) {
      RawTag action(swf::doActionStopTag());
      movie.addCharacter(action, 0, false);
    }
    movie.showFrame();
  }
  const auto bytes = movie.fileBytes();
  std::FILE* f = std::fopen((out + "movie.swf").c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %smovie.swf\n", out.c_str());
    return 1;
  }
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  for (std::size_t n = 0; n < frames.size(); ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "ref%05zu.ppm", n);
    if (!writePpm(out + name, frames[n], scale)) return 1;
  }
  std::printf("%s: %dx%d x%d, %zu frames, %d pictures (%d format 5), %.1f%% of the pixels, %zu bytes, %.3f s CPU\n",
              argv[1], w, h, scale, frames.size(), placed, format5,
              100.0 * static_cast<double>(rectPixels) / (static_cast<double>(w) * h * frames.size()), bytes.size(),
              seconds);
  return 0;
}
