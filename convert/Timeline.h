#pragma once

// The timing of one GIF's movie, reckoned here and nowhere else: each frame's display time, the
// movie frame where its picture starts, the movie's length and rate, whether a one-frame file
// is played twice, and how many passes the movie plays. The preview player, the frame capture,
// the window's conversion, Full speed and the headless converter all take it from here, so a
// movie comes out the same whichever path made it; they differ only in where a picture comes
// from (a capture file or the decoder).
//
// Two timings:
//  - 100 ms steps (Timing::Steps): the movie's frames are slots of 100 ms. A frame's display time
//    is 10 x its delay for delays of 5 hundredths and more, else 100 ms; it starts at the slot
//    after the slots of the frames before it (each at least one). The delays are the frame
//    table's (controls::AnimatedPicture).
//  - As the GIF (Timing::AsGif): the rule browsers use. A delay of 0 or 1 hundredth (or none)
//    plays 100 ms, any other delay d plays 10 x d ms. The movie runs at 100 / g frames a second,
//    g being the greatest common divisor of the display times in hundredths, and each frame
//    lasts exactly its display time / g movie frames. The delays are each image's own
//    (image::GifIndex::delays, the block walk under the decoder's rules).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/OutputSettings.h"

namespace brevanto::controls {
class AnimatedPicture;
}

namespace brevanto::swf {
struct MovieAssemblyInput;
}

namespace brevanto::convert {

// Length of one slot of the 100 ms steps timeline, in milliseconds.
inline constexpr int kSlotMilliseconds = 100;

// 100 ms steps: display time in milliseconds of a frame whose GIF delay is `delay` hundredths of
// a second: delay x 10 for delays of 5 and more; 100 for 0 to 4 and for -1 (no delay given).
int displayTimeForDelay(int delay);
// 100 ms steps: slots a frame shown for displayTime milliseconds occupies: displayTime div 100,
// at least 1.
int slotsForDisplayTime(int displayTime);

// As the GIF: hundredths of a second a frame with GIF delay `delay` plays (10 for 0, 1 and -1).
int gifHundredths(int delay);

// As the GIF: the movie's frame length in hundredths and the header's rate (8.8 fixed point,
// the nearest value to 100 / hundredths not above it: 33.33 fps is 0x2155; never above, so that
// no movie frame starts before its GIF frame does). The length divides every display time; it
// is the greatest such length whose stored rate is not 0 and is close enough that the movie's
// length stays within half a movie frame of the GIF's.
struct GifRate {
  int hundredths = 10;
  std::uint16_t rate88 = 0x0A00;
};
GifRate gifRateFor(const std::vector<int>& delays);

// "33.33 fps", "10 fps": a header rate as users read it.
std::string rateText(std::uint16_t rate88);

struct Timeline {
  std::vector<int> displayTimes;  // milliseconds, one per frame played
  std::vector<int> firstSlots;    // the movie frame where each frame's picture starts
  // Movie frames of one pass. 100 ms steps: the larger of (sum of display times) div 100 and
  // the number of slots the frames occupy, so no captured frame falls off the end of the movie.
  int slotCount = 0;
  // As the GIF: the header's rate; 0 for 100 ms steps (the frame-rate setting's).
  std::uint16_t frameRate88 = 0;

  // Movie frames frame i lasts (the last one: up to the end of the pass).
  int slotsOf(std::size_t i) const;
};

// Frames played for a file that decodes to decodedFrames frames: in 100 ms steps a file of one
// frame is played, captured and converted as two copies of that frame, so that it animates; as
// the GIF it is one frame.
int playedFrameCount(int decodedFrames, Timing timing = Timing::Steps);

// The timeline built frame by frame, for frames that arrive one at a time (a streaming decoder):
// each frame learns its first movie frame as it comes, and played() completes the timeline.
class TimelineWalk {
 public:
  // delays: the delays of the timing (see above), taken one to one in file order; frames
  // beyond them play 100 ms. As the GIF, the rate comes from these delays, so they must be all
  // of the file's.
  explicit TimelineWalk(std::vector<int> delays, Timing timing = Timing::Steps);

  // Counts the next frame; returns the movie frame where its picture starts.
  int addFrame();
  int frameCount() const { return static_cast<int>(timeline_.firstSlots.size()); }
  // The timeline of the frames added so far (no one-frame doubling).
  const Timeline& timeline() const { return timeline_; }
  // The timeline as it plays (playedFrameCount).
  Timeline played() const;

 private:
  Timing timing_;
  std::vector<int> delays_;
  GifRate rate_;
  Timeline timeline_;
  std::int64_t totalTime_ = 0;
  std::int64_t nextSlot_ = 0;
};

// The timeline of frameCount frames as TimelineWalk counts them (no one-frame doubling).
Timeline buildTimeline(int frameCount, const std::vector<int>& delays, Timing timing = Timing::Steps);

// 100 ms steps: the delays the frames are timed by: the frame table's entries when it has
// animated ones, none otherwise (every frame then shows for 100 ms).
std::vector<int> frameDelays(const controls::AnimatedPicture& delayTable);

// What a file's bytes say about its timing, read once: the frame table's delays, every image's
// own delay and the loop count of its looping extension, with the canvas the decoder composes.
struct FileTiming {
  std::vector<int> tableDelays;
  std::vector<int> imageDelays;  // one per image the decoder reads
  std::optional<int> loopCount;  // none without a looping extension; 0 repeats forever
  PixelSize canvas;              // 0 x 0 when the bytes are not a GIF

  const std::vector<int>& delaysFor(Timing timing) const { return timing == Timing::AsGif ? imageDelays : tableDelays; }
};
// table: the file's frame table when the caller has it loaded already; else it is loaded here
// when `timing` reads its delays (100 ms steps).
FileTiming readFileTiming(std::span<const std::uint8_t> data, Timing timing,
                          const controls::AnimatedPicture* table = nullptr);

// How often the movie plays its frames and whether it stops at the end. Loop "As the GIF": a
// GIF without a looping extension plays once and stops; one that repeats forever (0) loops; one
// that repeats N times plays N + 1 passes and stops, unless the passes would not fit in one
// movie (kMaxMovieFrames): it then loops (tooLongToRepeat).
struct Passes {
  int passes = 1;
  bool stopAtEnd = false;
  bool tooLongToRepeat = false;
};
Passes passesFor(LoopMode loop, std::optional<int> loopCount, int framesPerPass);

// Whether the movie keeps a bounded display list (swf::MovieAssemblyInput::flat): every movie
// but JPEG pictures in 100 ms steps played once. Known before any frame is decoded.
bool flatMovie(const OutputSettings& settings, std::optional<int> loopCount);

// Sets the movie's timing fields from the timeline as played: frames of one pass, rate, passes,
// stop and layout. Returns the passes chosen.
Passes applyTimeline(swf::MovieAssemblyInput& input, const Timeline& played, const OutputSettings& settings,
                     std::optional<int> loopCount);

}  // namespace brevanto::convert
