#include "convert/HeadlessConverter.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include <unistd.h>

#include "controls/AnimatedPicture.h"
#include "convert/FrameCapture.h"
#include "convert/FrameExport.h"
#include "convert/OutputSettings.h"
#include "convert/Timeline.h"
#include "image/AnimatedImage.h"
#include "image/ImageCodec.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/platform/GifReader.h"
#include "image/platform/JpegCodec.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

namespace {

// The captured pictures of one file: (slot, JPEG file bytes), in slot order.
using CapturedSlots = std::vector<std::pair<int, std::vector<std::uint8_t>>>;

// The delays the player times frames by: the frame table's entries when it has animated ones.
std::vector<int> frameDelays(const controls::AnimatedPicture& table) {
  std::vector<int> delays;
  if (table.animatedFrameCount() > 0) {
    for (const auto& frame : table.frames()) delays.push_back(frame.delay);
  }
  return delays;
}

int displayTimeOfFrame(const std::vector<int>& delays, std::size_t index) {
  return index < delays.size() ? displayTimeForDelay(delays[index]) : kSlotMilliseconds;
}

// A folder of our own below the system's temporary folder, removed with everything in it.
class PrivateFolder {
 public:
  PrivateFolder() {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::error_code error;
    path_ = std::filesystem::temp_directory_path(error) /
            ("brevanto-" + std::to_string(::getpid()) + "-" + std::to_string(stamp) + "-" +
             std::to_string(serial++));
    std::filesystem::create_directories(path_, error);
    ok_ = !error;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  bool ok() const { return ok_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool ok_ = false;
};

struct DecodedFrames {
  CapturedSlots slots;
  int frameCount = 0;   // decoded frames (before doubling)
  int sourceWidth = 0;
  int sourceHeight = 0;
  std::string error;
};

// GIF frames straight from the decoder: each composed canvas is encoded as it arrives.
void captureGifFrames(std::span<const std::uint8_t> data, const std::vector<int>& delays,
                      int quality, DecodedFrames& out) {
  int nextSlot = 0;
  const image::platform::DecodeResult result =
      image::platform::decodeGif(data, [&](const image::platform::DecodedFrame& frame) {
        if (out.frameCount == 0) {
          out.sourceWidth = frame.width;
          out.sourceHeight = frame.height;
        }
        const int slot = nextSlot;
        nextSlot += slotsForDisplayTime(displayTimeOfFrame(delays, static_cast<std::size_t>(out.frameCount)));
        ++out.frameCount;
        std::vector<std::uint8_t> jpeg = image::platform::encodeJpeg(image::platform::viewOf(frame), quality);
        if (!jpeg.empty()) out.slots.emplace_back(slot, std::move(jpeg));
        return true;
      });
  if (out.frameCount == 0) out.error = result.error.empty() ? "no frame could be decoded" : result.error;
}

// Any other format goes through the codec and the JPEG writer exactly as the capture does,
// by way of a private folder.
void captureCodecFrames(std::span<const std::uint8_t> data, image::ImageFormat format,
                        const std::vector<int>& delays, int quality, DecodedFrames& out) {
  image::AnimatedImage frames;
  if (!frames.loadFromMemory(data, format) || frames.frameCount() == 0) {
    out.error = frames.lastError().empty() ? "cannot be decoded" : frames.lastError();
    return;
  }
  PrivateFolder folder;
  if (!folder.ok()) {
    out.error = "no temporary folder";
    return;
  }
  out.sourceWidth = frames.frame(0).width();
  out.sourceHeight = frames.frame(0).height();
  int nextSlot = 0;
  const image::ImageProperties properties = captureProperties(quality);
  for (std::size_t i = 0; i < frames.frameCount(); ++i) {
    const int slot = nextSlot;
    nextSlot += slotsForDisplayTime(displayTimeOfFrame(delays, i));
    const auto path = folder.path() / (std::to_string(i) + ".jpg");
    std::vector<std::uint8_t> jpeg;
    if (frames.frame(i).save(path, properties) && image::readWholeFile(path, jpeg) && !jpeg.empty()) {
      out.slots.emplace_back(slot, std::move(jpeg));
    }
  }
  out.frameCount = static_cast<int>(frames.frameCount());
}

} // namespace

HeadlessResult convertFile(const std::string& gifPath, const HeadlessOptions& options) {
  HeadlessResult result;
  result.moviePath = swf::moviePath(options.outputFolder, gifPath);

  std::vector<std::uint8_t> data;
  std::string reason;
  if (!image::readWholeFile(gifPath, data, &reason)) {
    result.error = "cannot be read" + (reason.empty() ? std::string() : ": " + reason);
    return result;
  }
  const image::ImageFormat format = image::ImageCodecFactory::formatFromPath(std::string_view(gifPath));
  if (!image::ImageCodecFactory::createCodec(format)) {
    result.error = "not a picture format the converter reads";
    return result;
  }

  controls::AnimatedPicture delayTable;
  delayTable.loadMemory(data);
  const std::vector<int> delays = frameDelays(delayTable);
  // The quality as the capture's JPEG writer reads it back from its properties.
  const int quality = captureProperties(options.jpegQuality).jpegQuality();

  DecodedFrames decoded;
  if (format == image::ImageFormat::Gif && image::platform::looksLikeGif(data)) {
    captureGifFrames(data, delays, quality, decoded);
  } else {
    captureCodecFrames(data, format, delays, quality, decoded);
  }
  data.clear();
  data.shrink_to_fit();
  if (decoded.frameCount == 0) {
    result.error = "cannot be decoded" + (decoded.error.empty() ? std::string() : ": " + decoded.error);
    return result;
  }

  // A one-frame file is played as two copies of its frame.
  int frameCount = decoded.frameCount;
  if (frameCount == 1) frameCount = 2;
  const Timeline timeline = buildTimeline(frameCount, delays);
  if (decoded.frameCount == 1 && !decoded.slots.empty()) {
    decoded.slots.emplace_back(timeline.firstSlots[1], decoded.slots.front().second);
  }

  result.frameCount = frameCount;
  result.slotCount = timeline.slotCount;
  result.sourceWidth = decoded.sourceWidth;
  result.sourceHeight = decoded.sourceHeight;

  swf::MovieAssemblyInput input;
  input.gifPath = gifPath;
  input.outputFolder = options.outputFolder;
  if (const auto size = sizeForMode(options.sizeMode, decoded.sourceWidth, decoded.sourceHeight)) {
    input.stageWidth = size->first;
    input.stageHeight = size->second;
  } else {
    input.stageWidth = options.customWidth;
    input.stageHeight = options.customHeight;
  }
  input.sourceWidth = decoded.sourceWidth;
  input.sourceHeight = decoded.sourceHeight;
  input.frameRate = options.frameRate;
  input.slotCount = timeline.slotCount;
  input.isConvertAll = true;  // nothing is opened

  std::size_t next = 0;
  const swf::MovieAssemblyResult assembled = swf::assembleMovieFromMemory(
      input, [&](int slot) -> std::optional<std::vector<std::uint8_t>> {
        while (next < decoded.slots.size() && decoded.slots[next].first < slot) ++next;
        if (next < decoded.slots.size() && decoded.slots[next].first == slot) {
          return std::move(decoded.slots[next++].second);  // handed over: the movie holds it now
        }
        return std::nullopt;
      });
  if (!assembled.outputPath.empty()) result.moviePath = assembled.outputPath;
  if (!assembled.ok) {
    result.error = assembled.errorMessage;
    return result;
  }
  result.ok = true;
  return result;
}

ExportResult exportFrames(const std::string& sourcePath, const std::string& outputFolder,
                          std::string_view extension) {
  ExportResult result;
  result.folder = exportFolderFor(outputFolder, extension);
  std::vector<std::uint8_t> data;
  std::string reason;
  if (!image::readWholeFile(sourcePath, data, &reason)) {
    result.error = "cannot be read" + (reason.empty() ? std::string() : ": " + reason);
    return result;
  }
  image::AnimatedImage frames;
  if (!frames.loadFromMemory(data, image::ImageCodecFactory::formatFromPath(std::string_view(sourcePath)))) {
    result.error = "cannot be decoded" + (frames.lastError().empty() ? std::string() : ": " + frames.lastError());
    return result;
  }
  data.clear();
  data.shrink_to_fit();
  for (std::size_t i = 0; i < frames.frameCount(); ++i) {
    if (!writeExportFrame(frames.frame(i), outputFolder, sourcePath, extension, static_cast<int>(i))) {
      result.error = "cannot write " + exportFramePath(outputFolder, sourcePath, extension, static_cast<int>(i));
      return result;
    }
    frames.frame(i).release();  // written: its memory is no longer needed
    ++result.framesWritten;
  }
  result.ok = true;
  return result;
}

} // namespace brevanto::convert
