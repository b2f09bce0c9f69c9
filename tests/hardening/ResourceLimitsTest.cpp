// Resource limits: sizes and budgets are refused from what a file claims, before memory is
// taken, with a reason that names the limit; hostile but small files finish fast.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Resources.h"
#include "controls/AnimatedPicture.h"
#include "convert/PreviewPlayer.h"
#include "image/AnimatedImage.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageLimits.h"
#include "image/RasterImage.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"

using namespace brevanto;
using namespace brevanto::hardening;
using namespace brevanto::testing;

namespace {

// Generous bounds: the point is "not gigabytes, not minutes", not a benchmark.
constexpr double kSmallMemoryMib = 128;
constexpr double kQuickSeconds = 5;

// One folder for the whole test program, removed when it ends.
ScratchFolder& scratch() {
  static ScratchFolder folder;
  return folder;
}

void expectCheap(const Cost& cost, double mib = kSmallMemoryMib, double seconds = kQuickSeconds) {
  EXPECT_LT(cost.peakGrowthMib, mib);
  EXPECT_LT(cost.seconds, seconds);
}

Bytes gifWithTinyFrames(int screenWidth, int screenHeight, int frames) {
  GifBuilder gif(screenWidth, screenHeight);
  for (int i = 0; i < frames; ++i) gif.control({.delay = 1}).image(0, 0, 1, 1, static_cast<std::uint8_t>(i & 3));
  gif.trailer();
  return gif.bytes();
}

}  // namespace

// Claims beyond the pixel area or the memory budget are refused from the headers, with the
// reason, by every reader of GIF files: the decoder, the player (whose delay table must not
// decode the frames one by one either) and the frame table.
TEST(GifLimits, EveryReaderRefusesClaimsBeyondTheLimitsCheaplyWithTheReason) {
  struct Case {
    const char* name;
    Bytes gif;
    std::vector<std::string> reasons;
  };
  const Case cases[] = {
      {"a 65535 x 65535 screen with a tiny frame", gifWithTinyFrames(65535, 65535, 1), {"65535 x 65535", "limit"}},
      // 16385 x 16384 = 2^28 + 16384 pixels.
      {"one pixel above the area", gifWithTinyFrames(16385, 16384, 1), {"limit"}},
      // 3 GiB of 32-bit canvases, above any budget (2 GiB at most), each within the area.
      {"three 16384 x 16384 canvases", gifWithTinyFrames(16384, 16384, 3), {"memory budget"}},
      // 80 GB of canvases.
      {"20000 frames on a 1000 x 1000 screen", gifWithTinyFrames(1000, 1000, 20000), {"memory budget"}},
  };
  EXPECT_LE(image::memoryBudgetBytes(), image::kMaxAllocationBytes);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    util::Result<void> loaded;
    image::AnimatedImage animation;
    expectCheap(measure([&] { loaded = animation.loadFromMemory(c.gif, image::ImageFormat::Gif); }));
    ASSERT_FALSE(loaded);
    EXPECT_EQ(animation.frameCount(), 0u);
    for (const auto& reason : c.reasons) EXPECT_NE(loaded.error().find(reason), std::string::npos) << loaded.error();
    convert::PreviewPlayer player;
    const std::string path = scratch().write("refused.gif", c.gif);
    util::Result<void> played;
    expectCheap(measure([&] { played = player.load(path); }));
    ASSERT_FALSE(played);
    EXPECT_EQ(player.frameCount(), 0);
    EXPECT_NE(played.error().find(c.reasons.back()), std::string::npos) << played.error();

    bool ok = true;

    controls::AnimatedPicture table;
    expectCheap(measure([&] { ok = table.loadMemory(c.gif); }));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(table.frames().empty());
    EXPECT_EQ(table.animatedFrameCount(), 0);
  }
}

TEST(PixelAreaLimit, LongThinStripWithinTheAreaLoadsAndOnePixelMoreIsRefused) {
  image::AnimatedImage animation;
  ASSERT_TRUE(animation.loadFromMemory(gifWithTinyFrames(10, 63498, 1), image::ImageFormat::Gif));
  ASSERT_EQ(animation.frameCount(), 1u);
  EXPECT_EQ(animation.frame(0).width(), 10);
  EXPECT_EQ(animation.frame(0).height(), 63498);

  image::RasterImage strip, tooLarge;
  EXPECT_TRUE(strip.create(10, 63498, 24));
  EXPECT_TRUE(strip.create(63498, 10, 32));
  const auto refused = tooLarge.create(16385, 16384, 8);
  ASSERT_FALSE(refused);
  EXPECT_TRUE(tooLarge.isEmpty());
  EXPECT_FALSE(refused.error().empty());
}

