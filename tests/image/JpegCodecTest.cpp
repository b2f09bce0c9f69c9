#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdio>  // before jpeglib.h

#include <jpeglib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "image/platform/HuffmanTable.h"
#include "image/platform/JpegCodec.h"
#include "image/platform/JpegCodecTesting.h"
#include "image/platform/PixelRows.h"

using namespace brevanto::image::platform;

// libjpeg's own table builder (exported by libjpeg-turbo without a declaration).
extern "C" void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);

namespace {

// A textured picture (gradients plus a pseudo-random pattern, so the entropy coding has real
// work) in the given format; 32-bit alpha formats get a transparent and a half-covered patch.
struct Picture {
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint32_t> palette;
  ImageView view;
};

Picture makePicture(PixelFormat format, int w, int h, bool bottomUp) {
  Picture p;
  const int bpp = bitsPerPixel(format) / 8;
  const std::size_t stride = static_cast<std::size_t>(w) * static_cast<std::size_t>(bpp);
  p.bytes.resize(stride * static_cast<std::size_t>(h));
  for (std::uint32_t i = 0; i < 256; ++i) p.palette.push_back(0xFF000000u | i * 0x010307u);
  std::uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = p.bytes.data() + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const std::uint8_t noise = static_cast<std::uint8_t>(seed >> 24);
      const std::uint8_t b = static_cast<std::uint8_t>(x * 255 / w), g = static_cast<std::uint8_t>(y * 255 / h);
      const std::uint8_t r = static_cast<std::uint8_t>((x / 4 + y / 4) % 2 ? noise : 128);
      std::uint8_t* px = row + x * bpp;
      if (bpp == 1) {
        px[0] = static_cast<std::uint8_t>(b ^ noise);
        continue;
      }
      px[0] = b, px[1] = g, px[2] = r;
      if (bpp == 4) px[3] = x < w / 4 && y < h / 4 ? 0 : (x > w / 2 && y > h / 2 ? 128 : 255);
    }
  }
  p.view = ImageView{w, h, format, p.bytes.data(), static_cast<std::ptrdiff_t>(stride), p.palette};
  if (bottomUp) {  // same display rows, stored last row first
    std::vector<std::uint8_t> flipped(p.bytes.size());
    for (int y = 0; y < h; ++y)
      std::memcpy(&flipped[stride * static_cast<std::size_t>(h - 1 - y)],
                  &p.bytes[stride * static_cast<std::size_t>(y)], stride);
    p.bytes = std::move(flipped);
    p.view.top = p.bytes.data() + stride * static_cast<std::size_t>(h - 1);
    p.view.stride = -static_cast<std::ptrdiff_t>(stride);
  }
  return p;
}

// The encoding as TurboJPEG's tjCompress2 writes it, with its default Huffman tables or with
// libjpeg's optimised ones: rows composed over white to B, G, R, 4:4:4 from quality 90, 4:2:0
// below.
std::vector<std::uint8_t> turboJpeg(const ImageView& view, int quality, bool optimised) {
  const std::size_t rowBytes = static_cast<std::size_t>(view.width) * 3;
  std::vector<std::uint8_t> bgr(rowBytes * static_cast<std::size_t>(view.height));
  for (int y = 0; y < view.height; ++y) rowToBgrOverWhite(view, y, &bgr[rowBytes * static_cast<std::size_t>(y)]);
  // TurboJPEG 2 has no call for optimised tables, only this switch read at each compression.
  if (optimised) setenv("TJ_OPTIMIZE", "1", 1);
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int status = tjCompress2(handle, bgr.data(), view.width, static_cast<int>(rowBytes), view.height, TJPF_BGR,
                                 &jpeg, &size, quality >= 90 ? TJSAMP_444 : TJSAMP_420, quality, 0);
  std::vector<std::uint8_t> out;
  if (status == 0) out.assign(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  unsetenv("TJ_OPTIMIZE");
  return out;
}

std::vector<std::uint8_t> decodedPixels(const std::vector<std::uint8_t>& jpeg) {
  std::vector<std::uint8_t> pixels;
  decodeJpeg(jpeg, [&](const DecodedFrame& f) {
    pixels = f.pixels;
    return true;
  });
  return pixels;
}

}  // namespace

