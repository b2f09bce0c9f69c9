#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <utility>

#include "image/AnimatedImage.h"
#include "image/BmpCodec.h"
#include "image/ImageCodecFactory.h"
#include "image/TgaCodec.h"
#include "tests/support/Bytes.h"
#include "tests/support/Files.h"

namespace brevanto::image {
namespace {

using testing::identifySize;
using testing::u16At;
using testing::u32At;

template <typename Codec>
bool decode(const std::vector<std::uint8_t>& bytes, RasterImage& out, std::optional<ImageProperties>* props = nullptr) {
  Codec codec;
  FrameList frames;
  std::optional<ImageProperties> holder;
  if (!codec.loadFromMemory(bytes, frames, holder)) return false;
  if (frames.size() != 1) return false;
  out = frames.take(0);
  if (props) *props = holder;
  return true;
}

// The writer's bytes for an image it can hold.
template <typename Codec>
std::vector<std::uint8_t> written(const RasterImage& image) {
  auto bytes = Codec().encode(image);
  EXPECT_TRUE(bytes) << bytes.error();
  return bytes ? std::move(*bytes) : std::vector<std::uint8_t>{};
}

RasterImage pattern(int w, int h, int bits) {
  RasterImage image;
  EXPECT_TRUE(image.create(w, h, bits));
  for (int y = 0; y < h; ++y) {
    for (std::size_t i = 0; i < image.stride(); ++i) image.row(y)[i] = static_cast<std::uint8_t>(y * 31 + i * 7 + 1);
  }
  return image;
}

TEST(Bmp, ByteSizesAndLayout) {
  RasterImage image = pattern(3, 2, 8);
  image.setPaletteEntry(255, {1, 2, 3, 4});
  auto bytes = written<BmpCodec>(image);
  ASSERT_EQ(bytes.size(), 1086u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(u32At(bytes, 2), 1086u);
  EXPECT_EQ(u32At(bytes, 10), 1078u);
  EXPECT_EQ(u32At(bytes, 14), 40u);
  EXPECT_EQ(bytes[54 + 255 * 4 + 3], 4);
  EXPECT_EQ(bytes[1078], image.pixels()[0]);  // bottom row first

  RasterImage sixteen;
  ASSERT_TRUE(sixteen.create(3, 2, kMasks565));
  bytes = written<BmpCodec>(sixteen);
  EXPECT_EQ(bytes.size(), 82u);
  EXPECT_EQ(u32At(bytes, 10), 66u);
  EXPECT_EQ(u32At(bytes, 58), 0x07E0u);
  ASSERT_TRUE(sixteen.create(3, 2, 16));
  EXPECT_EQ(written<BmpCodec>(sixteen).size(), 70u);
}

TEST(Bmp, RoundTripKeepsPixelsPaletteAndMasks) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    RasterImage image = pattern(5, 3, bits);
    if (bits <= 8) image.setPaletteEntry(1, {10, 20, 30, 0});
    RasterImage back;
    ASSERT_TRUE(decode<BmpCodec>(written<BmpCodec>(image), back)) << bits;
    EXPECT_EQ(back.bitCount(), bits);
    EXPECT_TRUE(std::equal(back.pixels().begin(), back.pixels().end(), image.pixels().begin()));
    if (bits <= 8) {
      EXPECT_EQ(back.palette()[1], (PaletteEntry{10, 20, 30, 0}));
    }
  }
  RasterImage image;
  ASSERT_TRUE(image.create(2, 2, kMasks565));
  RasterImage back;
  ASSERT_TRUE(decode<BmpCodec>(written<BmpCodec>(image), back));
  EXPECT_EQ(back.masks(), kMasks565);
}

TEST(Bmp, MalformedFilesFailOrLoadWhatIsThere) {
  const RasterImage image = pattern(4, 4, 24);
  const auto good = written<BmpCodec>(image);
  RasterImage out;
  auto broken = [&](auto edit) {
    auto bytes = good;
    edit(bytes);
    return decode<BmpCodec>(bytes, out);
  };
  EXPECT_FALSE(broken([](auto& b) { b.resize(14); }));
  EXPECT_FALSE(broken([](auto& b) { b[0] = 'X'; }));
  EXPECT_FALSE(broken([](auto& b) {
    b[10] = 0xFF;
    b[11] = 0xFF;
  }));                                                  // offset beyond the file
  EXPECT_FALSE(broken([](auto& b) { b[25] = 0xFF; }));  // negative height
  EXPECT_FALSE(broken([](auto& b) { b[30] = 1; }));     // RLE8 compression
  EXPECT_FALSE(broken([](auto& b) { b[28] = 2; }));     // 2-bit
  EXPECT_FALSE(broken([](auto& b) {
    b[18] = 0;
    b[19] = 0;
    b[20] = 0;
    b[21] = 0x40;
  }));                                                  // 2^30 wide
  EXPECT_FALSE(broken([](auto& b) { b.resize(20); }));  // header cut
  // A file cut inside its pixels keeps what it has; the rest is zero.
  ASSERT_TRUE(broken([](auto& b) { b.resize(54 + 16 + 5); }));
  EXPECT_EQ(out.pixels()[20], good[54 + 20]);
  EXPECT_EQ(out.pixels()[21], 0);
  // A palette that would run past the data is read as far as it goes.
  RasterImage indexed = pattern(2, 2, 8);
  auto bytes = written<BmpCodec>(indexed);
  bytes[14] = 0xF0;  // info header size claims 0xF0 bytes
  bytes[15] = 0xFF;
  EXPECT_TRUE(decode<BmpCodec>(bytes, out));
}

TEST(Tga, ByteSizesAndHeader) {
  auto bytes = written<TgaCodec>(pattern(3, 2, 24));
  ASSERT_EQ(bytes.size(), 48u);
  EXPECT_EQ(std::vector(bytes.begin(), bytes.begin() + 3), (std::vector<std::uint8_t>{12, 0, 2}));
  EXPECT_EQ(u16At(bytes, 5), 256);
  EXPECT_EQ(bytes[7], 24);
  EXPECT_EQ(bytes[16], 24);
  EXPECT_EQ(bytes[17], 0x20);
  EXPECT_EQ(std::string(bytes.begin() + 18, bytes.begin() + 30), "Kelvo -- TGA");

  RasterImage indexed = pattern(3, 2, 8);
  indexed.setPaletteEntry(2, {7, 8, 9, 10});
  bytes = written<TgaCodec>(indexed);
  ASSERT_EQ(bytes.size(), 804u);
  EXPECT_EQ(bytes[1], 1);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[30 + 6], 7);
  EXPECT_EQ(bytes[30 + 8], 9);
  EXPECT_EQ(bytes[798], indexed.row(0)[0]);  // top row first, unpadded

