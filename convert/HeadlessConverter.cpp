#include "convert/HeadlessConverter.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "controls/AnimatedPicture.h"
#include "convert/EarlyRefusal.h"
#include "convert/FrameExport.h"
#include "convert/OrderedEncoder.h"
#include "convert/PictureEncoder.h"
#include "convert/SlotPictureMaker.h"
#include "convert/Timeline.h"
#include "image/AnimatedImage.h"
#include "image/ImageCodec.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/platform/GifReader.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

namespace {

// Takes the pictures of one file's frames as they arrive, in frame order, and puts each at the
// slot its frame starts (TimelineWalk). The movie is started at the first frame (the stage size
// follows from the file's size) and each picture is copied into it at once, so only the movie
// and the picture at hand are held.
class MovieFeed {
 public:
  MovieFeed(const std::string& gifPath, const OutputSettings& settings, const FileTiming& timing)
      : gifPath_(gifPath),
        settings_(settings),
        loopCount_(timing.loopCount),
        walk_(timing.delaysFor(settings.timing), settings.timing) {}

  // Called once, with the size of the first frame, before any picture.
  void start(int sourceWidth, int sourceHeight) {
    input_.gifPath = gifPath_;
    input_.outputFolder = settings_.outputFolder;
    const PixelSize stage = settings_.stageSizeFor({sourceWidth, sourceHeight});
    input_.stageWidth = stage.width;
    input_.stageHeight = stage.height;
    // Pictures are made at the stage's size when it is smaller than the GIF's.
    const PixelSize picture = pictureSizeFor({sourceWidth, sourceHeight}, stage);
    input_.sourceWidth = picture.width;
    input_.sourceHeight = picture.height;
    // The timing fields known before the frames: the rate and the layout.
    applyTimeline(input_, walk_.timeline(), settings_, loopCount_);
    builder_.emplace(input_);
    builder_->streamToFile();  // the movie goes to its file as it is built
    maker_.emplace(settings_.pictures, settings_.jpegQuality, PixelSize{sourceWidth, sourceHeight}, stage);
  }

  // The next frame's picture (none once the movie is sure to be refused).
  template <typename Frame>
  swf::SlotPicture pictureOf(const Frame& frame) {
    return wantsPictures() ? maker_->make(frame) : swf::SlotPicture{};
  }

  // The picture step of this movie (after start). Its JPEG pictures may be made on any thread;
  // lossless ones are planned in slot order (planLossless) and compressed on any thread.
  SlotPictureMaker& maker() { return *maker_; }
  bool lossless() const { return settings_.pictures == PictureKind::Lossless; }

  // False once the movie is sure to be refused: the frames are then only counted.
  bool wantsPictures() const { return builder_ && builder_->accepting(); }

  // The next frame's picture (none when it could not be made: the slot then shows the previous one).
  void addFrame(swf::SlotPicture picture) {
    const int slot = walk_.addFrame();
    if (!wantsPictures()) return;
    if (picture.kind != swf::SlotPicture::Kind::None) {
      builder_->padTo(slot);
      builder_->add(picture);
    }
    // A file played as two copies of its one frame shows its picture twice: the first is kept
    // until a second frame comes. A lossless movie already shows it (the same picture again
    // adds nothing).
    if (input_.lossless) return;
    if (walk_.frameCount() == 1) {
      firstPicture_ = std::move(picture);
    } else if (walk_.frameCount() == 2) {
      firstPicture_ = {};
    }
  }

  int frameCount() const { return walk_.frameCount(); }

  // Completes the movie's timeline as it plays and writes the movie.
  util::Result<ConvertedMovie, RunProblem> finish() {
    const Timeline timeline = walk_.played();
    const int played = static_cast<int>(timeline.firstSlots.size());
    if (played > walk_.frameCount() && firstPicture_.kind != swf::SlotPicture::Kind::None && wantsPictures()) {
      builder_->padTo(timeline.firstSlots[1]);
      builder_->add(firstPicture_);
    }
    builder_->padTo(timeline.slotCount);
    const Passes passes = applyTimeline(input_, timeline, settings_, loopCount_);
    // The passes planned at the start knew no frames yet: the whole timeline decides them.
    builder_->setPasses(passes.passes);
    builder_->stopAtEnd(passes.stopAtEnd);
    const auto written = builder_->write();
    if (!written) return util::fail(movieProblem(input_, written.error()));
    return ConvertedMovie::of(input_, *written, played, passes);
  }

