// Decodes the shared GIF corpus: frame counts against the index, composed frames against
// ImageMagick's coalesced frames and the reference renderings, and malformed files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "image/ImageCodec.h"
#include "image/platform/GifReader.h"
#include "image/platform/JpegCodec.h"
#include "image/platform/PngCodec.h"
#include "tests/support/DecodedGif.h"
#include "tests/support/Files.h"

namespace fs = std::filesystem;
using namespace brevanto::image;
using namespace brevanto::image::platform;

namespace {

using brevanto::testing::DecodedGif;
using brevanto::testing::decodeAll;
using brevanto::testing::readFile;

fs::path corpus() { return brevanto::testing::sampleData("gif"); }

// name -> frames column of INDEX.tsv
std::map<std::string, std::pair<std::string, int>> readIndex() {
  std::map<std::string, std::pair<std::string, int>> index;
  std::ifstream in(corpus() / "INDEX.tsv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::stringstream ss(line);
    std::string name, set, bytes, frames;
    std::getline(ss, name, '\t');
    std::getline(ss, set, '\t');
    std::getline(ss, bytes, '\t');
    std::getline(ss, frames, '\t');
    index[name] = {set, std::atoi(frames.c_str())};
  }
  return index;
}

struct PamImage {
  int width = 0, height = 0, depth = 0;
  std::vector<std::uint8_t> samples;
};

// Reads the concatenated PAM images that `convert FILE -coalesce PAM:-` prints.
bool runCoalesce(const fs::path& file, std::vector<PamImage>& images) {
  const std::string command = "convert '" + file.string() + "' -coalesce PAM:- 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  std::string data;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) data.append(buffer, n);
  const int status = pclose(pipe);
  if (status != 0) return false;
  size_t pos = 0;
  while (pos < data.size()) {
    PamImage img;
    const size_t end = data.find("ENDHDR\n", pos);
    if (end == std::string::npos) return false;
    std::stringstream header(data.substr(pos, end - pos));
    std::string key;
    while (header >> key) {
      if (key == "WIDTH")
        header >> img.width;
      else if (key == "HEIGHT")
        header >> img.height;
      else if (key == "DEPTH")
        header >> img.depth;
      else {
        std::string skip;
        std::getline(header, skip);
      }
    }
    pos = end + 7;
    const size_t count = static_cast<size_t>(img.width) * img.height * img.depth;
    if (pos + count > data.size()) return false;
    img.samples.assign(data.begin() + pos, data.begin() + pos + count);
    pos += count;
    images.push_back(std::move(img));
  }
  return true;
}

// ImageMagick runs as a child process; sanitizer builds skip it (BREVANTO_SKIP_IMAGEMAGICK).
bool haveConvert() {
  return !std::getenv("BREVANTO_SKIP_IMAGEMAGICK") && std::system("convert -version >/dev/null 2>&1") == 0;
}

// The file's background colour (RGB), when its global table has the background index.
bool backgroundColor(const std::vector<std::uint8_t>& gif, std::uint8_t rgb[3]) {
  if (gif.size() < 13 || !(gif[10] & 0x80)) return false;
  const size_t entries = size_t{2} << (gif[10] & 7);
  const size_t index = gif[11];
  if (index >= entries || 13 + index * 3 + 3 > gif.size()) return false;
  std::memcpy(rgb, gif.data() + 13 + index * 3, 3);
  return true;
}

struct FrameComparison {
  size_t differing = 0;
  size_t backgroundFilled = 0;  // ImageMagick shows the background colour where we are transparent
  std::string firstDiff;
};

// Compares a composed frame with ImageMagick's PAM frame (grey, grey+alpha, RGB or RGBA):
// colours equal where ImageMagick's alpha is non-zero, transparent where it is zero.
FrameComparison compareFrame(const DecodedFrame& ours, const PamImage& ref, const std::uint8_t* background) {
  FrameComparison result;
  for (int y = 0; y < ref.height; ++y) {
    for (int x = 0; x < ref.width; ++x) {
      const std::uint8_t* s = ref.samples.data() + (static_cast<size_t>(y) * ref.width + x) * ref.depth;
      std::uint8_t r, g, b, a = 255;
      if (ref.depth <= 2) {
        r = g = b = s[0];
        if (ref.depth == 2) a = s[1];
      } else {
        r = s[0], g = s[1], b = s[2];
        if (ref.depth == 4) a = s[3];
      }
      const std::uint8_t* p = ours.row(y) + x * 4;
      const bool ok = a == 0 ? p[3] == 0 : (p[3] == a && p[2] == r && p[1] == g && p[0] == b);
      if (ok) continue;
      if (p[3] == 0 && a == 255 && background && background[0] == r && background[1] == g && background[2] == b) {
        ++result.backgroundFilled;
        continue;
      }
      if (result.differing++ == 0) {
        char text[160];
        std::snprintf(text, sizeof text, "(%d,%d) ours BGRA %d,%d,%d,%d ImageMagick RGBA %d,%d,%d,%d", x, y, p[0], p[1],
                      p[2], p[3], r, g, b, a);
        result.firstDiff = text;
      }
    }
  }
  return result;
}

}  // namespace