TEST(HostileGif, LzwDataExpandingFarBeyondItsFrameEndsAtTheFrame) {
  // About 40 KB of LZW codes that would expand to 100 million pixels, for a 4 x 4 frame.
  const Bytes bomb = lzwRun(100'000'000);
  ASSERT_LT(bomb.size(), 64u * 1024);
  GifBuilder gif(4, 4);
  gif.control({.delay = 10}).imageData(0, 0, 4, 4, bomb).trailer();

  image::AnimatedImage animation;
  bool ok = false;
  expectCheap(measure([&] { ok = animation.loadFromMemory(gif.bytes(), image::ImageFormat::Gif).ok(); }));
  ASSERT_TRUE(ok);
  ASSERT_EQ(animation.frameCount(), 1u);
  EXPECT_EQ(animation.frame(0).width(), 4);

  controls::AnimatedPicture table;
  expectCheap(measure([&] { table.loadMemory(gif.bytes()); }));
}

TEST(HostileGif, FrameRectangleFarLargerThanTheScreenIsClippedCheaply) {
  // A 1 x 1 screen with a frame descriptor of 16384 x 16384 whose data expands to all of it.
  GifBuilder gif(1, 1);
  gif.control({.delay = 10}).runImage(0, 0, 16384, 16384, std::uint64_t{16384} * 16384).trailer();
  image::AnimatedImage animation;
  bool ok = false;
  expectCheap(measure([&] { ok = animation.loadFromMemory(gif.bytes(), image::ImageFormat::Gif).ok(); }), kSmallMemoryMib,
              2 * kQuickSeconds);
  // Either the frame is clipped to the screen or the file is refused; never a 1 GiB canvas.
  if (ok) {
    ASSERT_EQ(animation.frameCount(), 1u);
    EXPECT_EQ(animation.frame(0).width(), 1);
    EXPECT_EQ(animation.frame(0).height(), 1);
  }
}

TEST(HostileGif, HundredThousandOnePixelFramesStayBounded) {
  const Bytes gif = gifWithTinyFrames(1, 1, 100000);
  image::AnimatedImage animation;
  bool ok = false;
  expectCheap(measure([&] { ok = animation.loadFromMemory(gif, image::ImageFormat::Gif).ok(); }), 256, 2 * kQuickSeconds);
  ASSERT_TRUE(ok);
  EXPECT_EQ(animation.frameCount(), 100000u);

  controls::AnimatedPicture table;
  expectCheap(measure([&] { table.loadMemory(gif); }), 256, 2 * kQuickSeconds);
  EXPECT_EQ(table.countedFrames(), 100000);
}

#ifdef BREVANTO_CONVERT_EXE
TEST(ConverterLimits, ErrorLinesNameTheFileAndTheLimitAndTheOtherFilesConvert) {
  ScratchFolder folder;
  const std::string huge = folder.write("huge-screen.gif", gifWithTinyFrames(65535, 65535, 1));
  const std::string overBudget = folder.write("over-budget-cli.gif", gifWithTinyFrames(16384, 16384, 3));
  const std::string fine = folder.write("fine.gif", smallAnimation(6, 4, 2));
  const fs::path out = folder.folder("out");
  // Converting refuses both large files at once by their screen (no pixel is decoded); exporting
  // their frames reaches the decoder's own limits. Both lines name the file.
  const std::string files = " " + huge + " " + overBudget + " " + fine + " 2>&1 >/dev/null";
  const std::string command = std::string(BREVANTO_CONVERT_EXE) + " -j 1 -o " + out.string() + files + "; " +
                              BREVANTO_CONVERT_EXE + " -j 1 --export png -o " + out.string() + files;
  std::string output;
  int status = -1;
  const Cost cost = measure([&] {
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    status = pclose(pipe);
  });
  EXPECT_EQ(WEXITSTATUS(status), 1) << output;
  const auto lineWith = [&](const std::string& a, const std::string& b) {
    std::size_t start = 0;
    while (start < output.size()) {
      std::size_t end = output.find('\n', start);
      if (end == std::string::npos) end = output.size();
      const std::string line = output.substr(start, end - start);
      if (line.find(a) != std::string::npos && line.find(b) != std::string::npos) return true;
      start = end + 1;
    }
    return false;
  };
  EXPECT_TRUE(lineWith(huge, "The movie size 65535 x 65535 cannot be used")) << output;
  EXPECT_TRUE(lineWith(huge, "limit of 268435456 pixels")) << output;
  EXPECT_TRUE(lineWith(overBudget, "memory budget")) << output;
  EXPECT_TRUE(std::filesystem::exists(out / "fine.swf"));
  EXPECT_FALSE(std::filesystem::exists(out / "huge-screen.swf"));
  EXPECT_LT(cost.seconds, kQuickSeconds * 2);
  // The largest child process's peak memory (the converter): the refusals cost nothing.
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  EXPECT_LT(children.ru_maxrss / 1024.0, kSmallMemoryMib);
}
#endif

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void putBe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// A small picture written by the program's own encoder for the given extension.
Bytes encoded(const std::string& extension) {
  image::RasterImage picture;
  EXPECT_TRUE(picture.create(4, 3, 24));
  const fs::path path = scratch() / ("encoded." + extension);
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, "90");
  EXPECT_TRUE(image::ImageCodecFactory::save(picture, path, properties));
  return readFile(path);
}

