#pragma once

// The timing of one loaded GIF: each frame's display time and where its picture lands on the
// movie's timeline of 100 ms slots. The preview player, the frame capture and the headless
// converter all use this one rule, so a movie comes out the same whichever path made it.

#include <cstdint>
#include <vector>

namespace brevanto::controls {
class AnimatedPicture;
}

namespace brevanto::convert {

// Length of one slot of the movie's timeline, in milliseconds.
inline constexpr int kSlotMilliseconds = 100;

// Display time in milliseconds of a frame whose GIF delay is `delay` hundredths of a second:
// delay x 10 for delays of 5 and more; 100 for 0 to 4 and for -1 (no delay given).
int displayTimeForDelay(int delay);

// Slots a frame shown for displayTime milliseconds occupies: displayTime div 100, at least 1.
int slotsForDisplayTime(int displayTime);

struct Timeline {
  std::vector<int> displayTimes;  // milliseconds, one per frame
  std::vector<int> firstSlots;    // the slot where each frame's picture starts
  // Movie frames: the larger of (sum of display times) div 100 and the number of slots the
  // frames occupy, so no captured frame falls off the end of the movie.
  int slotCount = 0;
};

// A file of one frame is played, captured and converted as two copies of that frame, so that
// it animates: the number of frames played for a file that decodes to decodedFrames frames.
inline int playedFrameCount(int decodedFrames) { return decodedFrames == 1 ? 2 : decodedFrames; }

// The timeline built frame by frame, for frames that arrive one at a time (a streaming decoder):
// each frame learns its first slot as it comes, and played() completes the timeline.
class TimelineWalk {
 public:
  // delays: as for buildTimeline.
  explicit TimelineWalk(std::vector<int> delays);

  // Counts the next frame; returns the slot where its picture starts.
  int addFrame();
  int frameCount() const { return static_cast<int>(timeline_.firstSlots.size()); }
  // The timeline of the frames added so far (no one-frame doubling).
  const Timeline& timeline() const { return timeline_; }
  // The timeline as it plays: a single frame added so far counts twice (playedFrameCount).
  Timeline played() const;

 private:
  std::vector<int> delays_;
  Timeline timeline_;
  std::int64_t totalTime_ = 0;
  std::int64_t nextSlot_ = 0;
};

// The timeline of frameCount decoded frames whose delays come from `delays` (the frame table's
// entries, taken one to one in file order). Frames beyond the table get 100 ms. With no
// animated entries (animatedFrameCount 0) every frame shows for 100 ms.
Timeline buildTimeline(int frameCount, const std::vector<int>& delays);
Timeline buildTimeline(int frameCount, const controls::AnimatedPicture& delayTable);

// The delays the frames are timed by: the frame table's entries when it has animated ones,
// none otherwise (every frame then shows for 100 ms).
std::vector<int> frameDelays(const controls::AnimatedPicture& delayTable);

}  // namespace brevanto::convert
