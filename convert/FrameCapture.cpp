#include "convert/FrameCapture.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "convert/SlotPictureMaker.h"
#include "convert/Timeline.h"
#include "image/AnimatedImage.h"
#include "image/BmpCodec.h"
#include "image/RasterImage.h"
#include "image/platform/PlatformCodec.h"
#include "util/File.h"
#include "util/FileSystem.h"

namespace brevanto::convert {

namespace {

constexpr char kCaptureSubfolder[] = "tolvane_brevanto/Temp/";

bool ensureFolder(const std::string& folder) {
  if (util::isDirectory(folder)) return true;
  util::createDirectoryChain(folder);
  return util::isDirectory(folder);
}

}  // namespace

std::string captureFolder(const std::string& outputFolder) {
  return util::folderPath(outputFolder) + kCaptureSubfolder;
}

std::string captureFramePath(const std::string& outputFolder, const std::string& gifPath, int slot, PictureKind kind) {
  return captureFolder(outputFolder) + util::fileNamePart(gifPath) + util::zeroPadded(slot, 5) +
         (kind == PictureKind::Lossless ? ".bmp" : ".jpg");
}

util::Result<std::vector<std::uint8_t>> FrameCapture::captureBytes(const image::RasterImage& frame) const {
  SlotPictureMaker maker(capturePictures, captureQuality, {frame.width(), frame.height()}, captureStage);
  if (capturePictures == PictureKind::Lossless) {
    std::vector<std::uint32_t> palette;
    auto prepared = maker.preparedPicture(image::viewOfRaster(frame, palette));
    if (!prepared) return util::fail(std::move(prepared.error()));
    return image::BmpCodec().encode(*prepared);
  }
  swf::SlotPicture picture = maker.make(frame);
  if (picture.kind != swf::SlotPicture::Kind::Jpeg) return util::fail("the frame could not be encoded as JPEG");
  return std::move(picture.bytes);
}

int FrameCapture::captureFrame(const image::RasterImage& frame, const std::string& gifPath, int slots) {
  if (!captureEnabled) return -1;
  const int slot = captureCounter;
  captureCounter += std::max(1, slots);
  if (slot == 0) {
    written_.clear();
    failedWrites_ = 0;
  }
  // The folder is checked before every write, so one deleted during a capture comes back.
  if (frame.isEmpty() || !ensureFolder(captureFolder(outputFolder))) {
    ++failedWrites_;
    return -1;
  }
  const std::string path = captureFramePath(outputFolder, gifPath, slot, capturePictures);
  const auto bytes = captureBytes(frame);
  if (!bytes || !util::replaceFile(path, *bytes)) {
    ++failedWrites_;
    return -1;
  }
  written_.push_back(path);
  return slot;
}

std::optional<std::string> FrameCapture::missingPictures() const {
  if (failedWrites_ > 0) {
    return std::to_string(failedWrites_) + " frame picture(s) could not be written to the capture folder \"" +
           captureFolder(outputFolder) + "\"";
  }
  std::error_code error;
  for (const std::string& path : written_) {
    if (!std::filesystem::exists(path, error)) {
      return "the captured frame picture \"" + path + "\" was removed during the conversion";
    }
  }
  return std::nullopt;
}

swf::SlotPicture FrameCapture::losslessPictureAt(const std::string& gifPath, int slot, SlotPictureMaker& maker) const {
  const std::string path = captureFramePath(outputFolder, gifPath, slot, PictureKind::Lossless);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return {};
  auto bytes = util::readWholeFile(path);
  image::AnimatedImage picture;
  if (!bytes || !picture.loadFromMemory(*bytes, image::ImageFormat::Bmp) || picture.frameCount() == 0 ||
      picture.frame(0).bitCount() != 24) {
    return swf::SlotPicture::unreadable();
  }
  return maker.nextLossless(picture.frame(0));
}

swf::SlotPicture FrameCapture::pictureAt(const std::string& gifPath, int slot) const {
  const std::string path = captureFramePath(outputFolder, gifPath, slot);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return {};
  auto jpeg = util::readWholeFile(path);
  return jpeg ? swf::SlotPicture::jpeg(std::move(*jpeg)) : swf::SlotPicture::unreadable();
}

bool emptyCaptureFolder(const std::string& outputFolder) {
  const std::string folder = captureFolder(outputFolder);
  if (!ensureFolder(folder)) return false;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (!it->is_directory(ignored)) std::filesystem::remove(it->path(), ignored);
  }
  return true;
}

}  // namespace brevanto::convert
