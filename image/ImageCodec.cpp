#include "image/ImageCodec.h"

#include <cstdio>
#include <memory>

#include "image/ImageLimits.h"

namespace brevanto::image {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                   std::string* reason) {
  auto setReason = [reason](std::string text) {
    if (reason) *reason = std::move(text);
    return false;
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return setReason("no such file " + path.string());
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return setReason("cannot open " + path.string());
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return setReason("cannot seek in " + path.string());
  const long size = std::ftell(file.get());
  if (size <= 0) return setReason("empty or unreadable file " + path.string());
  if (!checkByteAllocation(static_cast<std::uint64_t>(size), reason)) return false;
  std::rewind(file.get());
  try {
    out.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return setReason("out of memory reading " + path.string());
  }
  if (std::fread(out.data(), 1, out.size(), file.get()) != out.size()) {
    out.clear();
    return setReason("cannot read " + path.string());
  }
  return true;
}

bool ImageCodec::loadFromFile(const std::filesystem::path& path, FrameList& frames,
                              std::optional<ImageProperties>& properties) {
  std::vector<std::uint8_t> data;
  std::string reason;
  if (!readWholeFile(path, data, &reason)) return fail(std::move(reason));
  return loadFromMemory(data, frames, properties);
}

bool ImageCodec::loadFromMemory(std::span<const std::uint8_t>, FrameList&,
                                std::optional<ImageProperties>&) {
  return fail("this format cannot be read");
}

bool ImageCodec::saveToFile(const std::filesystem::path&, std::span<const RasterImage>,
                            const ImageProperties&) {
  return fail("this format cannot be written");
}

}  // namespace brevanto::image
