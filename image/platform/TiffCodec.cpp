#include "image/platform/TiffCodec.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/ImageLimits.h"
#include "image/platform/ExifBlock.h"
#include "image/platform/PixelRows.h"

namespace brevanto::image::platform {

namespace {

constexpr std::uint64_t kMaxPages = 65536;

// A seekable memory stream for libtiff's client interface: reads from a fixed block, or
// writes into a growing vector.
struct MemoryStream {
  const std::uint8_t* input = nullptr;
  std::vector<std::uint8_t>* output = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
};

tmsize_t streamRead(thandle_t h, void* buffer, tmsize_t n) {
  auto* s = static_cast<MemoryStream*>(h);
  if (!s->input || n <= 0) return 0;
  const std::size_t available = s->position < s->size ? s->size - s->position : 0;
  const std::size_t count = std::min(static_cast<std::size_t>(n), available);
  if (count) std::memcpy(buffer, s->input + s->position, count);
  s->position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t streamWrite(thandle_t h, void* buffer, tmsize_t n) {
  auto* s = static_cast<MemoryStream*>(h);
  if (!s->output || n < 0) return 0;
  const std::size_t end = s->position + static_cast<std::size_t>(n);
  if (end > s->output->size()) s->output->resize(end);
  if (n) std::memcpy(s->output->data() + s->position, buffer, static_cast<std::size_t>(n));
  s->position = end;
  s->size = std::max(s->size, end);
  return n;
}

toff_t streamSeek(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<MemoryStream*>(h);
  std::uint64_t base = whence == SEEK_CUR ? s->position : whence == SEEK_END ? s->size : 0;
  const std::uint64_t target = base + offset;
  if (target > (std::uint64_t{1} << 40)) return static_cast<toff_t>(-1);
  s->position = static_cast<std::size_t>(target);
  return target;
}

int streamClose(thandle_t) { return 0; }
toff_t streamSize(thandle_t h) { return static_cast<MemoryStream*>(h)->size; }
int streamMap(thandle_t, void**, toff_t*) { return 0; }
void streamUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// libtiff reports through process-wide handlers; the codec reports by its results instead.
void silence() {
  static const bool done = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)done;
}

}  // namespace

util::Result<std::vector<std::uint8_t>> encodeTiff(const ImageView& view, std::span<const PropertyItem> items) {
  if (!view.valid()) return util::fail("no picture to encode");
  silence();
  std::vector<std::uint8_t> out;
  MemoryStream stream;
  stream.output = &out;
  TiffHandle tiff(TIFFClientOpen("memory", "w", &stream, streamRead, streamWrite, streamSeek, streamClose, streamSize,
                                 streamMap, streamUnmap));
  if (!tiff) return util::fail("cannot start the TIFF encoder");
  const bool alpha = hasAlphaChannel(view.format);
  const int channels = alpha ? 4 : 3;
  TIFF* t = tiff.get();
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(view.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(view.height));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, channels);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  if (alpha) {
    const std::uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  for (const PropertyItem& item : items) {
    if ((item.id == TIFFTAG_MAKE || item.id == TIFFTAG_MODEL) && item.type == PropertyItem::Ascii) {
      std::string text(item.value.begin(), item.value.end());
      text = text.c_str();  // up to the terminator
      TIFFSetField(t, item.id, text.c_str());
    }
  }
  const std::size_t w = static_cast<std::size_t>(view.width);
  std::vector<std::uint8_t> bgra(w * 4);
  std::vector<std::uint8_t> row(w * static_cast<std::size_t>(channels));
  for (std::int32_t y = 0; y < view.height; ++y) {
    rowToBgra(view, y, bgra.data());
    for (std::size_t x = 0; x < w; ++x) {
      std::uint8_t* o = &row[x * static_cast<std::size_t>(channels)];
      o[0] = bgra[x * 4 + 2];
      o[1] = bgra[x * 4 + 1];
      o[2] = bgra[x * 4];
      if (alpha) o[3] = bgra[x * 4 + 3];
    }
    if (TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return util::fail("TIFF encoding failed");
  }
  if (!TIFFWriteDirectory(t)) return util::fail("TIFF encoding failed");
  tiff.reset();
  out.resize(stream.size);
  return out;
}

DecodeResult decodeTiff(std::span<const std::uint8_t> data, const FrameSink& sink) {
  DecodeResult result;
  silence();
  MemoryStream stream;
  stream.input = data.data();
  stream.size = data.size();
  TiffHandle tiff(TIFFClientOpen("memory", "rm", &stream, streamRead, streamWrite, streamSeek, streamClose, streamSize,
                                 streamMap, streamUnmap));
  if (!tiff) {
    result.error = "not a readable TIFF file";
    return result;
  }
  TIFF* t = tiff.get();
  // Sizes of every page first, so the whole file is checked against the budget up front.
  std::uint64_t total = 0;
  std::uint64_t pages = 0;
  do {
    std::uint32_t w = 0, h = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    if (auto page = checkImageAllocation(w, h, std::uint64_t(w) * h * 8); !page) {
      result.error = page.error();
      return result;
    }
    total += std::uint64_t(w) * h * 8;  // the library's raster plus the frame kept
    if (++pages > kMaxPages) {
      result.error = "too many TIFF pages";
      return result;
    }
    if (auto all = checkByteAllocation(total); !all) {
      result.error = all.error();
      return result;
    }
  } while (TIFFReadDirectory(t));
  if (!TIFFSetDirectory(t, 0)) {
    result.error = "cannot read the first TIFF page";
    return result;
  }

  std::vector<std::uint32_t> raster;
  std::uint64_t page = 0;
  do {
    std::uint32_t w = 0, h = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    std::uint16_t extraCount = 0;
    std::uint16_t* extraTypes = nullptr;
    const bool alpha = TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0;
    raster.assign(static_cast<std::size_t>(w) * h, 0);
    if (!TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
      result.error = "TIFF page " + std::to_string(page + 1) + " cannot be decoded";
      break;
    }
    DecodedFrame frame;
    frame.width = static_cast<std::int32_t>(w);
    frame.height = static_cast<std::int32_t>(h);
    frame.format = PixelFormat::Argb32;
    frame.stride = static_cast<std::size_t>(w) * 4;
    frame.pixels.resize(frame.stride * h);
    for (std::size_t i = 0; i < raster.size(); ++i) {
      const std::uint32_t p = raster[i];
      std::uint8_t* o = &frame.pixels[i * 4];
      const unsigned a = alpha ? TIFFGetA(p) : 255;
      unsigned r = TIFFGetR(p), g = TIFFGetG(p), b = TIFFGetB(p);
      if (a == 0) {
        r = g = b = 255;
      } else if (a < 255) {
        // The library hands alpha images over premultiplied.
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        b = std::min(255u, (b * 255 + a / 2) / a);
      }
      o[0] = static_cast<std::uint8_t>(b);
      o[1] = static_cast<std::uint8_t>(g);
      o[2] = static_cast<std::uint8_t>(r);
      o[3] = static_cast<std::uint8_t>(a);
    }
    ++result.frameCount;
    ++page;
    if (!sink(frame)) break;
  } while (TIFFReadDirectory(t));
  if (result.delivered()) result.properties = readTiffDirectoryItems(data);
  return result;
}

}  // namespace brevanto::image::platform