  EXPECT_EQ(TgaCodec().encode(pattern(3, 2, 4)).error(), "TGA cannot hold 4-bit images");
  EXPECT_FALSE(TgaCodec().encode(pattern(3, 2, 1)));
  EXPECT_FALSE(TgaCodec().encode(RasterImage{}));
}

TEST(Tga, RoundTripEveryWritableDepth) {
  for (int bits : {8, 16, 24, 32}) {
    RasterImage image = pattern(5, 3, bits);
    if (bits == 8) image.setPaletteEntry(3, {1, 2, 3, 0});
    RasterImage back;
    std::optional<ImageProperties> props;
    ASSERT_TRUE(decode<TgaCodec>(written<TgaCodec>(image), back, &props)) << bits;
    ASSERT_EQ(back.bitCount(), bits);
    for (int y = 0; y < 3; ++y) {
      EXPECT_EQ(std::memcmp(back.row(y), image.row(y), 5u * (bits / 8)), 0) << bits << " row " << y;
    }
    if (bits == 8) {
      EXPECT_EQ(back.palette()[3], (PaletteEntry{1, 2, 3, 0}));
    }
    ASSERT_TRUE(props);
    EXPECT_EQ(props->get(ImageProperties::RleKey), "-1");
  }
}

// An 18-byte TGA header for a w x h image of the given type and depth, with a colour map of
// `mapLength` entries of `mapDepth` bits from entry `mapFirst` when mapLength is not 0.
std::vector<std::uint8_t> tgaHeader(int type, int w, int h, int depth, std::uint8_t descriptor, int mapFirst = 0,
                                    int mapLength = 0, int mapDepth = 0) {
  std::vector<std::uint8_t> b(18, 0);
  b[1] = mapLength ? 1 : 0;
  b[2] = static_cast<std::uint8_t>(type);
  b[3] = static_cast<std::uint8_t>(mapFirst);
  b[5] = static_cast<std::uint8_t>(mapLength);
  b[7] = static_cast<std::uint8_t>(mapDepth);
  b[12] = static_cast<std::uint8_t>(w);
  b[14] = static_cast<std::uint8_t>(h);
  b[16] = static_cast<std::uint8_t>(depth);
  b[17] = descriptor;
  return b;
}

