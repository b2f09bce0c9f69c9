// Round trips through the imaging layer's writers and readers, checked by our own readers and
// by ImageMagick where it is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "image/AnimatedImage.h"
#include "image/ImageCodec.h"
#include "image/ImageCodecFactory.h"
#include "image/platform/PlatformCodec.h"
#include "tests/support/Bytes.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"

namespace fs = std::filesystem;
using namespace brevanto::image;
using brevanto::testing::GifBuilder;

namespace {

using brevanto::testing::ScratchFolder;

// A 32-bit frame with a colour gradient and a transparent (white, alpha 0) square.
RasterImage gradientFrame(int w, int h) {
  RasterImage image;
  EXPECT_TRUE(image.create(w, h, 32));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      const bool hole = x < w / 4 && y < h / 4;
      p[0] = hole ? 255 : static_cast<std::uint8_t>(x * 255 / (w - 1));
      p[1] = hole ? 255 : static_cast<std::uint8_t>(y * 255 / (h - 1));
      p[2] = hole ? 255 : static_cast<std::uint8_t>((x + y) * 127 / (w + h));
      p[3] = hole ? 0 : 255;
    }
  }
  return image;
}

bool samePixels(const RasterImage& a, const RasterImage& b, bool compareAlpha = true) {
  if (a.width() != b.width() || a.height() != b.height() || a.bitCount() != 32 || b.bitCount() != 32) return false;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const std::uint8_t* p = a.pixel(x, y);
      const std::uint8_t* q = b.pixel(x, y);
      if (p[0] != q[0] || p[1] != q[1] || p[2] != q[2] || (compareAlpha && p[3] != q[3])) return false;
    }
  }
  return true;
}

AnimatedImage load(const fs::path& path, ImageProperties* props = nullptr) {
  AnimatedImage image;
  const auto loaded = image.load(path, props);
  EXPECT_TRUE(loaded) << path << ": " << (loaded ? std::string() : loaded.error());
  return image;
}

// Saves `image` as `path` through the factory and loads the file back.
AnimatedImage saveAndLoad(const RasterImage& image, const fs::path& path, const ImageProperties& props = {},
                          ImageProperties* read = nullptr) {
  EXPECT_TRUE(ImageCodecFactory::save(image, path, props)) << path;
  return load(path, read);
}

// A fixture only for its scratch folder.
class PlatformCodecTest : public ::testing::Test {
 protected:
  ScratchFolder dir;
};

using brevanto::testing::haveImageMagick;
using brevanto::testing::identifySize;

double psnrOverWhite(const RasterImage& reference, const RasterImage& decoded) {
  double error = 0;
  std::size_t samples = 0;
  for (int y = 0; y < reference.height(); ++y) {
    for (int x = 0; x < reference.width(); ++x) {
      const std::uint8_t* p = reference.pixel(x, y);
      const std::uint8_t* q = decoded.pixel(x, y);
      for (int c = 0; c < 3; ++c) {
        const double expected = p[3] == 0 ? 255.0 : p[c];
        error += (expected - q[c]) * (expected - q[c]);
        ++samples;
      }
    }
  }
  const double mse = error / static_cast<double>(samples);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

TEST_F(PlatformCodecTest, GifFrameSavedAsGifReadsBackPixelForPixel) {
  // A composed GIF frame with transparency...
  GifBuilder gif(5, 3, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456});
  gif.control({.delay = 10, .transparent = 3})
      .image(0, 0, 5, 3, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 3, 3, 0})
      .trailer();
  FrameList frames;
  std::optional<ImageProperties> props;
  brevanto::image::PlatformCodec codec;
  ASSERT_TRUE(codec.loadFromMemory(gif.bytes(), frames, props));
  AnimatedImage back = saveAndLoad(frames[0], dir / "frame.gif");
  ASSERT_EQ(back.frameCount(), 1u);
  EXPECT_TRUE(samePixels(frames[0], back.frame(0)));

  // ...and a picture of more than 256 colours comes back quantised but close.
  const RasterImage gradient = gradientFrame(64, 48);
  AnimatedImage many = saveAndLoad(gradient, dir / "many.gif");
  EXPECT_GT(psnrOverWhite(gradient, many.frame(0)), 30.0);
  EXPECT_EQ(many.frame(0).pixel(0, 0)[3], 0);  // the transparent square stays transparent
}

TEST_F(PlatformCodecTest, PngAndTiffKeepAlphaAndJpegComposesOverWhite) {
  const RasterImage frame = gradientFrame(40, 30);
  ImageProperties props;
  for (const char* name : {"a.png", "a.tif", "a.tiff"}) {
    AnimatedImage back = saveAndLoad(frame, dir / name, props);
    ASSERT_EQ(back.frameCount(), 1u) << name;
    EXPECT_TRUE(samePixels(frame, back.frame(0))) << name;
  }
  props.set(ImageProperties::QualityKey, "100");
  AnimatedImage jpeg = saveAndLoad(frame, dir / "a.JPG", props);
  ASSERT_EQ(jpeg.frame(0).bitCount(), 24);
  RasterImage decoded;
  ASSERT_TRUE(decoded.create(40, 30, 32));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) std::memcpy(decoded.pixel(x, y), jpeg.frame(0).pixel(x, y), 3);
  EXPECT_GT(psnrOverWhite(frame, decoded), 40.0);
  const std::uint8_t* corner = jpeg.frame(0).pixel(1, 1);
  EXPECT_GT(corner[0] + corner[1] + corner[2], 3 * 245);  // white where the frame was transparent
}

