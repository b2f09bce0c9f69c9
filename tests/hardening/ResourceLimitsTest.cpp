// Resource limits: sizes and budgets are refused from what a file claims, before memory is
// taken, with a reason that names the limit; hostile but small files finish fast.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "GifBytes.h"
#include "Resources.h"
#include "controls/AnimatedPicture.h"
#include "convert/PreviewPlayer.h"
#include "image/AnimatedImage.h"
#include "image/BmpCodec.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageLimits.h"
#include "image/RasterImage.h"
#include "image/TgaCodec.h"

using namespace brevanto;
using namespace brevanto::hardening;

namespace {

// Generous bounds: the point is "not gigabytes, not minutes", not a benchmark.
constexpr double kSmallMemoryMib = 128;
constexpr double kQuickSeconds = 5;

image::AnimatedImage loadGif(const Bytes& gif, bool& ok) {
  image::AnimatedImage animation;
  ok = animation.loadFromMemory(gif, image::ImageFormat::Gif);
  return animation;
}

std::filesystem::path writeTemp(const std::string& name, const Bytes& bytes) {
  const auto dir = std::filesystem::temp_directory_path() / "brevanto-hardening-limits";
  std::filesystem::create_directories(dir);
  const auto path = dir / name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

Bytes gifWithTinyFrames(int screenWidth, int screenHeight, int frames) {
  Bytes gif = gifHeader(screenWidth, screenHeight);
  for (int i = 0; i < frames; ++i) appendFrame(gif, 0, 0, 1, 1, 1, i);
  appendTrailer(gif);
  return gif;
}

}  // namespace

TEST(PixelAreaLimit, HugeScreenWithOneTinyFrameIsRefusedCheaplyWithTheReason) {
  const Bytes gif = gifWithTinyFrames(65535, 65535, 1);
  bool ok = true;
  image::AnimatedImage animation;
  const Cost cost = measure([&] { animation = loadGif(gif, ok); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(animation.frameCount(), 0u);
  EXPECT_NE(animation.lastError().find("65535 x 65535"), std::string::npos) << animation.lastError();
  EXPECT_NE(animation.lastError().find("limit"), std::string::npos) << animation.lastError();
  EXPECT_LT(cost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(cost.seconds, kQuickSeconds);
}

TEST(PixelAreaLimit, OnePixelAboveTheAreaIsRefusedByEveryReader) {
  // 16385 x 16384 = 2^28 + 16384 pixels.
  bool ok = true;
  auto animation = loadGif(gifWithTinyFrames(16385, 16384, 1), ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(animation.lastError().find("limit"), std::string::npos) << animation.lastError();

  image::RasterImage raster;
  EXPECT_FALSE(raster.create(16385, 16384, 8));
  EXPECT_TRUE(raster.isEmpty());
  EXPECT_FALSE(raster.lastError().empty());

  // A BMP header claiming that size, with a few bytes of pixels.
  Bytes bmp(70, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[10] = 54;
  bmp[14] = 40;
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(18, 16385);
  put32(22, 16384);
  bmp[26] = 1;
  bmp[28] = 24;
  image::BmpCodec bmpCodec;
  image::FrameList frames;
  std::optional<image::ImageProperties> properties;
  const Cost bmpCost = measure([&] { ok = bmpCodec.loadFromMemory(bmp, frames, properties); });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(frames.empty());
  EXPECT_FALSE(bmpCodec.lastError().empty());
  EXPECT_LT(bmpCost.peakGrowthMib, kSmallMemoryMib);

  // A TGA header claiming 65535 x 65535 true-colour pixels, run-length encoded.
  Bytes tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 32, 0x20,
               0xFF, 1, 2, 3, 4};
  image::TgaCodec tgaCodec;
  const Cost tgaCost = measure([&] { ok = tgaCodec.loadFromMemory(tga, frames, properties); });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(frames.empty());
  EXPECT_FALSE(tgaCodec.lastError().empty());
  EXPECT_LT(tgaCost.peakGrowthMib, kSmallMemoryMib);
}

TEST(PixelAreaLimit, LongThinStripWithinTheAreaLoads) {
  bool ok = false;
  auto animation = loadGif(gifWithTinyFrames(10, 63498, 1), ok);
  ASSERT_TRUE(ok) << animation.lastError();
  ASSERT_EQ(animation.frameCount(), 1u);
  EXPECT_EQ(animation.frame(0).width(), 10);
  EXPECT_EQ(animation.frame(0).height(), 63498);

  image::RasterImage strip;
  EXPECT_TRUE(strip.create(10, 63498, 24));
  EXPECT_TRUE(strip.create(63498, 10, 32));
}

TEST(MemoryBudget, FramesThatWouldNeedMoreThanTheBudgetAreRefusedBeforeDecoding) {
  // Three frames on a 16384 x 16384 canvas: 3 GiB of 32-bit canvases, above any budget (2 GiB at
  // most), though every single canvas is within the pixel limit.
  const Bytes gif = gifWithTinyFrames(16384, 16384, 3);
  bool ok = true;
  image::AnimatedImage animation;
  const Cost cost = measure([&] { animation = loadGif(gif, ok); });
  EXPECT_FALSE(ok);
  EXPECT_NE(animation.lastError().find("memory budget"), std::string::npos) << animation.lastError();
  EXPECT_LT(cost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(cost.seconds, kQuickSeconds);
  EXPECT_LE(image::memoryBudgetBytes(), image::kMaxAllocationBytes);
}

TEST(MemoryBudget, ThePlayerRefusesAnOverBudgetFileWithoutDecodingItFrameByFrame) {
  // The player reads the frames and then the delay table from the same file; neither may decode
  // the huge canvases one frame at a time once the file is known to be over the budget.
  const auto path = writeTemp("over-budget.gif", gifWithTinyFrames(16384, 16384, 3));
  convert::PreviewPlayer player;
  bool ok = true;
  const Cost cost = measure([&] { ok = player.load(path.string()); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(player.frameCount(), 0);
  EXPECT_NE(player.lastError().find("memory budget"), std::string::npos) << player.lastError();
  EXPECT_LT(cost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(cost.seconds, kQuickSeconds);
}

TEST(HostileGif, LzwDataExpandingFarBeyondItsFrameEndsAtTheFrame) {
  // About 40 KB of LZW codes that would expand to 100 million pixels, for a 4 x 4 frame.
  Bytes gif = gifHeader(4, 4);
  appendControl(gif, 10);
  const Bytes bomb = lzwRunBomb(100'000'000);
  ASSERT_LT(bomb.size(), 64u * 1024);
  appendImage(gif, 0, 0, 4, 4, bomb);
  appendTrailer(gif);

  bool ok = false;
  image::AnimatedImage animation;
  const Cost cost = measure([&] { animation = loadGif(gif, ok); });
  ASSERT_TRUE(ok) << animation.lastError();
  ASSERT_EQ(animation.frameCount(), 1u);
  EXPECT_EQ(animation.frame(0).width(), 4);
  EXPECT_LT(cost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(cost.seconds, kQuickSeconds);

  controls::AnimatedPicture table;
  const Cost tableCost = measure([&] { table.loadMemory(gif); });
  EXPECT_LT(tableCost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(tableCost.seconds, kQuickSeconds);
}

TEST(HostileGif, FrameRectangleFarLargerThanTheScreenIsClippedCheaply) {
  // A 1 x 1 screen with a frame descriptor of 16384 x 16384 whose data expands to all of it.
  Bytes gif = gifHeader(1, 1);
  appendControl(gif, 10);
  appendImage(gif, 0, 0, 16384, 16384, lzwRunBomb(std::uint64_t{16384} * 16384));
  appendTrailer(gif);
  bool ok = false;
  image::AnimatedImage animation;
  const Cost cost = measure([&] { animation = loadGif(gif, ok); });
  // Either the frame is clipped to the screen or the file is refused; never a 1 GiB canvas.
  if (ok) {
    ASSERT_EQ(animation.frameCount(), 1u);
    EXPECT_EQ(animation.frame(0).width(), 1);
    EXPECT_EQ(animation.frame(0).height(), 1);
  }
  EXPECT_LT(cost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(cost.seconds, 2 * kQuickSeconds);
}

TEST(HostileGif, HundredThousandOnePixelFramesStayBounded) {
  const Bytes gif = gifWithTinyFrames(1, 1, 100000);
  bool ok = false;
  image::AnimatedImage animation;
  const Cost cost = measure([&] { animation = loadGif(gif, ok); });
  ASSERT_TRUE(ok) << animation.lastError();
  EXPECT_EQ(animation.frameCount(), 100000u);
  EXPECT_LT(cost.peakGrowthMib, 256);
  EXPECT_LT(cost.seconds, 2 * kQuickSeconds);

  controls::AnimatedPicture table;
  const Cost tableCost = measure([&] { table.loadMemory(gif); });
  EXPECT_EQ(table.countedFrames(), 100000);
  EXPECT_LT(tableCost.peakGrowthMib, 256);
  EXPECT_LT(tableCost.seconds, 2 * kQuickSeconds);
}

TEST(HostileGif, ManyFramesOnALargeScreenAreRefusedByTheBudgetNotDecodedOneByOne) {
  // 20000 one-pixel frames on a 1000 x 1000 screen: 80 GB of canvases. Refused at once, and the
  // player's delay table must not decode 20000 standalone frames of 4 MB each either.
  const auto path = writeTemp("many-frames-large-screen.gif", gifWithTinyFrames(1000, 1000, 20000));
  convert::PreviewPlayer player;
  bool ok = true;
  const Cost cost = measure([&] { ok = player.load(path.string()); });
  EXPECT_FALSE(ok);
  EXPECT_NE(player.lastError().find("memory budget"), std::string::npos) << player.lastError();
  EXPECT_LT(cost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(cost.seconds, 2 * kQuickSeconds);
}

#ifdef BREVANTO_CONVERT_EXE
TEST(ConverterLimits, ErrorLinesNameTheFileAndTheLimitAndTheOtherFilesConvert) {
  const auto huge = writeTemp("huge-screen.gif", gifWithTinyFrames(65535, 65535, 1));
  const auto overBudget = writeTemp("over-budget-cli.gif", gifWithTinyFrames(16384, 16384, 3));
  const auto fine = writeTemp("fine.gif", smallAnimation(6, 4, 2));
  const auto out = std::filesystem::temp_directory_path() / "brevanto-hardening-cli-out";
  std::filesystem::remove_all(out);
  std::filesystem::create_directories(out);
  const std::string command = std::string(BREVANTO_CONVERT_EXE) + " -j 1 -o " + out.string() + " " +
                              huge.string() + " " + overBudget.string() + " " + fine.string() +
                              " 2>&1 >/dev/null";
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
  EXPECT_TRUE(lineWith(huge.string(), "limit of 268435456 pixels")) << output;
  EXPECT_TRUE(lineWith(overBudget.string(), "memory budget")) << output;
  EXPECT_TRUE(std::filesystem::exists(out / "fine.swf"));
  EXPECT_FALSE(std::filesystem::exists(out / "huge-screen.swf"));
  EXPECT_LT(cost.seconds, kQuickSeconds * 2);
  // The largest child process's peak memory (the converter): the refusals cost nothing.
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  EXPECT_LT(children.ru_maxrss / 1024.0, kSmallMemoryMib);
  std::filesystem::remove_all(out);
}
#endif

TEST(MemoryBudget, TheFrameTableDoesNotSplitAGifTheDecoderRefuses) {
  // The table decodes split frames one by one on the whole screen; for a GIF over the budget
  // that would be a 1 GiB canvas per frame.
  const Bytes gif = gifWithTinyFrames(16384, 16384, 3);
  controls::AnimatedPicture table;
  bool loaded = true;
  const Cost cost = measure([&] { loaded = table.loadMemory(gif); });
  EXPECT_FALSE(loaded);
  EXPECT_TRUE(table.frames().empty());
  EXPECT_EQ(table.animatedFrameCount(), 0);
  EXPECT_LT(cost.peakGrowthMib, kSmallMemoryMib);
  EXPECT_LT(cost.seconds, kQuickSeconds);
}

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
  const auto path = writeTemp("encoded." + extension, {});
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, "90");
  EXPECT_TRUE(image::ImageCodecFactory::save(picture, path, properties));
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

bool refusedCheaply(const Bytes& file, image::ImageFormat format, const std::string& expected,
                    std::string& error) {
  image::AnimatedImage animation;
  bool ok = true;
  const Cost cost = measure([&] { ok = animation.loadFromMemory(file, format); });
  error = animation.lastError();
  return !ok && animation.frameCount() == 0 && error.find(expected) != std::string::npos &&
         cost.peakGrowthMib < kSmallMemoryMib && cost.seconds < kQuickSeconds;
}

}  // namespace

TEST(PixelAreaLimit, PngJpegTiffAndIconHeadersBeyondTheAreaAreRefusedCheaply) {
  std::string error;

  Bytes png = encoded("png");
  ASSERT_GT(png.size(), 33u);
  putBe32(png, 16, 20000);
  putBe32(png, 20, 20000);
  putBe32(png, 29, crc32(png.data() + 12, 17));
  EXPECT_TRUE(refusedCheaply(png, image::ImageFormat::Png, "limit", error)) << "PNG: " << error;

  Bytes jpeg = encoded("jpg");
  bool patched = false;
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      // 20000 x 20000 (within what the JPEG format allows, beyond the pixel limit).
      jpeg[i + 5] = jpeg[i + 7] = 0x4E;
      jpeg[i + 6] = jpeg[i + 8] = 0x20;
      patched = true;
      break;
    }
  }
  ASSERT_TRUE(patched);
  EXPECT_TRUE(refusedCheaply(jpeg, image::ImageFormat::Jpeg, "limit", error)) << "JPEG: " << error;

  EXPECT_TRUE(refusedCheaply(manyPageTiff(16385, 16384, 1), image::ImageFormat::Tiff, "limit", error))
      << "TIFF: " << error;

  // An icon whose one entry is a 32-bit DIB of 65535 x 65535 pixels.
  Bytes ico = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 22, 0, 0, 0};
  const Bytes dib = {40, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFE, 0xFF, 1, 0, 1, 0, 32, 0,
                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ico.insert(ico.end(), dib.begin(), dib.end());
  ico.insert(ico.end(), 64, 0x7F);
  EXPECT_TRUE(refusedCheaply(ico, image::ImageFormat::Ico, "limit", error)) << "ICO: " << error;
}

TEST(MemoryBudget, ManyLargeTiffPagesAreRefusedBeforeAnyPageIsDecoded) {
  // Five 8192 x 8192 pages: each within the pixel limit, together beyond the budget.
  std::string error;
  EXPECT_TRUE(refusedCheaply(manyPageTiff(8192, 8192, 5), image::ImageFormat::Tiff, "memory budget", error))
      << error;
}