TEST(Tga, RunLengthPackets) {
  // 4 x 2, 24-bit, bottom-first: a run of 3 red, a raw blue + green, then a run of 3 white
  // that crosses from the first file row into... the second row.
  auto b = tgaHeader(10, 4, 2, 24, 0);
  const std::vector<std::uint8_t> packets = {0x82, 0,   0,   255,             // run 3 red
                                             0x01, 255, 0,   0,   0, 255, 0,  // raw blue, green
                                             0x82, 255, 255, 255};            // run 3 white
  b.insert(b.end(), packets.begin(), packets.end());
  RasterImage image;
  std::optional<ImageProperties> props;
  ASSERT_TRUE(decode<TgaCodec>(b, image, &props));
  EXPECT_EQ(props->get(ImageProperties::RleKey), "1");
  // File row 0 is the bottom row (display row 1).
  EXPECT_EQ(image.pixel(0, 1)[2], 255);
  EXPECT_EQ(image.pixel(2, 1)[2], 255);
  EXPECT_EQ(image.pixel(3, 1)[0], 255);  // blue
  EXPECT_EQ(image.pixel(0, 0)[1], 255);  // green starts the next file row
  EXPECT_EQ(image.pixel(1, 0)[0], 255);
  EXPECT_EQ(image.pixel(3, 0)[2], 255);
}

