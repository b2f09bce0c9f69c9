#include "image/platform/PlatformCodec.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include "image/BmpCodec.h"
#include "image/ImageCodecFactory.h"
#include "image/platform/GifReader.h"
#include "image/platform/GifWriter.h"
#include "image/platform/IcoReader.h"
#include "image/platform/JpegCodec.h"
#include "image/platform/PngCodec.h"
#include "image/platform/TiffCodec.h"
#include "util/File.h"

namespace brevanto::image {

using namespace platform;

namespace {

// Replaces the file atomically, so a failed write (full disk, read-only folder) never leaves a
// partial file nor damages an older one.
bool writeFileReplacing(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string& error) {
  const auto written = util::replaceFile(path, bytes);
  if (!written) {
    const bool created = written.error().step != util::WriteFailure::Step::Create;
    error = (created ? "cannot write " : "cannot create ") + path.string() + ": " + written.error().reason();
  }
  return written.ok();
}

DecodeResult decodeAny(std::span<const std::uint8_t> data, const FrameSink& sink) {
  switch (ImageCodecFactory::formatFromContent(data)) {
    case ImageFormat::Gif: return decodeGif(data, sink);
    case ImageFormat::Jpeg: return decodeJpeg(data, sink);
    case ImageFormat::Png: return decodePng(data, sink);
    case ImageFormat::Tiff: return decodeTiff(data, sink);
    case ImageFormat::Ico: return decodeIco(data, sink);
    default: break;  // BMP content is read by BmpCodec, not here
  }
  DecodeResult result;
  result.error = "unrecognised image data";
  return result;
}

}  // namespace

ImageView viewOfRaster(const RasterImage& image, std::vector<std::uint32_t>& paletteStorage) {
  ImageView view;
  if (image.isEmpty()) return view;
  view.width = image.width();
  view.height = image.height();
  switch (image.bitCount()) {
    case 1: view.format = PixelFormat::Indexed1; break;
    case 4: view.format = PixelFormat::Indexed4; break;
    case 8: view.format = PixelFormat::Indexed8; break;
    case 16: view.format = image.is565() ? PixelFormat::Rgb565 : PixelFormat::Rgb555; break;
    case 24: view.format = PixelFormat::Rgb24; break;
    default: view.format = PixelFormat::Argb32; break;
  }
  if (image.bitCount() <= 8) {
    paletteStorage.clear();
    for (const PaletteEntry& e : image.palette()) {
      paletteStorage.push_back(std::uint32_t{e.blue} | std::uint32_t{e.green} << 8 | std::uint32_t{e.red} << 16 |
                               std::uint32_t{e.reserved} << 24);
    }
    view.palette = paletteStorage;
  }
  view.top = image.row(0);
  view.stride = -static_cast<std::ptrdiff_t>(image.stride());
  return view;
}

bool rasterFromDecoded(const DecodedFrame& frame, RasterImage& image, std::string* error) {
  BitmapInfoHeader header;
  header.width = frame.width;
  header.height = frame.height;
  header.bitCount = static_cast<std::uint16_t>(bitsPerPixel(frame.format));
  ColorMasks masks;
  switch (frame.format) {
    case PixelFormat::Rgb565: header.compression = kCompressionBitFields, masks = kMasks565; break;
    case PixelFormat::Rgb555:
    case PixelFormat::Argb1555: header.compression = kCompressionBitFields, masks = kMasks555; break;
    default: break;
  }
  if (frame.width < 1 || frame.height < 1) {
    if (error) *error = "the frame cannot be held in memory";
    return false;
  }
  if (auto made = image.create(header, masks); !made) {
    if (error) *error = std::move(made.error());
    return false;
  }
  const std::size_t rowBytes = std::min(image.stride(), packedRowBytes(frame.width, frame.format));
  for (std::int32_t y = 0; y < frame.height; ++y) std::memcpy(image.row(y), frame.row(y), rowBytes);
  if (isIndexed(frame.format)) {
    for (std::size_t i = 0; i < frame.palette.size() && i < image.palette().size(); ++i) {
      const std::uint32_t c = frame.palette[i];
      image.setPaletteEntry(static_cast<int>(i),
                            PaletteEntry{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                         static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)});
    }
  }
  if (frame.format == PixelFormat::Rgb32) image.setAlphaByte(255);
  return true;
}

bool PlatformCodec::loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                                   std::optional<ImageProperties>& properties) {
  clearError();
  if (data.empty()) return fail("no image data");
  FrameList decoded;
  std::string frameError;
  const DecodeResult result = decodeAny(data, [&](const DecodedFrame& frame) {
    RasterImage image;
    if (!rasterFromDecoded(frame, image, &frameError)) return false;
    decoded.append(std::move(image));
    return true;
  });
  if (decoded.empty()) return fail(!frameError.empty() ? frameError : result.error);
  // A file that broke off after some frames still loads; the reason stays readable.
  if (!result.error.empty()) fail(result.error);
  ImageProperties list;
  list.addPropertyItems(result.properties);
  properties = std::move(list);
  decoded.moveAllTo(frames);
  return true;
}

std::vector<std::uint8_t> PlatformCodec::encode(const RasterImage& image, ImageFormat format,
                                                const ImageProperties& properties) {
  clearError();
  if (image.isEmpty()) {
    fail("the image is empty");
    return {};
  }
  std::vector<std::uint32_t> palette;
  const ImageView view = viewOfRaster(image, palette);
  std::string error;
  std::vector<std::uint8_t> bytes;
  switch (format) {
    case ImageFormat::Jpeg:
      bytes = encodeJpeg(view, properties.jpegQuality(), properties.writablePropertyItems(), &error);
      break;
    case ImageFormat::Gif: bytes = encodeGif(view, &error); break;
    case ImageFormat::Png: bytes = encodePng(view, &error); break;
    case ImageFormat::Tiff: bytes = encodeTiff(view, properties.writablePropertyItems(), &error); break;
    case ImageFormat::Bmp: bytes = BmpCodec::encode(image); break;
    default: error = "no encoder for this file type"; break;
  }
  if (bytes.empty()) fail(error.empty() ? "encoding failed" : error);
  return bytes;
}

bool PlatformCodec::saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                               const ImageProperties& properties) {
  clearError();
  if (frames.empty() || frames.front().isEmpty()) return fail("no image to save");
  const std::vector<std::uint8_t> bytes = encode(frames.front(), ImageCodecFactory::formatFromPath(path), properties);
  if (bytes.empty()) return false;
  std::string error;
  if (!writeFileReplacing(path, bytes, error)) return fail(error);
  return true;
}

std::vector<std::uint8_t> encodeJpeg(const RasterImage& image, int quality, std::string* error) {
  ImageProperties properties;
  properties.set(ImageProperties::QualityKey, std::to_string(quality));
  PlatformCodec codec;
  std::vector<std::uint8_t> bytes = codec.encode(image, ImageFormat::Jpeg, properties);
  if (bytes.empty() && error) *error = codec.lastError();
  return bytes;
}

}  // namespace brevanto::image