TEST_F(PlatformCodecTest, JpegQualityRulesAndInMemoryBytesMatchTheFile) {
  const RasterImage frame = gradientFrame(64, 64);
  for (int quality : {1, 75, 90, 100}) {
    ImageProperties props;
    props.set(ImageProperties::QualityKey, std::to_string(quality));
    ASSERT_TRUE(ImageCodecFactory::save(frame, dir / "q.jpeg", props));
    EXPECT_EQ(*encodeJpeg(frame, quality), *readPictureFile(dir / "q.jpeg")) << quality;
  }
  // Out-of-range qualities are clamped; "-1" and empty mean 80.
  EXPECT_EQ(*encodeJpeg(frame, 0), *encodeJpeg(frame, 1));
  EXPECT_EQ(*encodeJpeg(frame, 150), *encodeJpeg(frame, 100));
  ImageProperties defaults;
  defaults.set(ImageProperties::QualityKey, "-1");
  ASSERT_TRUE(ImageCodecFactory::save(frame, dir / "d.jpg", defaults));
  EXPECT_EQ(*encodeJpeg(frame, 80), *readPictureFile(dir / "d.jpg"));
  // Quality applies to JPEG only.
  ImageProperties low, high;
  low.set(ImageProperties::QualityKey, "10");
  high.set(ImageProperties::QualityKey, "90");
  ASSERT_TRUE(ImageCodecFactory::save(frame, dir / "low.png", low));
  ASSERT_TRUE(ImageCodecFactory::save(frame, dir / "high.png", high));
  EXPECT_EQ(*readPictureFile(dir / "low.png"), *readPictureFile(dir / "high.png"));
}

TEST_F(PlatformCodecTest, CameraPropertiesSurviveJpegAndTiff) {
  const RasterImage frame = gradientFrame(8, 8);
  const std::pair<int, const char*> items[] = {{271, "Brevanto Camera"}, {272, "Model 7"},   {33434, "1/250"},
                                               {37380, "-1/3"},           {34855, "400"},       {36867, "2024:01:02 03:04:05"}};
  ImageProperties props;
  for (const auto& [id, text] : items) props.set(id, text);
  ImageProperties jpeg, tiff;
  saveAndLoad(frame, dir / "p.jpg", props, &jpeg);
  saveAndLoad(frame, dir / "p.tif", props, &tiff);
  for (const auto& [id, text] : items) EXPECT_EQ(jpeg.get(id), text) << id;
  for (const auto& [id, text] : {items[0], items[1]}) EXPECT_EQ(tiff.get(id), text) << id;
}

TEST_F(PlatformCodecTest, IndexedAnd16BitImagesAreWritten) {
  RasterImage indexed;
  ASSERT_TRUE(indexed.create(9, 5, 4));
  for (int i = 0; i < 16; ++i) indexed.setPaletteEntry(i, PaletteEntry{static_cast<std::uint8_t>(i * 16), 0, 255, 0});
  for (int y = 0; y < 5; ++y) indexed.row(y)[0] = static_cast<std::uint8_t>(0x12 + y);
  RasterImage rgb565;
  ASSERT_TRUE(rgb565.create(7, 3, kMasks565));
  rgb565.row(1)[2] = 0xFF;
  for (const RasterImage* image : {&indexed, &rgb565}) {
    for (const char* name : {"i.gif", "i.png", "i.tif", "i.jpg"}) {
      AnimatedImage back = saveAndLoad(*image, dir / name);
      ASSERT_EQ(back.frameCount(), 1u) << name;
      EXPECT_EQ(back.frame(0).width(), image->width()) << name;
    }
  }
  // The GIF of a 4-bit image keeps its palette colours exactly.
  AnimatedImage back = saveAndLoad(indexed, dir / "x.gif");
  const std::uint8_t* p = back.frame(0).pixel(1, 2);
  EXPECT_EQ(p[0], 0x4 * 16);  // index 0x4 is the low nibble of 0x14: pixel 1 of row 2
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 255);
}

TEST_F(PlatformCodecTest, FailuresAreCleanAndLeaveNoPartialFile) {
  const RasterImage frame = gradientFrame(4, 4);
  brevanto::image::PlatformCodec codec;
  const RasterImage frames[1] = {frame};
  EXPECT_FALSE(codec.saveToFile(dir / "x.ico", frames, ImageProperties{}));
  EXPECT_FALSE(codec.saveToFile(dir / "x.pcx", frames, ImageProperties{}));
  EXPECT_FALSE(ImageCodecFactory::save(frame, dir / "missing" / "x.png", ImageProperties{}));
  EXPECT_FALSE(encodeJpeg(RasterImage{}, 80));
  EXPECT_FALSE(fs::exists(dir / "missing"));
  FrameList list;
  std::optional<ImageProperties> props;
  const std::uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8};
  const auto refused = codec.loadFromMemory(junk, list, props);
  ASSERT_FALSE(refused);
  EXPECT_FALSE(refused.error().empty());
  const std::uint8_t badJpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 2, 0xFF, 0xD9};
  EXPECT_FALSE(codec.loadFromMemory(badJpeg, list, props));
  EXPECT_TRUE(list.empty());
}

