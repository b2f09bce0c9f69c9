#include "convert/ConversionRun.h"

#include <algorithm>

#include "convert/EarlyRefusal.h"
#include "convert/FrameCapture.h"
#include "convert/HeadlessConverter.h"
#include "convert/SlotPictureMaker.h"
#include "convert/Timeline.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

namespace {

// "/%d" of the frames held.
std::string frameCountLabel(int frames) {
  std::string label(1, '/');
  label += std::to_string(frames);
  return label;
}

}  // namespace

AssembledMovie assembleMovie(const PreviewPlayer& player, const OutputSettings& settings, const std::string& gifPath) {
  AssembledMovie movie;
  swf::MovieAssemblyInput& input = movie.input;
  input.gifPath = gifPath;
  input.outputFolder = settings.outputFolder;
  input.stageWidth = settings.outputWidth;
  input.stageHeight = settings.outputHeight;
  const PixelSize stage{input.stageWidth, input.stageHeight};
  const image::RasterImage* first = player.frameAt(0);
  const PixelSize picture = first ? pictureSizeFor({first->width(), first->height()}, stage) : PixelSize{};
  input.sourceWidth = picture.width;
  input.sourceHeight = picture.height;
  const Passes passes = applyTimeline(input, player.timeline(), settings, player.loopCount());
  // Lossless captures are read back into bitmaps here, in slot order.
  const FrameCapture& capture = player.capture();
  SlotPictureMaker lossless(PictureKind::Lossless, settings.jpegQuality, picture, stage);
  movie.written = swf::writeMovie(input, [&](int slot) {
    return input.lossless ? capture.losslessPictureAt(gifPath, slot, lossless) : capture.pictureAt(gifPath, slot);
  });
  movie.summary =
      ConvertedMovie::of(input, movie.written ? *movie.written : std::string(), player.frameCount(), passes);
  return movie;
}

ConversionRun::ConversionRun(PreviewPlayer& player, OutputSettings& settings, const RunFileList& list)
    : player_(player), settings_(settings), list_(list) {}

int ConversionRun::progressPercent() const {
  const int n = list_.itemCount();
  if (n <= 0) return 0;
  return std::clamp(static_cast<int>((static_cast<long long>(runIndex_) + 1) * 100 / n), 0, 100);
}

int ConversionRun::sliderPosition() const {
  const int frames = player_.frameCount();
  if (frames <= 0) return 0;
  return std::clamp(static_cast<int>(static_cast<long long>(player_.currentFrame()) * 100 / frames), 0, 100);
}

bool ConversionRun::fileFinished() const {
  if (!isConverting_) return false;
  if (player_.lastFrameHandled()) return true;
  if (player_.playbackRunning() || player_.pendingShownFrames() > 0) return false;
  if (player_.playedToEnd()) return true;
  // Nothing can play: the file held no frame (it could not be decoded) or only one.
  return isPlaying_ && player_.frameCount() <= 1;
}

void ConversionRun::startCapture() {
  FrameCapture& capture = player_.capture();
  capture.captureEnabled = true;
  capture.captureCounter = 0;
  capture.capturePictures = settings_.pictures;
  capture.captureStage = {settings_.outputWidth, settings_.outputHeight};
  player_.setTiming(settings_.timing);
}

void ConversionRun::loadCurrentFile() {
  auto loaded = player_.load(currentFile_);
  loadFailure_ = loaded ? std::nullopt : std::optional<std::string>(std::move(loaded.error()));
}

// A one-frame file played as two frames is held twice, so that it plays and is captured as
// two frames; held once, its frame is shown once.
void ConversionRun::holdPlayedFrames() {
  if (playedFrameCount(player_.frameCount(), player_.timing()) > player_.frameCount()) loadCurrentFile();
}

void ConversionRun::startPlaying() {
  player_.startPlayback();
  if (isConverting_) player_.showOnlyFrame();
}

void ConversionRun::makeCurrent(int row, RunActions& actions) {
  const RunItem item = list_.itemAt(row);
  actions.selectRow = row;
  actions.currentItem = item;
  currentFile_ = item.filePath;
  const PixelSize stage = stageSizeFor(settings_.sizeMode, {item.width, item.height}, customSize_);
  settings_.outputWidth = stage.width;
  settings_.outputHeight = stage.height;
  player_.capture().captureStage = stage;
  actions.writeSettingsBack = true;
}