TEST(GifCorpus, ValidFilesMatchIndexFrameCountsAndImageMagick) {
  REQUIRE_SAMPLE_DATA("gif/valid");
  const bool compare = haveConvert();
  const auto index = readIndex();
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(corpus() / "valid")) {
    const std::string name = entry.path().filename().string();
    auto it = index.find(name);
    ASSERT_NE(it, index.end()) << name;
    const DecodedGif d = decodeAll(readFile(entry.path()));
    ++files;
    EXPECT_TRUE(d.result.delivered()) << name << ": " << d.result.error.value_or("");
    EXPECT_EQ(static_cast<int>(d.frames.size()), it->second.second) << name << ": " << d.result.error.value_or("");
    if (!compare || d.frames.empty()) continue;
    std::vector<PamImage> im;
    if (!runCoalesce(entry.path(), im)) continue;  // beyond ImageMagick's own limits
    if (im.size() != d.frames.size()) {
      ADD_FAILURE() << name << ": ImageMagick gives " << im.size() << " frames, ours " << d.frames.size();
      continue;
    }
    const auto bytes = readFile(entry.path());
    std::uint8_t bg[3];
    const bool haveBackground = backgroundColor(bytes, bg);
    size_t backgroundFilled = 0;
    for (size_t i = 0; i < im.size(); ++i) {
      if (im[i].width != d.frames[i].width || im[i].height != d.frames[i].height) {
        ADD_FAILURE() << name << " frame " << i << ": size " << d.frames[i].width << "x" << d.frames[i].height
                      << " vs ImageMagick " << im[i].width << "x" << im[i].height;
        break;
      }
      const FrameComparison c = compareFrame(d.frames[i], im[i], haveBackground ? bg : nullptr);
      backgroundFilled += c.backgroundFilled;
      if (c.differing) {
        ADD_FAILURE() << name << " frame " << i << ": " << c.differing << " pixels differ, first " << c.firstDiff;
        break;
      }
    }
    // ImageMagick paints canvas areas no frame has drawn yet in the background colour; browsers
    // (and we) leave them transparent.
    if (backgroundFilled)
      std::printf("note: %s: %zu pixels transparent here, background colour in ImageMagick\n", name.c_str(),
                  backgroundFilled);
  }
  EXPECT_GT(files, 100u);
}