TEST_F(PlatformCodecTest, IconsWithDibAndPngEntries) {
  // A 2x2 32-bit DIB entry (alpha used) and, larger, a 3x3 PNG entry made by our own writer.
  RasterImage png = gradientFrame(3, 3);
  std::vector<std::uint8_t> pngBytes = *brevanto::image::PlatformCodec().encode(png, ImageFormat::Png, ImageProperties{});
  ASSERT_FALSE(pngBytes.empty());
  std::vector<std::uint8_t> dib(40 + 2 * 2 * 4 + 2 * 4, 0);
  dib[0] = 40, dib[4] = 2, dib[8] = 4, dib[12] = 1, dib[14] = 32;
  const std::uint8_t pixels[16] = {0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 255, 0, 0, 0, 0};
  std::memcpy(&dib[40], pixels, 16);
  // The icon is laid out in a vector of its final size: header, directory entries, then the
  // images (appending with insert() trips a false -Warray-bounds in GCC 12 at -O3).
  auto icon = [&](bool withPng) {
    const std::size_t entries = withPng ? 2 : 1;
    const std::size_t first = 6 + 16 * entries;
    std::vector<std::uint8_t> ico(first + dib.size() + (withPng ? pngBytes.size() : 0), 0);
    ico[2] = 1;
    ico[4] = static_cast<std::uint8_t>(entries);
    auto entry = [&](std::size_t index, int size, std::size_t bytes, std::size_t offset) {
      std::uint8_t* e = &ico[6 + 16 * index];
      e[0] = e[1] = static_cast<std::uint8_t>(size);
      e[4] = 1;
      e[6] = 32;
      e[8] = static_cast<std::uint8_t>(bytes);
      e[9] = static_cast<std::uint8_t>(bytes >> 8);
      e[12] = static_cast<std::uint8_t>(offset);
      e[13] = static_cast<std::uint8_t>(offset >> 8);
    };
    entry(0, 2, dib.size(), first);
    std::copy(dib.begin(), dib.end(), ico.begin() + static_cast<std::ptrdiff_t>(first));
    if (withPng) {
      entry(1, 3, pngBytes.size(), first + dib.size());
      std::copy(pngBytes.begin(), pngBytes.end(), ico.begin() + static_cast<std::ptrdiff_t>(first + dib.size()));
    }
    return ico;
  };
  brevanto::image::PlatformCodec codec;
  FrameList list;
  std::optional<ImageProperties> props;
  ASSERT_TRUE(codec.loadFromMemory(icon(false), list, props));
  ASSERT_EQ(list[0].width(), 2);
  EXPECT_EQ(list[0].pixel(0, 1)[2], 255);  // bottom-up: first stored pixel is the bottom-left
  EXPECT_EQ(list[0].pixel(1, 1)[3], 128);
  EXPECT_EQ(list[0].pixel(1, 0)[3], 0);
  ASSERT_TRUE(codec.loadFromMemory(icon(true), list, props));
  EXPECT_EQ(list[1].width(), 3);
  EXPECT_TRUE(samePixels(png, list[1]));
  // Truncated icons fail cleanly or give what they hold.
  const auto whole = icon(true);
  for (std::size_t n = 0; n < whole.size(); n += 7) {
    FrameList l;
    const auto partial = codec.loadFromMemory(std::span(whole.data(), n), l, props);
    EXPECT_TRUE(partial ? !l.empty() : l.empty()) << n;
  }
}

TEST_F(PlatformCodecTest, WrittenFilesAreReadByImageMagickWithTheRightSize) {
  if (!haveImageMagick()) GTEST_SKIP() << "ImageMagick not installed";
  const RasterImage frame = gradientFrame(37, 21);
  for (const char* name : {"m.jpg", "m.png", "m.tif", "m.gif", "m.bmp", "m.tga"}) {
    ASSERT_TRUE(ImageCodecFactory::save(frame, dir / name, ImageProperties{})) << name;
    EXPECT_EQ(identifySize(dir / name), "37x21") << name;
  }
}

TEST_F(PlatformCodecTest, MultiPageTiffGivesOneFramePerPage) {
  if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick not installed";
  const std::string command = "convert -size 6x4 xc:red xc:lime xc:blue '" + (dir / "pages.tif").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  AnimatedImage pages = load(dir / "pages.tif");
  ASSERT_EQ(pages.frameCount(), 3u);
  EXPECT_EQ(pages.frame(0).pixel(0, 0)[2], 255);
  EXPECT_EQ(pages.frame(1).pixel(0, 0)[1], 255);
  EXPECT_EQ(pages.frame(2).pixel(0, 0)[0], 255);
}
