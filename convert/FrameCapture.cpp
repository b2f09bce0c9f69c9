#include "convert/FrameCapture.h"

#include <filesystem>
#include <system_error>

#include "convert/Timeline.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"
#include "swf/MovieAssembly.h"
#include "util/FileSystem.h"

namespace brevanto::convert {

namespace {

bool ensureFolder(const std::string& folder) {
  if (util::isDirectory(folder)) return true;
  util::createDirectoryChain(folder);
  return util::isDirectory(folder);
}

} // namespace

image::ImageProperties captureProperties(int quality) {
  image::ImageProperties properties;
  properties.set(image::ImageProperties::QualityKey, std::to_string(quality));
  return properties;
}

int FrameCapture::captureFrame(const image::RasterImage& frame, const std::string& gifPath,
                               int displayTime) {
  if (!captureEnabled) return -1;
  const int slot = captureCounter;
  captureCounter += slotsForDisplayTime(displayTime);
  if (slot == 0) {
    written_.clear();
    failedWrites_ = 0;
  }
  // The folder is checked before every write, so one deleted during a capture comes back.
  if (frame.isEmpty() || !ensureFolder(swf::captureFolder(outputFolder))) {
    ++failedWrites_;
    return -1;
  }
  const std::string path = swf::captureFramePath(outputFolder, gifPath, slot);
  if (!image::ImageCodecFactory::save(frame, path, captureProperties(captureQuality))) {
    ++failedWrites_;
    return -1;
  }
  written_.push_back(path);
  return slot;
}

std::string FrameCapture::missingPictures() const {
  if (failedWrites_ > 0) {
    return std::to_string(failedWrites_) + " frame picture(s) could not be written to the capture folder \"" +
           swf::captureFolder(outputFolder) + "\"";
  }
  std::error_code error;
  for (const std::string& path : written_) {
    if (!std::filesystem::exists(path, error)) {
      return "the captured frame picture \"" + path + "\" was removed during the conversion";
    }
  }
  return {};
}

bool emptyCaptureFolder(const std::string& outputFolder) {
  const std::string folder = swf::captureFolder(outputFolder);
  if (!ensureFolder(folder)) return false;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code ignored;
    if (!it->is_directory(ignored)) std::filesystem::remove(it->path(), ignored);
  }
  return true;
}

} // namespace brevanto::convert
