#include "convert/Timeline.h"

#include <algorithm>
#include <limits>

#include "controls/AnimatedPicture.h"

namespace brevanto::convert {

namespace {

// Delays below this many hundredths of a second are shown for one slot instead.
constexpr int kShortestHonouredDelay = 5;

int clampToInt(std::int64_t v) {
  return static_cast<int>(std::min<std::int64_t>(v, std::numeric_limits<int>::max()));
}

} // namespace

int displayTimeForDelay(int delay) {
  return delay >= kShortestHonouredDelay ? delay * 10 : kSlotMilliseconds;
}

int slotsForDisplayTime(int displayTime) {
  return std::max(1, displayTime / kSlotMilliseconds);
}

Timeline buildTimeline(int frameCount, const std::vector<int>& delays) {
  Timeline timeline;
  if (frameCount <= 0) return timeline;
  const auto count = static_cast<std::size_t>(frameCount);
  timeline.displayTimes.reserve(count);
  timeline.firstSlots.reserve(count);
  std::int64_t totalTime = 0;
  std::int64_t nextSlot = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int time = i < delays.size() ? displayTimeForDelay(delays[i]) : kSlotMilliseconds;
    timeline.displayTimes.push_back(time);
    timeline.firstSlots.push_back(clampToInt(nextSlot));
    totalTime += time;
    nextSlot += slotsForDisplayTime(time);
  }
  timeline.slotCount = clampToInt(std::max(totalTime / kSlotMilliseconds, nextSlot));
  return timeline;
}

Timeline buildTimeline(int frameCount, const controls::AnimatedPicture& delayTable) {
  std::vector<int> delays;
  if (delayTable.animatedFrameCount() > 0) {
    for (const auto& frame : delayTable.frames()) delays.push_back(frame.delay);
  }
  return buildTimeline(frameCount, delays);
}

} // namespace brevanto::convert