// Optimised Huffman tables change the entropy coding only: every format and quality decodes
// to exactly TurboJPEG's pixels, in fewer bytes, and the bytes are those of libjpeg's own
// optimising pass (our symbol counting replaces libjpeg's).
TEST(JpegCodec, SamePixelsAsTurboJpegInFewerBytes) {
  struct Case {
    PixelFormat format;
    bool bottomUp;
  };
  for (const Case c :
       {Case{PixelFormat::Argb32, false}, Case{PixelFormat::Rgb32, true}, Case{PixelFormat::Rgb24, true},
        Case{PixelFormat::Rgb24, false}, Case{PixelFormat::PArgb32, false}, Case{PixelFormat::Indexed8, false}}) {
    const Picture picture = makePicture(c.format, 67, 45, c.bottomUp);  // partial MCUs both ways
    for (int quality : {1, 50, 89, 90, 94, 95, 96, 100}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(c.format) << (c.bottomUp ? " bottom-up" : "") << " q"
                                      << quality);
      const std::vector<std::uint8_t> before = turboJpeg(picture.view, quality, false);
      const std::vector<std::uint8_t> after = *encodeJpeg(picture.view, quality);
      ASSERT_FALSE(before.empty());
      ASSERT_FALSE(after.empty());
      EXPECT_LT(after.size(), before.size());
      EXPECT_TRUE(after == turboJpeg(picture.view, quality, true));
      const std::vector<std::uint8_t> pixels = decodedPixels(after);
      ASSERT_FALSE(pixels.empty());
      EXPECT_TRUE(pixels == decodedPixels(before));
    }
  }
}

// Our symbol counting stands on libjpeg internals; when its self-check fails, every picture is
// counted by libjpeg's own pass instead, which must give the same bytes. On this build the
// check passes, so encodeJpeg uses our counting.
TEST(JpegCodec, LibjpegsCountingIsAFallbackWithTheSameBytes) {
  EXPECT_TRUE(ownSymbolCountingChecked());
  for (PixelFormat format : {PixelFormat::Argb32, PixelFormat::Rgb24, PixelFormat::Indexed8}) {
    const Picture picture = makePicture(format, 83, 61, false);
    for (int quality : {1, 60, 94, 100}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(format) << " q" << quality);
      const auto ours = encodeJpegCounting(JpegSymbolCounting::Ours, picture.view, quality);
      const auto theirs = encodeJpegCounting(JpegSymbolCounting::Libjpegs, picture.view, quality);
      ASSERT_TRUE(ours && theirs && !ours->empty());
      EXPECT_TRUE(*ours == *theirs);
      EXPECT_TRUE(*ours == *encodeJpeg(picture.view, quality));
    }
  }
}

// Our table builder against libjpeg's on counts a picture rarely gives all at once: many
// ties, a single symbol, and steep (Fibonacci-like) counts whose codes pass 16 bits and must
// be shortened.
TEST(JpegCodec, OptimalTablesAreLibjpegsOnTiesAndLongCodes) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    long counts[257] = {};
    const int symbols = round == 0 ? 1 : 1 + static_cast<int>(random() % 256);
    long a = 1, b = 1;
    for (int i = 0; i < symbols; ++i) {
      const int symbol = static_cast<int>(random() % 256);
      switch (round % 4) {
        case 0: counts[symbol] = 5; break;  // ties everywhere
        case 1: counts[symbol] = 1 + static_cast<long>(random() % 1000); break;
        case 2:
          counts[symbol] = a;
          a += b;
          b = a - b;
          if (a > 3'000'000) a = b = 1;
          break;  // long codes
        default: counts[symbol] = 1 + static_cast<long>(random() % 3); break;
      }
    }
    long theirCounts[257];
    std::copy(std::begin(counts), std::end(counts), theirCounts);
    JHUFF_TBL theirs{};
    jpeg_gen_optimal_table(&info, &theirs, theirCounts);
    HuffmanTable ours;
    ASSERT_TRUE(buildOptimalHuffmanTable(counts, ours)) << "round " << round;
    ASSERT_EQ(0, std::memcmp(ours.bits.data(), theirs.bits, sizeof theirs.bits)) << "round " << round;
    ASSERT_EQ(0, std::memcmp(ours.values.data(), theirs.huffval, sizeof theirs.huffval)) << "round " << round;
  }
  jpeg_destroy_compress(&info);
}

