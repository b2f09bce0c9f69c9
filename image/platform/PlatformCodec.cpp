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
util::Result<void> writeFileReplacing(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  const auto written = util::replaceFile(path, bytes);
  if (written) return {};
  const bool created = written.error().step != util::WriteFailure::Step::Create;
  return util::fail((created ? "cannot write " : "cannot create ") + path.string() + ": " + written.error().reason());
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

util::Result<void> rasterFromDecoded(const DecodedFrame& frame, RasterImage& image) {
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
  if (frame.width < 1 || frame.height < 1) return util::fail("the frame cannot be held in memory");
  if (auto made = image.create(header, masks); !made) return made;
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
  return {};
}

util::Result<void> PlatformCodec::loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                                                 std::optional<ImageProperties>& properties) {
  if (data.empty()) return util::fail("no image data");
  FrameList decoded;
  std::string frameError;
  const DecodeResult result = decodeAny(data, [&](const DecodedFrame& frame) {
    RasterImage image;
    if (auto held = rasterFromDecoded(frame, image); !held) {
      frameError = std::move(held.error());
      return false;
    }
    decoded.append(std::move(image));
    return true;
  });
  if (decoded.empty()) return util::fail(!frameError.empty() ? frameError : result.error.value_or(""));
  // A file that broke off after some frames still loads with the frames it gave.
  ImageProperties list;
  list.addPropertyItems(result.properties);
  if (!result.frameDelays.empty()) list.setFrameDelays(result.frameDelays);
  properties = std::move(list);
  decoded.moveAllTo(frames);
  return {};
}

util::Result<std::vector<std::uint8_t>> PlatformCodec::encode(const RasterImage& image, ImageFormat format,
                                                              const ImageProperties& properties) {
  if (image.isEmpty()) return util::fail("the image is empty");
  std::vector<std::uint32_t> palette;
  const ImageView view = viewOfRaster(image, palette);
  switch (format) {
    case ImageFormat::Jpeg: return encodeJpeg(view, properties.jpegQuality(), properties.writablePropertyItems());
    case ImageFormat::Gif: return encodeGif(view);
    case ImageFormat::Png: return encodePng(view);
    case ImageFormat::Tiff: return encodeTiff(view, properties.writablePropertyItems());
    case ImageFormat::Bmp: return BmpCodec().encode(image);
    default: return util::fail("no encoder for this file type");
  }
}

util::Result<void> PlatformCodec::saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                                             const ImageProperties& properties) {
  if (frames.empty() || frames.front().isEmpty()) return util::fail("no image to save");
  const auto bytes = encode(frames.front(), ImageCodecFactory::formatFromPath(path), properties);
  if (!bytes) return util::fail(bytes.error());
  return writeFileReplacing(path, *bytes);
}

util::Result<std::vector<std::uint8_t>> encodeJpeg(const RasterImage& image, int quality) {
  ImageProperties properties;
  properties.set(ImageProperties::QualityKey, std::to_string(quality));
  return PlatformCodec().encode(image, ImageFormat::Jpeg, properties);
}

}  // namespace brevanto::image
