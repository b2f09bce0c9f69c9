#include "convert/PreviewPlayer.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "image/ImageCodec.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"

namespace brevanto::convert {

namespace {

class SteadyClock final : public PlaybackClock {
 public:
  bool wait(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, std::chrono::milliseconds time,
            const std::function<bool()>& stopped) override {
    return wake.wait_for(lock, time, stopped);
  }
};

}  // namespace

PlaybackClock& PlaybackClock::steady() {
  static SteadyClock clock;
  return clock;
}

PreviewPlayer::PreviewPlayer() = default;

PreviewPlayer::~PreviewPlayer() { stopPlayback(); }

void PreviewPlayer::setFrameShown(FrameShown callback) {
  std::lock_guard lock(mutex_);
  frameShown_ = std::move(callback);
}

util::Result<void> PreviewPlayer::load(const std::string& path) {
  stopPlayback();
  const bool samePath = path == currentPath_;
  if ((!samePath && !currentPath_.empty()) || (samePath && frames_.frameCount() > 1)) frames_.clear();
  currentPath_ = path;
  hasLoaded_ = true;

  // One read of the file serves the frame decoder and the delay table.
  std::optional<std::string> failure;
  loopCount_.reset();
  FileTiming timing;
  if (auto read = image::readPictureFile(path); !read) {
    failure = std::move(read.error());
  } else {
    const std::vector<std::uint8_t> data = std::move(*read);
    auto loaded = frames_.loadFromMemory(data, image::ImageCodecFactory::formatFromPath(std::string_view(path)));
    // A file the frame decoder refused (beyond the size or memory limits, or undecodable) is
    // not split and decoded again frame by frame for its delays: that could cost what the
    // refusal saved.
    if (loaded) {
      delayTable_.loadMemory(data);
      timing = readFileTiming(data, timing_, &delayTable_);
    } else {
      failure = loaded.error().empty() ? "cannot be decoded" : std::move(loaded.error());
    }
    loopCount_ = timing.loopCount;
  }
  if (failure) delayTable_.clear();

  frameCount_ = static_cast<int>(frames_.frameCount());
  capture_.captureCounter = 0;
  timeline_ = buildTimeline(frameCount_, timing.delaysFor(timing_), timing_);
  if (currentFrame_.load() >= frameCount_ || currentFrame_.load() < 0) currentFrame_ = 0;
  {
    std::lock_guard lock(mutex_);
    shown_.clear();
  }
  lastFrameHandled_ = false;
  playedToEnd_ = false;
  if (failure) return util::fail(std::move(*failure));
  return {};
}

void PreviewPlayer::startPlayback() {
  if (playbackRunning_.load() || frameCount_ <= 1) return;
  joinThread();  // a thread that ended by itself
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = false;
  }
  lastFrameHandled_ = false;
  playedToEnd_ = false;
  playbackRunning_ = true;
  thread_ = std::thread(&PreviewPlayer::playbackLoop, this);
}

void PreviewPlayer::showOnlyFrame() {
  if (playbackRunning_.load() || frameCount_ != 1) return;
  lastFrameHandled_ = false;
  std::lock_guard lock(mutex_);
  shown_.push_back(0);
}

void PreviewPlayer::stopPlayback() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  joinThread();
  playbackRunning_ = false;
}

void PreviewPlayer::joinThread() {
  if (thread_.joinable()) thread_.join();
}

void PreviewPlayer::rewind() { currentFrame_ = 0; }

const image::RasterImage* PreviewPlayer::frameAt(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= frames_.frameCount()) return nullptr;
  return &frames_.frame(static_cast<std::size_t>(index));
}

void PreviewPlayer::playbackLoop() {
  const int count = frameCount_;
  // In 100 ms steps every frame shows for at least one step; as the GIF, for its own time.
  const int shortest = timing_ == Timing::AsGif ? 0 : kSlotMilliseconds;
  int waits = 0;
  while (count > 0) {
    const int frame = std::clamp(currentFrame_.load(), 0, count - 1);
    FrameShown notify;
    {
      std::lock_guard lock(mutex_);
      if (stopRequested_) return;  // stopPlayback clears the running flag
      shown_.push_back(frame);
      notify = frameShown_;
    }
    if (notify) notify();

    const auto wait =
        std::chrono::milliseconds(std::max(shortest, timeline_.displayTimes[static_cast<std::size_t>(frame)]));
    {
      std::unique_lock lock(mutex_);
      if (clock_->wait(wake_, lock, wait, [this] { return stopRequested_; })) return;
    }
    ++waits;
    const int current = currentFrame_.load();
    if (current < count - 1) {
      currentFrame_ = current + 1;
      if (waits >= count) break;
    } else {
      break;  // the last frame has been shown
    }
  }
  currentFrame_ = 0;
  playedToEnd_ = true;
  playbackRunning_ = false;
}

int PreviewPlayer::handleShownFrames() {
  std::deque<int> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(shown_);
  }
  for (const int frame : batch) {
    if (frame < 0 || frame >= frameCount_) continue;
    capture_.captureFrame(frames_.frame(static_cast<std::size_t>(frame)), currentPath_,
                          timeline_.slotsOf(static_cast<std::size_t>(frame)));
    if (frame == frameCount_ - 1) lastFrameHandled_ = true;
  }
  return static_cast<int>(batch.size());
}

int PreviewPlayer::pendingShownFrames() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(shown_.size());
}

}  // namespace brevanto::convert