// A lone coefficient after exactly 16 zeros in zigzag order (row 2, column 3 of the block)
// needs the ZRL symbol; the counting must give it a code.
TEST(JpegCodec, LongZeroRunsAreCounted) {
  const int w = 32, h = 32;
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(w * h * 3));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double v =
          128 + 100 * std::cos((2 * (x % 8) + 1) * 3 * M_PI / 16) * std::cos((2 * (y % 8) + 1) * 2 * M_PI / 16);
      std::memset(&bgr[static_cast<std::size_t>((y * w + x) * 3)], static_cast<int>(v), 3);
    }
  const ImageView view{w, h, PixelFormat::Rgb24, bgr.data(), w * 3, {}};
  for (int quality : {50, 94, 100}) {
    const std::vector<std::uint8_t> ours = *encodeJpeg(view, quality);
    ASSERT_FALSE(ours.empty()) << quality;
    EXPECT_TRUE(ours == turboJpeg(view, quality, true)) << quality;
  }
}

// The movie wraps the bytes as they are, so they must be one complete stream: SOI, the JFIF
// segment, then the Exif segment when there are items, and EOI last.
TEST(JpegCodec, StreamLayoutAndExifPlacement) {
  const Picture picture = makePicture(PixelFormat::Rgb24, 16, 16, false);
  const std::vector<std::uint8_t> plain = *encodeJpeg(picture.view, 80);
  ASSERT_GT(plain.size(), 20u);
  EXPECT_EQ(0, std::memcmp(plain.data(), "\xFF\xD8\xFF\xE0", 4));  // SOI, APP0
  EXPECT_EQ(0, std::memcmp(&plain[6], "JFIF", 5));
  EXPECT_EQ(0, std::memcmp(&plain[plain.size() - 2], "\xFF\xD9", 2));  // EOI

  const brevanto::image::PropertyItem make{271, brevanto::image::PropertyItem::Ascii, {'B', 'r', 'e', 'v', 0}};
  const std::vector<std::uint8_t> tagged = *encodeJpeg(picture.view, 80, std::span(&make, 1));
  const std::size_t app1 = 4 + static_cast<std::size_t>(plain[4] << 8 | plain[5]);
  ASSERT_GT(tagged.size(), app1 + 10);
  EXPECT_EQ(0, std::memcmp(&tagged[app1], "\xFF\xE1", 2));  // APP1
  EXPECT_EQ(0, std::memcmp(&tagged[app1 + 4], "Exif\0\0", 6));
  const std::size_t segment = 2 + static_cast<std::size_t>(tagged[app1 + 2] << 8 | tagged[app1 + 3]);
  // Without the segment the bytes are exactly the plain encoding.
  std::vector<std::uint8_t> stripped = tagged;
  stripped.erase(stripped.begin() + static_cast<std::ptrdiff_t>(app1),
                 stripped.begin() + static_cast<std::ptrdiff_t>(app1 + segment));
  EXPECT_EQ(stripped, plain);
}

// Each thread keeps its own encoder; a failed picture leaves it ready for the next one.
TEST(JpegCodec, ThreadsAgreeAndAFailureDoesNotPoisonTheEncoder) {
  const Picture picture = makePicture(PixelFormat::Argb32, 40, 30, false);
  const std::vector<std::uint8_t> expected = *encodeJpeg(picture.view, 94);
  std::vector<std::uint8_t> fromThread;
  std::thread([&] { fromThread = *encodeJpeg(picture.view, 94); }).join();
  EXPECT_EQ(fromThread, expected);

  std::vector<std::uint8_t> wide(70000 * 3);  // wider than a JPEG can be
  const auto tooWide = encodeJpeg(ImageView{70000, 1, PixelFormat::Rgb24, wide.data(), 70000 * 3, {}}, 94);
  ASSERT_FALSE(tooWide);
  EXPECT_FALSE(tooWide.error().empty());
  EXPECT_EQ(*encodeJpeg(picture.view, 94), expected);
  EXPECT_FALSE(encodeJpeg(ImageView{}, 94));
}