RunActions ConversionRun::convert() {
  RunActions actions;
  if (list_.itemCount() == 0) {
    actions.message = std::string(kNoFilesMessage);
    actions.messageIcon = MessageIcon::Exclamation;
    return actions;
  }
  if (currentFile_.empty()) {
    actions.message = std::string(kSelectFileToConvertMessage);
    return actions;
  }
  FrameCapture& capture = player_.capture();
  capture.captureQuality = settings_.jpegQuality;
  capture.outputFolder = settings_.outputFolder;
  isPlaying_ = true;
  isConverting_ = true;
  isConvertAll_ = false;
  runIndex_ = 0;
  startCapture();
  emptyCaptureFolder(settings_.outputFolder);
  actions.playbackTimerRunning = true;  // stopped and started again: a fresh period

  player_.stopPlayback();
  player_.rewind();
  if (refusedBeforePlayingInto(actions)) return actions;
  loadCurrentFile();
  holdPlayedFrames();
  startPlaying();
  actions.frameCountLabel = frameCountLabel(player_.frameCount());
  return actions;
}

RunActions ConversionRun::convertAll() {
  RunActions actions;
  if (list_.itemCount() == 0) {
    actions.message = std::string(kNoFilesMessage);
    actions.messageIcon = MessageIcon::Exclamation;
    return actions;
  }
  if (outputFolderMissing(settings_.outputFolder)) {
    actions.message = std::string(kSelectDirectoryMessage);
    return actions;
  }
  FrameCapture& capture = player_.capture();
  capture.captureQuality = settings_.jpegQuality;
  capture.outputFolder = settings_.outputFolder;
  customSize_ = {settings_.outputWidth, settings_.outputHeight};
  makeCurrent(0, actions);
  runIndex_ = 0;
  startCapture();
  isConvertAll_ = true;
  isConverting_ = true;
  isPlaying_ = false;
  if (refusedBeforePlayingInto(actions)) return actions;
  togglePlaybackInto(actions);
  return actions;
}

RunActions ConversionRun::play() {
  RunActions actions;
  if (currentFile_.empty()) {
    actions.message = std::string(kSelectFileMessage);
    actions.messageIcon = MessageIcon::Exclamation;
    return actions;
  }
  emptyCaptureFolder(settings_.outputFolder);
  togglePlaybackInto(actions);
  return actions;
}

RunActions ConversionRun::pause() {
  RunActions actions;
  if (!currentFile_.empty()) togglePlaybackInto(actions);
  return actions;
}

RunActions ConversionRun::togglePlayback() {
  RunActions actions;
  togglePlaybackInto(actions);
  return actions;
}

void ConversionRun::togglePlaybackInto(RunActions& actions) {
  player_.stopPlayback();
  loadCurrentFile();
  player_.stopPlayback();
  if (!isPlaying_) {
    actions.playEnabled = false;
    actions.pauseEnabled = true;
    isPlaying_ = true;
    if (isConverting_) {
      player_.rewind();
      holdPlayedFrames();
    }
    startPlaying();
  } else {
    actions.controlsLocked = false;
    actions.playEnabled = true;
    actions.pauseEnabled = false;
    isPlaying_ = false;
    player_.stopPlayback();
    actions.repaintPane = true;
  }
  actions.playbackTimerRunning = true;
  actions.frameCountLabel = frameCountLabel(player_.frameCount());
}

