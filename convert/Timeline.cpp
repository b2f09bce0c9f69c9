#include "convert/Timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <utility>

#include "controls/AnimatedPicture.h"
#include "image/GifIndex.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

namespace {

// 100 ms steps: delays below this many hundredths of a second are shown for one slot instead.
constexpr int kShortestHonouredDelay = 5;
// As the GIF: delays up to this many hundredths play 100 ms, as browsers play them.
constexpr int kLongestBrowserDefaultDelay = 1;
constexpr int kDefaultHundredths = kSlotMilliseconds / 10;
// 100 frames a second in 8.8 fixed point: the rate of a movie frame of one hundredth.
constexpr std::int64_t kHundredFps88 = 100 * 256;

int clampToInt(std::int64_t v) { return static_cast<int>(std::min<std::int64_t>(v, std::numeric_limits<int>::max())); }

// The stored rate for movie frames of `hundredths`: the nearest 8.8 value to 100 / hundredths
// that is not above it, so that no movie frame starts before the time its GIF frame does.
std::uint16_t rate88For(int hundredths) { return static_cast<std::uint16_t>(kHundredFps88 / hundredths); }

}  // namespace

int displayTimeForDelay(int delay) { return delay >= kShortestHonouredDelay ? delay * 10 : kSlotMilliseconds; }

int slotsForDisplayTime(int displayTime) { return std::max(1, displayTime / kSlotMilliseconds); }

int gifHundredths(int delay) { return delay > kLongestBrowserDefaultDelay ? delay : kDefaultHundredths; }

GifRate gifRateFor(const std::vector<int>& delays) {
  int g = 0;
  std::int64_t total = 0;
  for (const int delay : delays) {
    const int h = gifHundredths(delay);
    g = std::gcd(g, h);
    total += h;
  }
  if (g == 0) return GifRate{kDefaultHundredths, rate88For(kDefaultHundredths)};
  // The divisors of g from the largest down: the first whose stored rate is close enough. One
  // hundredth (100 fps, stored exactly) always is.
  std::vector<int> divisors;
  for (int d = 1; static_cast<std::int64_t>(d) * d <= g; ++d) {
    if (g % d != 0) continue;
    divisors.push_back(d);
    divisors.push_back(g / d);
  }
  std::sort(divisors.begin(), divisors.end(), std::greater<>());
  for (const int length : divisors) {
    const std::uint16_t rate = rate88For(length);
    if (rate == 0) continue;
    // How much longer or shorter each movie frame plays at the stored rate, times the movie
    // frames: the drift at the end, in movie frames.
    const double error = std::abs(static_cast<double>(kHundredFps88) / (static_cast<double>(rate) * length) - 1.0);
    if (static_cast<double>(total / length) * error <= 0.5) return GifRate{length, rate};
  }
  return GifRate{1, rate88For(1)};
}

std::string rateText(std::uint16_t rate88) {
  char text[32];
  if (rate88 % 256 == 0) {
    std::snprintf(text, sizeof text, "%d fps", rate88 / 256);
  } else {
    std::snprintf(text, sizeof text, "%.2f fps", rate88 / 256.0);
  }
  return text;
}

int Timeline::slotsOf(std::size_t i) const {
  if (i >= firstSlots.size()) return 0;
  const int end = i + 1 < firstSlots.size() ? firstSlots[i + 1] : slotCount;
  return std::max(0, end - firstSlots[i]);
}

int playedFrameCount(int decodedFrames, Timing timing) {
  return decodedFrames == 1 && timing == Timing::Steps ? 2 : decodedFrames;
}

TimelineWalk::TimelineWalk(std::vector<int> delays, Timing timing)
    : timing_(timing), delays_(std::move(delays)), rate_(timing == Timing::AsGif ? gifRateFor(delays_) : GifRate{}) {
  if (timing_ == Timing::AsGif) timeline_.frameRate88 = rate_.rate88;
}

