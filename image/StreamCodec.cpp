#include "image/StreamCodec.h"

namespace brevanto::image {

util::Result<void> StreamCodec::holds(const RasterImage&) const { return {}; }

util::Result<void> StreamCodec::saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                                           const ImageProperties&) {
  if (frames.empty() || frames.front().isEmpty()) return util::fail("no image to write");
  const RasterImage& image = frames.front();
  if (auto held = holds(image); !held) return held;
  FileSink sink(path);
  if (!sink.isOpen()) return util::fail("cannot create " + path.string());
  const bool written = write(image, sink);
  const bool closed = sink.close();
  if (!written || !closed) return util::fail("cannot write " + path.string());
  return {};
}

util::Result<std::vector<std::uint8_t>> StreamCodec::encode(const RasterImage& image) const {
  if (image.isEmpty()) return util::fail("no image to write");
  if (auto held = holds(image); !held) return util::fail(std::move(held.error()));
  std::vector<std::uint8_t> out;
  VectorSink sink(out);
  write(image, sink);
  return out;
}

}  // namespace brevanto::image