TEST(Tga, MalformedRunLengthDataIsClamped) {
  // A run of 128 pixels into a 2 x 2 image, then garbage: only the 4 pixels are written.
  auto b = tgaHeader(11, 2, 2, 8, 0x20);
  b.insert(b.end(), {0xFF, 9, 0xFF, 9, 0x7F, 1});
  RasterImage image;
  ASSERT_TRUE(decode<TgaCodec>(b, image));
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(image.row(y)[0], 9);
    EXPECT_EQ(image.row(y)[1], 9);
    EXPECT_EQ(image.row(y)[2], 0);  // row padding untouched
  }
  // A raw packet that claims more bytes than the file has: what is there is kept.
  b = tgaHeader(10, 3, 1, 32, 0x20);
  b.insert(b.end(), {0x05, 1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(decode<TgaCodec>(b, image));
  EXPECT_EQ(image.pixel(0, 0)[3], 4);
  EXPECT_EQ(image.pixel(1, 0)[0], 0);
  // Run-length data with sub-byte pixels cannot be decoded.
  b = tgaHeader(9, 8, 1, 1, 0x20);
  b.insert(b.end(), {0x81, 1});
  EXPECT_FALSE(decode<TgaCodec>(b, image));
}

TEST(Tga, HeaderChecks) {
  RasterImage image;
  EXPECT_FALSE(decode<TgaCodec>(std::vector<std::uint8_t>(18, 0), image));
  auto b = tgaHeader(2, 2, 2, 0, 0);  // depth 0
  b.push_back(0);
  EXPECT_FALSE(decode<TgaCodec>(b, image));
  b = tgaHeader(2, 2, 2, 24, 0);
  b[7] = 16;  // 16-bit colour map
  b.push_back(0);
  EXPECT_FALSE(decode<TgaCodec>(b, image));
  b = tgaHeader(1, 2, 2, 8, 0, 200, 100, 24);  // first 200 + length 100 > 256
  b.push_back(0);
  EXPECT_FALSE(decode<TgaCodec>(b, image));
  // Depth 15 is read as 5-5-5; a colour map placed from entry 4 with 32-bit entries keeps alpha.
  b = tgaHeader(2, 1, 1, 15, 0);
  b.insert(b.end(), {0x1F, 0x00});
  ASSERT_TRUE(decode<TgaCodec>(b, image));
  EXPECT_EQ(image.masks(), kMasks555);
  b = tgaHeader(1, 1, 1, 8, 0, 4, 1, 32);
  b.insert(b.end(), {10, 20, 30, 40, 4});
  ASSERT_TRUE(decode<TgaCodec>(b, image));
  EXPECT_EQ(image.palette()[4], (PaletteEntry{10, 20, 30, 40}));
  EXPECT_EQ(image.palette()[0], PaletteEntry{});
  EXPECT_EQ(image.row(0)[0], 4);
}

class CodecFiles : public ::testing::Test {
 protected:
  const brevanto::testing::ScratchFolder dir_;
};

TEST_F(CodecFiles, SaveAndLoadThroughTheFactory) {
  RasterImage image = pattern(7, 5, 24);
  ImageProperties props;
  props.set(ImageProperties::QualityKey, "-1");
  for (const char* name : {"a.bmp", "b.TGA"}) {
    const auto path = dir_ / name;
    ASSERT_TRUE(ImageCodecFactory::save(image, path, props)) << name;
    AnimatedImage loaded;
    ImageProperties meta;
    ASSERT_TRUE(loaded.load(path, &meta)) << name;
    ASSERT_EQ(loaded.frameCount(), 1u);
    for (int y = 0; y < 5; ++y) EXPECT_EQ(std::memcmp(loaded.frame(0).row(y), image.row(y), 21), 0);
    // A second load appends after the frames already held.
    ASSERT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded.frameCount(), 2u);
  }
  // A save that cannot be made says why.
  const auto refusal = [&](const RasterImage& picture, const std::filesystem::path& path) {
    const auto saved = ImageCodecFactory::save(picture, path, props);
    return saved ? std::string("saved") : saved.error();
  };
  EXPECT_EQ(refusal(image, dir_ / "c.pcx"), "no writer for the file type of " + (dir_ / "c.pcx").string());
  EXPECT_NE(refusal(image, dir_ / "noextension"), "saved");
  EXPECT_EQ(refusal(RasterImage{}, dir_ / "d.bmp"), "no image to write");
  EXPECT_EQ(refusal(image, ""), "no file name to write to");
  EXPECT_EQ(refusal(pattern(3, 3, 4), dir_ / "e.tga"), "TGA cannot hold 4-bit images");
  EXPECT_EQ(refusal(image, dir_ / "missing" / "f.bmp"), "cannot create " + (dir_ / "missing" / "f.bmp").string());

  AnimatedImage none;
  const auto absent = none.load(dir_ / "absent.bmp");
  ASSERT_FALSE(absent);
  EXPECT_FALSE(absent.error().empty());
  std::ofstream(dir_ / "empty.tga").close();
  EXPECT_FALSE(none.load(dir_ / "empty.tga"));
  EXPECT_EQ(none.frameCount(), 0u);
}

TEST_F(CodecFiles, TgaRefusesSidesBeyond65535AndWritesNothing) {
  // The header holds 16-bit sizes: 65535 still fits, anything larger is an error, not a
  // file with a wrapped size.
  RasterImage widest;
  ASSERT_TRUE(widest.create(65535, 1, 8));
  EXPECT_EQ(u16At(written<TgaCodec>(widest), 12), 65535);
  for (const auto& [w, h] : {std::pair{70000, 1}, std::pair{1, 65536}}) {
    RasterImage image;
    ASSERT_TRUE(image.create(w, h, 8));
    EXPECT_FALSE(TgaCodec().encode(image));
    const auto path = dir_ / "big.tga";
    TgaCodec codec;
    const auto saved = codec.saveToFile(path, std::span<const RasterImage>(&image, 1), ImageProperties{});
    ASSERT_FALSE(saved);
    EXPECT_NE(saved.error().find("65535"), std::string::npos) << saved.error();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(ImageCodecFactory::save(image, path, ImageProperties{}));  // through the factory too
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

TEST_F(CodecFiles, ImageMagickReadsTheFilesWeWrite) {
  if (!testing::haveImageMagick()) GTEST_SKIP() << "ImageMagick not installed";
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    const RasterImage image = pattern(7, 3, bits);
    for (const char* ext : {".bmp", ".tga"}) {
      if (std::string(ext) == ".tga" && bits < 8) continue;
      const auto path = dir_ / (std::to_string(bits) + ext);
      ASSERT_TRUE(ImageCodecFactory::save(image, path, ImageProperties{}));
      EXPECT_EQ(identifySize(path), "7x3") << path;
    }
  }
}

}  // namespace
}  // namespace brevanto::image