 private:
  const std::string& gifPath_;
  const OutputSettings& settings_;
  std::optional<int> loopCount_;
  TimelineWalk walk_;
  swf::MovieAssemblyInput input_;
  std::optional<swf::MovieBuilder> builder_;
  std::optional<SlotPictureMaker> maker_;
  swf::SlotPicture firstPicture_;
};

// Runs steps in the order they are posted on a thread of its own, so the caller goes on
// meanwhile; post() waits while `depth` steps are waiting. A step's exception ends the thread
// (later steps are dropped) and is rethrown by finish().
class StepThread {
 public:
  explicit StepThread(std::size_t depth) : depth_(depth), thread_([this] { run(); }) {}
  ~StepThread() { stop(); }
  StepThread(const StepThread&) = delete;
  StepThread& operator=(const StepThread&) = delete;

  void post(std::function<void()> step) {
    std::unique_lock<std::mutex> lock(mutex_);
    space_.wait(lock, [this] { return steps_.size() < depth_ || error_; });
    if (error_) return;
    steps_.push_back(std::move(step));
    ready_.notify_one();
  }
  // Runs the steps posted and ends the thread.
  void finish() {
    stop();
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    ready_.notify_one();
    if (thread_.joinable()) thread_.join();
  }
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ready_.wait(lock, [this] { return done_ || !steps_.empty(); });
      if (steps_.empty()) return;
      std::function<void()> step = std::move(steps_.front());
      steps_.pop_front();
      space_.notify_one();
      lock.unlock();
      try {
        step();
      } catch (...) {
        lock.lock();
        error_ = std::current_exception();
        steps_.clear();
        space_.notify_one();
        return;
      }
      step = nullptr;
      lock.lock();
    }
  }

  std::size_t depth_;
  std::mutex mutex_;
  std::condition_variable ready_, space_;
  std::deque<std::function<void()>> steps_;
  std::exception_ptr error_;
  bool done_ = false;
  std::thread thread_;  // last: starts once the rest is made
};

// GIF frames straight from the decoder: each composed canvas is copied and encoded on the
// encoder's threads while the next frames are decoded; the pictures reach the feed in frame order.
// A lossless picture depends on the one before it: with several threads its plan is made in
// frame order on a thread of its own (so the next frame is decoded meanwhile), and only its
// compression goes to the encoder's threads. That thread then also hands the pictures to the
// feed; the decoding thread only starts the feed.
// Fails with why no frame came.
util::Result<void> feedGifFrames(std::span<const std::uint8_t> data, int threads, MovieFeed& feed) {
  FrameCopies copies;
  OrderedEncoder encoder(threads, [&feed](swf::SlotPicture picture) { feed.addFrame(std::move(picture)); });
  auto planLossless = [&feed, &encoder](const image::platform::DecodedFrame& frame) {
    if (!feed.wantsPictures()) {
      encoder.submit([] { return swf::SlotPicture{}; });
      return;
    }
    std::shared_ptr<const SlotPictureMaker::LosslessPlan> plan = feed.maker().planLossless(frame);
    encoder.submit([plan] { return SlotPictureMaker::compressLossless(*plan); });
  };
  std::optional<StepThread> planner;
  if (feed.lossless() && encoder.threads() > 1) planner.emplace(2);
  bool started = false;
  const image::platform::DecodeResult result =
      image::platform::decodeGif(data, [&](const image::platform::DecodedFrame& frame) {
        if (!started) feed.start(frame.width, frame.height);
        started = true;
        SlotPictureMaker& maker = feed.maker();
        if (planner) {
          planner->post([copy = copies.copy(frame), &planLossless] { planLossless(*copy); });
        } else if (feed.lossless()) {
          planLossless(frame);
        } else if (!feed.wantsPictures()) {
          encoder.submit([] { return swf::SlotPicture{}; });
        } else if (encoder.threads() == 1) {
          encoder.submit([&frame, &maker] { return maker.make(frame); });
        } else {
          encoder.submit([copy = copies.copy(frame), &maker] { return maker.make(*copy); });
        }
        return true;
      });
  if (planner) planner->finish();
  encoder.finish();
  if (feed.frameCount() > 0) return {};
  return util::fail(result.error.value_or("no frame could be decoded"));
}