// A little-endian TIFF of `pages` 8-bit grey pages of width x height, all sharing 16 bytes of
// strip data (the pages are far larger than the file).
Bytes manyPageTiff(std::uint32_t width, std::uint32_t height, int pages) {
  Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const auto put = [&](std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  constexpr int kEntries = 9;
  const std::size_t ifdSize = 2 + 12 * kEntries + 4;
  const std::size_t dataOffset = 8 + ifdSize * static_cast<std::size_t>(pages);
  for (int p = 0; p < pages; ++p) {
    put(kEntries, 2);
    const auto entry = [&](int tag, int type, std::uint32_t value) {
      put(static_cast<std::uint64_t>(tag), 2);
      put(static_cast<std::uint64_t>(type), 2);
      put(1, 4);
      put(value, 4);
    };
    entry(256, 4, width);
    entry(257, 4, height);
    entry(258, 3, 8);
    entry(259, 3, 1);
    entry(262, 3, 1);
    entry(273, 4, static_cast<std::uint32_t>(dataOffset));
    entry(277, 3, 1);
    entry(278, 4, height);
    entry(279, 4, 16);
    put(p + 1 < pages ? 8 + ifdSize * static_cast<std::size_t>(p + 1) : 0, 4);
  }
  b.insert(b.end(), 16, 0x80);
  return b;
}

}  // namespace

// Headers of every format claiming more than the pixel area or, together, the memory budget:
// refused from the header with the reason, before memory is taken.
TEST(PixelAreaLimit, EveryFormatRefusesHeadersBeyondTheLimitsCheaply) {
  // A BMP header claiming 16385 x 16384 (2^28 + 16384 pixels) with a few bytes of pixels.
  Bytes bmp(70, 0);
  bmp[0] = 'B', bmp[1] = 'M', bmp[10] = 54, bmp[14] = 40, bmp[26] = 1, bmp[28] = 24;
  for (int i = 0; i < 4; ++i) {
    bmp[18 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(16385u >> (8 * i));
    bmp[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(16384u >> (8 * i));
  }
  // A TGA header claiming 65535 x 65535 true-colour pixels, run-length encoded.
  const Bytes tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 32, 0x20, 0xFF, 1, 2, 3, 4};

  Bytes png = encoded("png");
  ASSERT_GT(png.size(), 33u);
  putBe32(png, 16, 20000);
  putBe32(png, 20, 20000);
  putBe32(png, 29, crc32(png.data() + 12, 17));

  Bytes jpeg = encoded("jpg");
  bool patched = false;
  for (std::size_t i = 2; i + 9 < jpeg.size() && !patched; ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      // 20000 x 20000 (within what the JPEG format allows, beyond the pixel limit).
      jpeg[i + 5] = jpeg[i + 7] = 0x4E;
      jpeg[i + 6] = jpeg[i + 8] = 0x20;
      patched = true;
    }
  }
  ASSERT_TRUE(patched);

  // An icon whose one entry is a 32-bit DIB of 65535 x 65535 pixels.
  Bytes ico = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 22, 0, 0, 0};
  const Bytes dib = {40, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFE, 0xFF, 1, 0, 1, 0, 32, 0, 0, 0, 0, 0,
                     0,  0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
  ico.insert(ico.end(), dib.begin(), dib.end());
  ico.insert(ico.end(), 64, 0x7F);

  struct Case {
    const char* name;
    Bytes file;
    image::ImageFormat format;
    const char* reason;
  };
  const Case cases[] = {
      {"BMP", bmp, image::ImageFormat::Bmp, ""},
      {"TGA", tga, image::ImageFormat::Tga, ""},
      {"PNG", png, image::ImageFormat::Png, "limit"},
      {"JPEG", jpeg, image::ImageFormat::Jpeg, "limit"},
      {"TIFF", manyPageTiff(16385, 16384, 1), image::ImageFormat::Tiff, "limit"},
      {"ICO", ico, image::ImageFormat::Ico, "limit"},
      // Five 8192 x 8192 pages: each within the pixel limit, together beyond the budget.
      {"TIFF pages", manyPageTiff(8192, 8192, 5), image::ImageFormat::Tiff, "memory budget"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    image::AnimatedImage animation;
    util::Result<void> loaded;
    expectCheap(measure([&] { loaded = animation.loadFromMemory(c.file, c.format); }));
    ASSERT_FALSE(loaded);
    EXPECT_EQ(animation.frameCount(), 0u);
    EXPECT_NE(loaded.error().find(c.reason), std::string::npos) << loaded.error();
  }
}