TEST(GifCorpus, FramesEqualTheReferenceRenderings) {
  REQUIRE_SAMPLE_DATA("gif/reference");
  const fs::path references = corpus() / "reference";
  size_t compared = 0;
  for (const auto& entry : fs::directory_iterator(references)) {
    std::string stem = entry.path().stem().string();
    size_t frame = 0;
    const size_t dash = stem.rfind('-');
    fs::path gif = corpus() / "valid" / (stem + ".gif");
    if (!fs::exists(gif) && dash != std::string::npos) {
      frame = std::stoul(stem.substr(dash + 1));
      gif = corpus() / "valid" / (stem.substr(0, dash) + ".gif");
      if (!fs::exists(gif)) gif = corpus() / "malformed" / (stem.substr(0, dash) + ".gif");
    }
    ASSERT_TRUE(fs::exists(gif)) << entry.path();
    const DecodedGif d = decodeAll(readFile(gif));
    ASSERT_LT(frame, d.frames.size()) << entry.path();
    std::vector<DecodedFrame> png;
    const auto result = decodePng(readFile(entry.path()), [&](const DecodedFrame& f) {
      png.push_back(f);
      return true;
    });
    ASSERT_TRUE(result.delivered()) << entry.path();
    PamImage ref{png[0].width, png[0].height, 4, {}};
    const bool alpha = png[0].format == PixelFormat::Argb32;
    for (int y = 0; y < ref.height; ++y)
      for (int x = 0; x < ref.width; ++x) {
        const std::uint8_t* p = png[0].row(y) + x * (alpha ? 4 : 3);
        ref.samples.insert(ref.samples.end(), {p[2], p[1], p[0], alpha ? p[3] : std::uint8_t{255}});
      }
    ASSERT_EQ(ref.width, d.frames[frame].width) << entry.path();
    ASSERT_EQ(ref.height, d.frames[frame].height) << entry.path();
    const FrameComparison c = compareFrame(d.frames[frame], ref, nullptr);
    EXPECT_EQ(c.differing, 0u) << entry.path() << ": first " << c.firstDiff;
    ++compared;
  }
  EXPECT_GT(compared, 40u);
}

TEST(GifCorpus, MalformedFilesFailCleanlyOrKeepTheFramesBeforeTheDamage) {
  REQUIRE_SAMPLE_DATA("gif/malformed");
  const auto index = readIndex();
  for (const auto& entry : fs::directory_iterator(corpus() / "malformed")) {
    const std::string name = entry.path().filename().string();
    const DecodedGif d = decodeAll(readFile(entry.path()));
    EXPECT_EQ(d.result.delivered(), !d.frames.empty()) << name;
    EXPECT_EQ(d.result.frameCount, d.frames.size()) << name;
    if (!d.result.delivered()) {
      EXPECT_TRUE(d.result.error.has_value()) << name;
    }
    auto it = index.find(name);
    if (it != index.end()) {
      EXPECT_LE(static_cast<int>(d.frames.size()), std::max(it->second.second, 1)) << name;
    }
  }
}

TEST(GifCorpus, JpegAtQuality100IsWithin40DecibelsOfAGifFrame) {
  REQUIRE_SAMPLE_DATA("gif/valid/pillow-iss634.gif");
  const fs::path file = corpus() / "valid" / "pillow-iss634.gif";
  const DecodedGif d = decodeAll(readFile(file));
  ASSERT_FALSE(d.frames.empty());
  const DecodedFrame& frame = d.frames.back();
  const auto jpeg = *encodeJpeg(viewOf(frame), 100);
  std::vector<DecodedFrame> back;
  ASSERT_TRUE(decodeJpeg(jpeg, [&](const DecodedFrame& f) {
                back.push_back(f);
                return true;
              }).delivered());
  double error = 0;
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const std::uint8_t* p = frame.row(y) + x * 4;
        const double expected = p[3] == 0 ? 255.0 : p[c];
        const double diff = expected - back[0].row(y)[x * 3 + c];
        error += diff * diff;
      }
  const double mse = error / (3.0 * frame.width * frame.height);
  const double psnr = 10 * std::log10(255.0 * 255.0 / mse);
  EXPECT_GT(psnr, 40.0);
  std::printf("JPEG quality 100 of %s: PSNR %.1f dB\n", file.filename().c_str(), psnr);
}