// Any other format: the codec's frames, each encoded as the window's capture encodes it.
// Fails with why no frame came.
util::Result<void> feedCodecFrames(std::span<const std::uint8_t> data, image::ImageFormat format, MovieFeed& feed) {
  image::AnimatedImage frames;
  if (auto loaded = frames.loadFromMemory(data, format); !loaded || frames.frameCount() == 0) {
    return util::fail(!loaded && !loaded.error().empty() ? loaded.error() : "cannot be decoded");
  }
  feed.start(frames.frame(0).width(), frames.frame(0).height());
  for (std::size_t i = 0; i < frames.frameCount(); ++i) {
    feed.addFrame(feed.pictureOf(frames.frame(i)));
  }
  return {};
}

// "cannot be read[: reason]" for a file whose bytes cannot be had.
RunProblem unreadable(const std::string& path, const std::string& movie, const std::string& reason) {
  return {path, movie, RunStage::Read, "cannot be read" + (reason.empty() ? std::string() : ": " + reason)};
}

}  // namespace

util::Result<ConvertedMovie, RunProblem> convertFile(const std::string& gifPath, const OutputSettings& settings,
                                                     int encodeThreads) {
  const std::string movie = swf::moviePath(settings.outputFolder, gifPath);
  auto read = image::readPictureFile(gifPath);
  if (!read) return util::fail(unreadable(gifPath, movie, read.error()));
  std::vector<std::uint8_t> data = std::move(*read);
  const image::ImageFormat format = image::ImageCodecFactory::formatFromPath(std::string_view(gifPath));
  if (!image::ImageCodecFactory::createCodec(format)) {
    return util::fail(RunProblem{gifPath, movie, RunStage::Read, "not a picture format the converter reads"});
  }

  // The frame table is only needed for its delays.
  const FileTiming timing = readFileTiming(data, settings.timing);

  // A movie sure to be refused is refused before any pixel is decoded.
  const EarlyCheck check{gifPath, settings, [&settings](PixelSize source) { return settings.stageSizeFor(source); }};
  if (format == image::ImageFormat::Gif) {
    if (auto refused = refusalBeforeDecoding(timing, check)) return util::fail(std::move(*refused));
  }

  MovieFeed feed(gifPath, settings, timing);
  const util::Result<void> fed = format == image::ImageFormat::Gif && image::platform::looksLikeGif(data)
                                     ? feedGifFrames(data, encodeThreadsPerFile(encodeThreads, 1), feed)
                                     : feedCodecFrames(data, format, feed);
  data.clear();
  data.shrink_to_fit();
  if (!fed) return util::fail(RunProblem{gifPath, movie, RunStage::Decode, "cannot be decoded: " + fed.error()});
  return feed.finish();
}

std::string movieSummary(const ConvertedMovie& movie, Timing timing) {
  std::string text = std::to_string(movie.slotCount) + " frames";
  if (timing == Timing::AsGif) text += " at " + rateText(movie.frameRate88);
  if (movie.passes.passes > 1) text += ", played " + std::to_string(movie.passes.passes) + " times";
  if (movie.passes.tooLongToRepeat) text += ", looping forever: the GIF's passes would not fit in one movie";
  return text;
}

util::Result<ExportedFrames, RunProblem> exportFrames(const std::string& sourcePath, const std::string& outputFolder,
                                                      std::string_view extension) {
  ExportedFrames exported;
  exported.folder = exportFolderFor(outputFolder, extension);
  auto read = image::readPictureFile(sourcePath);
  if (!read) return util::fail(unreadable(sourcePath, {}, read.error()));
  std::vector<std::uint8_t> data = std::move(*read);
  image::AnimatedImage frames;
  if (auto loaded = frames.loadFromMemory(data, image::ImageCodecFactory::formatFromPath(std::string_view(sourcePath)));
      !loaded) {
    return util::fail(
        RunProblem{sourcePath,
                   {},
                   RunStage::Decode,
                   "cannot be decoded" + (loaded.error().empty() ? std::string() : ": " + loaded.error())});
  }
  data.clear();
  data.shrink_to_fit();
  for (std::size_t i = 0; i < frames.frameCount(); ++i) {
    const int index = static_cast<int>(i);
    if (auto written = writeExportFrame(frames.frame(i), outputFolder, sourcePath, extension, index); !written) {
      return util::fail(RunProblem{sourcePath, {}, RunStage::Export, std::move(written.error())});
    }
    frames.frame(i).release();  // written: its memory is no longer needed
    ++exported.framesWritten;
  }
  return exported;
}

}  // namespace brevanto::convert