RunActions ConversionRun::tick(int timerId) {
  RunActions actions;
  // Frames shown that the window has not handed over yet are captured now, in order.
  player_.handleShownFrames();
  actions.frameBox = player_.currentFrame();
  actions.progressPercent = progressPercent();
  if (timerId == kPlaybackTimer) {
    actions.sliderPosition = sliderPosition();
    if (isConverting_) {
      actions.controlsLocked = true;
      if (fileFinished()) finishFileInto(actions);
    } else {
      const int frames = player_.frameCount();
      const bool lastShown = frames > 0 && player_.currentFrame() + 1 == frames;
      const bool threadEnded = isPlaying_ && player_.playedToEnd() && !player_.playbackRunning();
      if (lastShown || threadEnded) {
        player_.rewind();
        isPlaying_ = true;
        togglePlaybackInto(actions);
      }
    }
  } else if (timerId == kNextFileTimer) {
    if (runIndex_ < list_.itemCount()) {
      advanceInto(actions);
    } else {
      actions.nextFileTimerRunning = false;
    }
  }
  return actions;
}

RunActions ConversionRun::finishFile() {
  RunActions actions;
  finishFileInto(actions);
  return actions;
}

RunActions ConversionRun::advanceToNextFile() {
  RunActions actions;
  advanceInto(actions);
  return actions;
}

void ConversionRun::finishFileInto(RunActions& actions, std::optional<RunProblem> refused) {
  FrameCapture& capture = player_.capture();
  capture.captureEnabled = false;
  isConverting_ = false;
  actions.controlsLocked = false;
  actions.playbackTimerRunning = false;

  const image::RasterImage* first = player_.frameAt(0);
  const std::string movie = swf::moviePath(settings_.outputFolder, currentFile_);
  if (refused) {
    actions.problem = std::move(*refused);
  } else if (player_.frameCount() == 0 || first == nullptr) {
    actions.problem = RunProblem{currentFile_, movie, RunStage::Decode, loadFailure_.value_or("cannot be decoded")};
  } else if (const auto missing = capture.missingPictures()) {
    // A movie without some of its pictures would silently replace a good one: report instead.
    actions.problem = RunProblem{currentFile_, movie, RunStage::Capture, *missing + "; the movie was not written"};
  } else {
    const AssembledMovie movie = assembleMovie(player_, settings_, currentFile_);
    if (movie.written) {
      actions.movieWritten = *movie.written;
      actions.movieSummary = movieSummary(movie.summary, settings_.timing);
      // Convert opens the finished movie; Convert All opens the output folder at its end.
      if (!isConvertAll_) actions.openMovie = *movie.written;
    } else {
      actions.problem = movieProblem(movie.input, movie.written.error());
    }
  }
  emptyCaptureFolder(settings_.outputFolder);

  actions.playEnabled = true;
  actions.pauseEnabled = false;
  isPlaying_ = false;
  actions.sliderPosition = 0;
  if (!isConvertAll_) return;
  if (runIndex_ < list_.itemCount() - 1) {
    capture.captureEnabled = true;
    isConverting_ = true;
    actions.nextFileTimerRunning = true;
  } else {
    endConvertAll(actions);  // the last file is done (or the list has shrunk below it)
  }
}

void ConversionRun::endConvertAll(RunActions& actions) {
  isConvertAll_ = false;
  isConverting_ = false;
  player_.capture().captureEnabled = false;
  actions.controlsLocked = false;
  actions.nextFileTimerRunning = false;
  actions.openFolder = settings_.outputFolder;
}

void ConversionRun::advanceInto(RunActions& actions) {
  actions.nextFileTimerRunning = false;
  if (runIndex_ + 1 >= list_.itemCount()) {
    endConvertAll(actions);  // rows were removed meanwhile: nothing left to convert
    return;
  }
  makeCurrent(runIndex_ + 1, actions);
  ++runIndex_;
  isPlaying_ = false;
  if (refusedBeforePlayingInto(actions)) return;
  togglePlaybackInto(actions);
}

bool ConversionRun::refusedBeforePlayingInto(RunActions& actions) {
  const PixelSize stage{settings_.outputWidth, settings_.outputHeight};
  const SizeMode mode = settings_.sizeMode;
  auto refused = refusalBeforeDecoding(EarlyCheck{currentFile_, settings_, [stage, mode](PixelSize source) {
                                                    return stageLacksGifSize(mode, stage)
                                                               ? stageSizeFor(mode, source, stage)
                                                               : stage;
                                                  }});
  if (!refused) return false;
  player_.stopPlayback();
  finishFileInto(actions, std::move(refused));
  return true;
}

}  // namespace brevanto::convert
