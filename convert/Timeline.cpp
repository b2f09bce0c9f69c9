#include "convert/Timeline.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "controls/AnimatedPicture.h"

namespace brevanto::convert {

namespace {

// Delays below this many hundredths of a second are shown for one slot instead.
constexpr int kShortestHonouredDelay = 5;

int clampToInt(std::int64_t v) { return static_cast<int>(std::min<std::int64_t>(v, std::numeric_limits<int>::max())); }

}  // namespace

int displayTimeForDelay(int delay) { return delay >= kShortestHonouredDelay ? delay * 10 : kSlotMilliseconds; }

int slotsForDisplayTime(int displayTime) { return std::max(1, displayTime / kSlotMilliseconds); }

TimelineWalk::TimelineWalk(std::vector<int> delays) : delays_(std::move(delays)) {}

int TimelineWalk::addFrame() {
  const std::size_t i = timeline_.firstSlots.size();
  const int time = i < delays_.size() ? displayTimeForDelay(delays_[i]) : kSlotMilliseconds;
  const int slot = clampToInt(nextSlot_);
  timeline_.displayTimes.push_back(time);
  timeline_.firstSlots.push_back(slot);
  totalTime_ += time;
  nextSlot_ += slotsForDisplayTime(time);
  timeline_.slotCount = clampToInt(std::max(totalTime_ / kSlotMilliseconds, nextSlot_));
  return slot;
}

Timeline TimelineWalk::played() const {
  TimelineWalk walk = *this;
  while (walk.frameCount() < playedFrameCount(frameCount())) walk.addFrame();
  return walk.timeline_;
}

Timeline buildTimeline(int frameCount, const std::vector<int>& delays) {
  TimelineWalk walk(delays);
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

Timeline buildTimeline(int frameCount, const controls::AnimatedPicture& delayTable) {
  return buildTimeline(frameCount, frameDelays(delayTable));
}

}  // namespace brevanto::convert