int TimelineWalk::addFrame() {
  const std::size_t i = timeline_.firstSlots.size();
  const int slot = clampToInt(nextSlot_);
  int time = kSlotMilliseconds;
  if (timing_ == Timing::AsGif) {
    const int hundredths = i < delays_.size() ? gifHundredths(delays_[i]) : kDefaultHundredths;
    time = hundredths * 10;
    // A frame beyond the delays the rate was chosen for lasts the nearest whole movie frames.
    nextSlot_ += std::max(1, (hundredths + rate_.hundredths / 2) / rate_.hundredths);
    timeline_.slotCount = clampToInt(nextSlot_);
  } else {
    if (i < delays_.size()) time = displayTimeForDelay(delays_[i]);
    totalTime_ += time;
    nextSlot_ += slotsForDisplayTime(time);
    timeline_.slotCount = clampToInt(std::max(totalTime_ / kSlotMilliseconds, nextSlot_));
  }
  timeline_.displayTimes.push_back(time);
  timeline_.firstSlots.push_back(slot);
  return slot;
}

Timeline TimelineWalk::played() const {
  TimelineWalk walk = *this;
  while (walk.frameCount() < playedFrameCount(frameCount(), timing_)) walk.addFrame();
  return walk.timeline_;
}

Timeline buildTimeline(int frameCount, const std::vector<int>& delays, Timing timing) {
  TimelineWalk walk(delays, timing);
  for (int i = 0; i < frameCount; ++i) walk.addFrame();
  return walk.timeline();
}

std::vector<int> frameDelays(const controls::AnimatedPicture& delayTable) {
  std::vector<int> delays;
  if (delayTable.animatedFrameCount() > 0) {
    for (const auto& frame : delayTable.frames()) delays.push_back(frame.delay);
  }
  return delays;
}

FileTiming readFileTiming(std::span<const std::uint8_t> data, Timing timing, const controls::AnimatedPicture* table) {
  FileTiming read;
  if (table) {
    read.tableDelays = frameDelays(*table);
  } else if (timing == Timing::Steps) {
    controls::AnimatedPicture loaded;
    loaded.loadMemory(data);
    read.tableDelays = frameDelays(loaded);
  }
  const image::GifIndex index = image::indexGif(data, image::GifRules::Decoder);
  if (index.hasScreen) {
    read.imageDelays = index.delays();
    read.loopCount = index.loopCount;
    read.canvas = {index.canvasWidth, index.canvasHeight};
  }
  return read;
}

Passes passesFor(LoopMode loop, std::optional<int> loopCount, int framesPerPass) {
  if (loop != LoopMode::AsGif) return {};
  if (!loopCount) return {1, true, false};
  if (*loopCount == 0) return {};
  const std::int64_t passes = std::int64_t{*loopCount} + 1;
  if (passes * std::max(1, framesPerPass) > swf::kMaxMovieFrames) return {1, false, true};
  return {static_cast<int>(passes), true, false};
}

bool flatMovie(const OutputSettings& settings, std::optional<int> loopCount) {
  return settings.pictures == PictureKind::Lossless || settings.timing == Timing::AsGif ||
         (settings.loop == LoopMode::AsGif && loopCount.value_or(0) > 0);
}

Passes applyTimeline(swf::MovieAssemblyInput& input, const Timeline& played, const OutputSettings& settings,
                     std::optional<int> loopCount) {
  const Passes passes = passesFor(settings.loop, loopCount, played.slotCount);
  input.slotCount = played.slotCount;
  input.frameRate = settings.frameRate;
  input.frameRate88 = played.frameRate88;
  input.lossless = settings.pictures == PictureKind::Lossless;
  input.flat = flatMovie(settings, loopCount);
  input.passes = passes.passes;
  input.stopAtEnd = passes.stopAtEnd;
  return passes;
}

}  // namespace brevanto::convert
