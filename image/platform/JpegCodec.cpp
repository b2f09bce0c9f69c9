#include "image/platform/JpegCodec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/ImageLimits.h"
#include "image/platform/ExifBlock.h"
#include "image/platform/PixelRows.h"

namespace brevanto::image::platform {

namespace {

struct TjDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

struct TjBufferDeleter {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

std::string tjError(void* handle) {
  const char* text = tjGetErrorStr2(handle);
  return text ? text : "JPEG error";
}

// Inserts an APP1 "Exif" segment after the start-of-image marker and a JFIF APP0 segment.
void insertExif(std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& tiff) {
  if (tiff.empty() || tiff.size() + 8 > 0xFFFF || jpeg.size() < 4) return;
  std::size_t at = 2;
  if (jpeg[2] == 0xFF && jpeg[3] == 0xE0 && jpeg.size() >= 6) {
    at = 4 + static_cast<std::size_t>(jpeg[4] << 8 | jpeg[5]);
    if (at > jpeg.size()) return;
  }
  const std::size_t length = tiff.size() + 8;  // length field + "Exif\0\0" + block
  std::vector<std::uint8_t> segment = {0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                                       static_cast<std::uint8_t>(length & 0xFF), 'E', 'x', 'i', 'f', 0, 0};
  segment.insert(segment.end(), tiff.begin(), tiff.end());
  jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(at), segment.begin(), segment.end());
}

// The Exif block of the first APP1 "Exif" segment, walking the markers before the scan.
std::span<const std::uint8_t> findExif(std::span<const std::uint8_t> data) {
  std::size_t pos = 2;
  while (pos + 4 <= data.size() && data[pos] == 0xFF) {
    const std::uint8_t marker = data[pos + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const std::size_t length = static_cast<std::size_t>(data[pos + 2] << 8 | data[pos + 3]);
    if (length < 2 || pos + 2 + length > data.size()) break;
    if (marker == 0xE1 && length >= 8 && std::memcmp(&data[pos + 4], "Exif\0\0", 6) == 0) {
      return data.subspan(pos + 10, length - 8);
    }
    pos += 2 + length;
  }
  return {};
}

}  // namespace

std::vector<std::uint8_t> encodeJpeg(const ImageView& view, int quality, std::span<const PropertyItem> items,
                                     std::string* error) {
  auto failed = [&](std::string reason) {
    if (error) *error = std::move(reason);
    return std::vector<std::uint8_t>{};
  };
  if (!view.valid()) return failed("no picture to encode");
  quality = std::clamp(quality, 1, 100);
  TjHandle handle(tjInitCompress());
  if (!handle) return failed("cannot start the JPEG encoder");

  // 24-bit and plain 32-bit rows go in as they are (bottom-up storage included); everything
  // else is converted to B, G, R first.
  const unsigned char* source = nullptr;
  int pitch = 0;
  int format = TJPF_BGR;
  int flags = 0;
  std::vector<std::uint8_t> converted;
  if (view.format == PixelFormat::Rgb24 || view.format == PixelFormat::Rgb32) {
    format = view.format == PixelFormat::Rgb24 ? TJPF_BGR : TJPF_BGRX;
    if (view.stride >= 0) {
      source = view.top;
      pitch = static_cast<int>(view.stride);
    } else {
      source = view.row(view.height - 1);
      pitch = static_cast<int>(-view.stride);
      flags |= TJFLAG_BOTTOMUP;
    }
  } else {
    const std::size_t rowBytes = static_cast<std::size_t>(view.width) * 3;
    if (!checkByteAllocation(rowBytes * static_cast<std::size_t>(view.height), error)) return {};
    converted.resize(rowBytes * static_cast<std::size_t>(view.height));
    for (std::int32_t y = 0; y < view.height; ++y) rowToBgrOverWhite(view, y, converted.data() + rowBytes * y);
    source = converted.data();
    pitch = static_cast<int>(rowBytes);
  }
  unsigned char* jpeg = nullptr;
  unsigned long jpegSize = 0;
  const int subsampling = quality >= 90 ? TJSAMP_444 : TJSAMP_420;
  const int status = tjCompress2(handle.get(), source, view.width, pitch, view.height, format, &jpeg, &jpegSize,
                                 subsampling, quality, flags);
  std::unique_ptr<unsigned char, TjBufferDeleter> owned(jpeg);
  if (status != 0) return failed(tjError(handle.get()));
  std::vector<std::uint8_t> out(jpeg, jpeg + jpegSize);
  insertExif(out, buildExifBlock(items));
  return out;
}

DecodeResult decodeJpeg(std::span<const std::uint8_t> data, const FrameSink& sink) {
  DecodeResult result;
  TjHandle handle(tjInitDecompress());
  if (!handle) {
    result.error = "cannot start the JPEG decoder";
    return result;
  }
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), data.data(), static_cast<unsigned long>(data.size()), &width, &height,
                          &subsampling, &colorspace) != 0) {
    result.error = tjError(handle.get());
    return result;
  }
  const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
  const std::uint64_t workBytes = std::uint64_t(width) * std::uint64_t(height) * (cmyk ? 7 : 3);
  if (!checkImageAllocation(width, height, workBytes, &result.error)) return result;

  DecodedFrame frame;
  frame.width = width;
  frame.height = height;
  frame.format = PixelFormat::Rgb24;
  frame.stride = static_cast<std::size_t>(width) * 3;
  frame.pixels.resize(frame.stride * static_cast<std::size_t>(height));
  if (!cmyk) {
    if (tjDecompress2(handle.get(), data.data(), static_cast<unsigned long>(data.size()), frame.pixels.data(), width,
                      static_cast<int>(frame.stride), height, TJPF_BGR, 0) != 0 &&
        tjGetErrorCode(handle.get()) == TJERR_FATAL) {
      result.error = tjError(handle.get());
      return result;
    }
  } else {
    // Adobe CMYK JPEGs store inverted inks, so each channel times K gives the colour.
    std::vector<std::uint8_t> inks(static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height));
    if (tjDecompress2(handle.get(), data.data(), static_cast<unsigned long>(data.size()), inks.data(), width,
                      width * 4, height, TJPF_CMYK, 0) != 0 &&
        tjGetErrorCode(handle.get()) == TJERR_FATAL) {
      result.error = tjError(handle.get());
      return result;
    }
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height); i < n; ++i) {
      const std::uint8_t* p = &inks[i * 4];
      std::uint8_t* o = &frame.pixels[i * 3];
      o[2] = static_cast<std::uint8_t>(p[0] * p[3] / 255);
      o[1] = static_cast<std::uint8_t>(p[1] * p[3] / 255);
      o[0] = static_cast<std::uint8_t>(p[2] * p[3] / 255);
    }
  }
  result.properties = readTiffDirectoryItems(findExif(data));
  sink(frame);
  result.ok = true;
  result.frameCount = 1;
  return result;
}

}  // namespace brevanto::image::platform
