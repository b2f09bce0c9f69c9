#include "image/platform/PngCodec.h"

#include <png.h>

#include <cstring>

#include "image/ImageLimits.h"
#include "image/platform/PixelRows.h"

namespace brevanto::image::platform {

namespace {

// Frees the simplified-API state on every path.
struct PngImage {
  png_image image{};
  PngImage() {
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
  }
  ~PngImage() { png_image_free(&image); }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
};

}  // namespace

namespace {

// The PNG file of the image described by `image`, from rows at `pixels` `stride` bytes apart.
util::Result<std::vector<std::uint8_t>> writeToMemory(png_image& image, const void* pixels, png_int_32 stride,
                                                      const void* colormap) {
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, pixels, stride, colormap)) return util::fail(image.message);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, stride, colormap)) {
    return util::fail(image.message);
  }
  out.resize(size);
  return out;
}

}  // namespace

util::Result<std::vector<std::uint8_t>> encodePng(const ImageView& view) {
  if (!view.valid()) return util::fail("no picture to encode");
  PngImage png;
  png.image.width = static_cast<png_uint_32>(view.width);
  png.image.height = static_cast<png_uint_32>(view.height);
  const std::size_t w = static_cast<std::size_t>(view.width);
  const std::size_t h = static_cast<std::size_t>(view.height);
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint8_t> colormap;
  std::size_t rowBytes;
  if (isIndexed(view.format)) {
    png.image.format = PNG_FORMAT_BGR | PNG_FORMAT_FLAG_COLORMAP;
    const std::size_t entries = std::max<std::size_t>(1, std::min<std::size_t>(view.palette.size(), 256));
    png.image.colormap_entries = static_cast<png_uint_32>(entries);
    colormap.resize(entries * 3);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint32_t c = i < view.palette.size() ? view.palette[i] : 0;
      colormap[i * 3] = static_cast<std::uint8_t>(c);
      colormap[i * 3 + 1] = static_cast<std::uint8_t>(c >> 8);
      colormap[i * 3 + 2] = static_cast<std::uint8_t>(c >> 16);
    }
    rowBytes = w;
    pixels.resize(rowBytes * h);
    const int bits = bitsPerPixel(view.format);
    for (std::int32_t y = 0; y < view.height; ++y) {
      const std::uint8_t* in = view.row(y);
      std::uint8_t* out = pixels.data() + rowBytes * static_cast<std::size_t>(y);
      for (std::size_t x = 0; x < w; ++x) {
        unsigned index = bits == 8   ? in[x]
                         : bits == 4 ? (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                     : (in[x >> 3] >> (7 - (x & 7))) & 1;
        out[x] = static_cast<std::uint8_t>(index < entries ? index : 0);
      }
    }
  } else if (hasAlphaChannel(view.format) || bitsPerPixel(view.format) == 32) {
    png.image.format = hasAlphaChannel(view.format) ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    if (view.format == PixelFormat::Argb32 && view.stride > 0) {
      return writeToMemory(png.image, view.top, static_cast<png_int_32>(view.stride), nullptr);
    }
    rowBytes = w * (hasAlphaChannel(view.format) ? 4 : 3);
    pixels.resize(rowBytes * h);
    std::vector<std::uint8_t> bgra(w * 4);
    for (std::int32_t y = 0; y < view.height; ++y) {
      std::uint8_t* out = pixels.data() + rowBytes * static_cast<std::size_t>(y);
      if (rowBytes == w * 4) {
        rowToBgra(view, y, out);
      } else {
        rowToBgra(view, y, bgra.data());
        for (std::size_t x = 0; x < w; ++x) std::memcpy(out + x * 3, &bgra[x * 4], 3);
      }
    }
  } else {
    png.image.format = PNG_FORMAT_BGR;
    rowBytes = w * 3;
    pixels.resize(rowBytes * h);
    for (std::int32_t y = 0; y < view.height; ++y) {
      rowToBgrOverWhite(view, y, pixels.data() + rowBytes * static_cast<std::size_t>(y));
    }
  }
  return writeToMemory(png.image, pixels.data(), static_cast<png_int_32>(rowBytes),
                       colormap.empty() ? nullptr : colormap.data());
}

DecodeResult decodePng(std::span<const std::uint8_t> data, const FrameSink& sink) {
  DecodeResult result;
  PngImage png;
  if (!png_image_begin_read_from_memory(&png.image, data.data(), data.size())) {
    result.error = png.image.message;
    return result;
  }
  const bool alpha = (png.image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  const std::int64_t width = png.image.width;
  const std::int64_t height = png.image.height;
  const int channels = alpha ? 4 : 3;
  if (auto pixels = checkImageAllocation(width, height, std::uint64_t(width) * std::uint64_t(height) * channels);
      !pixels) {
    result.error = pixels.error();
    return result;
  }
  png.image.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  DecodedFrame frame;
  frame.width = static_cast<std::int32_t>(width);
  frame.height = static_cast<std::int32_t>(height);
  frame.format = alpha ? PixelFormat::Argb32 : PixelFormat::Rgb24;
  frame.stride = static_cast<std::size_t>(width) * channels;
  frame.pixels.resize(frame.stride * static_cast<std::size_t>(height));
  png_color background{255, 255, 255};
  if (!png_image_finish_read(&png.image, &background, frame.pixels.data(), static_cast<png_int_32>(frame.stride),
                             nullptr)) {
    result.error = png.image.message;
    return result;
  }
  sink(frame);
  result.frameCount = 1;
  return result;
}

}  // namespace brevanto::image::platform
