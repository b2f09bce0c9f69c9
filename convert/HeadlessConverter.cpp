#include "convert/HeadlessConverter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <limits>
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

// Turns the captured pictures into movie slots as they arrive, in frame order. The movie is
// started at the first frame (the stage size follows from the file's size) and each picture is
// copied into it at once, so only the movie and the picture at hand are held.
class MovieFeed {
 public:
  MovieFeed(const std::string& gifPath, const HeadlessOptions& options, const std::vector<int>& delays)
      : gifPath_(gifPath), options_(options), delays_(delays) {}

  // Called once, with the size of the first frame, before any picture.
  void start(int sourceWidth, int sourceHeight) {
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    swf::MovieAssemblyInput input;
    input.gifPath = gifPath_;
    input.outputFolder = options_.outputFolder;
    if (const auto size = sizeForMode(options_.sizeMode, sourceWidth, sourceHeight)) {
      input.stageWidth = size->first;
      input.stageHeight = size->second;
    } else {
      input.stageWidth = options_.customWidth;
      input.stageHeight = options_.customHeight;
    }
    input.sourceWidth = sourceWidth;
    input.sourceHeight = sourceHeight;
    input.frameRate = options_.frameRate;
    input.isConvertAll = true;  // nothing is opened
    builder_.emplace(input);
  }

  // False once the movie is sure to be refused: the frames are then only counted.
  bool wantsPictures() const { return builder_ && builder_->accepting(); }

  // The next frame, with its JPEG file bytes (empty when none could be made: the slot then
  // shows the previous picture).
  void addFrame(std::vector<std::uint8_t> jpeg) {
    const std::int64_t slot = nextSlot_;
    nextSlot_ += slotsForDisplayTime(displayTimeOfFrame(delays_, static_cast<std::size_t>(frameCount_)));
    ++frameCount_;
    if (!wantsPictures()) return;
    if (!jpeg.empty()) {
      builder_->padTo(static_cast<int>(std::min<std::int64_t>(slot, std::numeric_limits<int>::max())));
      builder_->addSlot(jpeg);
    }
    // A one-frame file shows its picture twice: the first is kept until a second frame comes.
    if (frameCount_ == 1) {
      firstPicture_ = std::move(jpeg);
    } else if (frameCount_ == 2) {
      firstPicture_ = {};
    }
  }

  int frameCount() const { return frameCount_; }

  // Completes the movie's timeline and writes it; fills the counts of `result`.
  swf::MovieAssemblyResult finish(HeadlessResult& result) {
    // A one-frame file is played as two copies of its frame.
    const int frameCount = frameCount_ == 1 ? 2 : frameCount_;
    const Timeline timeline = buildTimeline(frameCount, delays_);
    if (frameCount_ == 1 && !firstPicture_.empty() && wantsPictures()) {
      builder_->padTo(timeline.firstSlots[1]);
      builder_->addSlot(firstPicture_);
    }
    builder_->padTo(timeline.slotCount);
    result.frameCount = frameCount;
    result.slotCount = timeline.slotCount;
    result.sourceWidth = sourceWidth_;
    result.sourceHeight = sourceHeight_;
    return builder_->write();
  }

 private:
  const std::string& gifPath_;
  const HeadlessOptions& options_;
  const std::vector<int>& delays_;
  std::optional<swf::MovieBuilder> builder_;
  std::vector<std::uint8_t> firstPicture_;
  std::int64_t nextSlot_ = 0;
  int frameCount_ = 0;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
};

// GIF frames straight from the decoder: each composed canvas is encoded as it arrives.
// Returns why no frame came, or an empty text.
std::string captureGifFrames(std::span<const std::uint8_t> data, int quality, MovieFeed& feed) {
  const image::platform::DecodeResult result =
      image::platform::decodeGif(data, [&](const image::platform::DecodedFrame& frame) {
        if (feed.frameCount() == 0) feed.start(frame.width, frame.height);
        std::vector<std::uint8_t> jpeg;
        if (feed.wantsPictures()) jpeg = image::platform::encodeJpeg(image::platform::viewOf(frame), quality);
        feed.addFrame(std::move(jpeg));
        return true;
      });
  if (feed.frameCount() > 0) return {};
  return result.error.empty() ? "no frame could be decoded" : result.error;
}

// Any other format goes through the codec and the JPEG writer exactly as the capture does,
// by way of a private folder. Returns why no frame came, or an empty text.
std::string captureCodecFrames(std::span<const std::uint8_t> data, image::ImageFormat format, int quality,
                               MovieFeed& feed) {
  image::AnimatedImage frames;
  if (!frames.loadFromMemory(data, format) || frames.frameCount() == 0) {
    return frames.lastError().empty() ? "cannot be decoded" : frames.lastError();
  }
  PrivateFolder folder;
  if (!folder.ok()) return "no temporary folder";
  feed.start(frames.frame(0).width(), frames.frame(0).height());
  const image::ImageProperties properties = captureProperties(quality);
  for (std::size_t i = 0; i < frames.frameCount(); ++i) {
    std::vector<std::uint8_t> jpeg;
    const auto path = folder.path() / (std::to_string(i) + ".jpg");
    if (feed.wantsPictures() && !(image::ImageCodecFactory::save(frames.frame(i), path, properties) && image::readWholeFile(path, jpeg))) {
      jpeg.clear();
    }
    feed.addFrame(std::move(jpeg));
  }
  return {};
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

  // The frame table is only needed for its delays.
  const std::vector<int> delays = [&] {
    controls::AnimatedPicture delayTable;
    delayTable.loadMemory(data);
    return frameDelays(delayTable);
  }();
  // The quality as the capture's JPEG writer reads it back from its properties.
  const int quality = captureProperties(options.jpegQuality).jpegQuality();

  MovieFeed feed(gifPath, options, delays);
  const std::string decodeError = format == image::ImageFormat::Gif && image::platform::looksLikeGif(data)
                                      ? captureGifFrames(data, quality, feed)
                                      : captureCodecFrames(data, format, quality, feed);
  data.clear();
  data.shrink_to_fit();
  if (feed.frameCount() == 0) {
    result.error = "cannot be decoded" + (decodeError.empty() ? std::string() : ": " + decodeError);
    return result;
  }

  const swf::MovieAssemblyResult assembled = feed.finish(result);
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
