#pragma once

// The GIF preview: one loaded file's frames, their display times, the frame shown, and a
// playback thread that steps through the frames once at their own speed. The player is also
// the clock of a conversion: a file is converted by playing it once with capture on.
//
// Threads. Every operation is called on the thread that owns the player (the window's UI
// thread, or the caller of a headless run), except the FrameShown callback, which the playback
// thread fires. The playback thread reads only the frame count and the display times (they
// change only in load, which stops playback first), and writes currentFrame and the running
// flag (std::atomic). Frames it shows are queued; the owner drains the queue with
// handleShownFrames() on its own thread, which runs the capture step once per frame shown.
// stopPlayback interrupts the thread's wait at once; no thread is killed from outside.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "controls/AnimatedPicture.h"
#include "convert/FrameCapture.h"
#include "convert/Timeline.h"
#include "image/AnimatedImage.h"
#include "util/Result.h"

namespace brevanto::convert {

// How the playback thread waits each frame's display time. The player's own clock waits on the
// steady clock; a clock of one's own lets play time pass as fast as its owner wants.
class PlaybackClock {
 public:
  virtual ~PlaybackClock() = default;
  // Waits `time` with `lock` held on `wake`, which stopPlayback notifies, or less when
  // `stopped` becomes true first. Returns whether it did.
  virtual bool wait(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, std::chrono::milliseconds time,
                    const std::function<bool()>& stopped) = 0;

  // The steady clock (the player's unless another is set).
  static PlaybackClock& steady();
};

class PreviewPlayer {
 public:
  // Fired on the playback thread each time it shows a frame (and so wants the pane repainted).
  // The owner hops to its own thread and calls handleShownFrames() there, then repaints.
  // Must not call back into the player from the playback thread.
  using FrameShown = std::function<void()>;

  PreviewPlayer();
  ~PreviewPlayer();  // stops the playback thread
  PreviewPlayer(const PreviewPlayer&) = delete;
  PreviewPlayer& operator=(const PreviewPlayer&) = delete;

  void setFrameShown(FrameShown callback);
  // The clock the playback thread waits on; it must outlive the player's playback. Set it
  // while playback is stopped.
  void setClock(PlaybackClock& clock) { clock_ = &clock; }

  // The timing the next loads build their timeline with (100 ms steps until set).
  void setTiming(Timing timing) { timing_ = timing; }
  Timing timing() const { return timing_; }

  // Loads a file (playback must be stopped; load stops it if it runs). The frames held are
  // released when the path differs from the previous non-empty path, or when it is the same
  // path and more than one frame is held; otherwise the file's frames are appended to those
  // held (so loading a one-frame file twice holds its frame twice). Then the delay table is
  // loaded from the same file, the display times and slotCount are computed, captureCounter
  // is set to 0, and a currentFrame beyond the frames now held is set to 0.
  // Fails with the reason the file got no frames (unreadable, beyond the limits, undecodable).
  util::Result<void> load(const std::string& path);

  // Starts the playback thread when it is not running and more than one frame is held.
  void startPlayback();
  // A file of one frame held once (as the GIF's timing plays it) is not played: its frame is
  // shown once, so that the capture step runs for it as for a played frame.
  void showOnlyFrame();
  // Ends the playback thread at once if it runs: it advances no further frame and shows no
  // further one. currentFrame keeps its value.
  void stopPlayback();
  // currentFrame = 0.
  void rewind();

  // True once a load has happened (frames are then present, possibly none).
  bool hasLoaded() const { return hasLoaded_; }
  const std::string& currentPath() const { return currentPath_; }
  int frameCount() const { return frameCount_; }
  const std::vector<int>& displayTimes() const { return timeline_.displayTimes; }
  const Timeline& timeline() const { return timeline_; }
  // Movie frames for this file (see Timeline::slotCount).
  int slotCount() const { return timeline_.slotCount; }
  int currentFrame() const { return currentFrame_.load(); }
  bool playbackRunning() const { return playbackRunning_.load(); }
  // The frame at index, or nullptr when there is none (for painting the pane).
  const image::RasterImage* frameAt(int index) const;
  const image::RasterImage* currentImage() const { return frameAt(currentFrame()); }
  const controls::AnimatedPicture& delayTable() const { return delayTable_; }
  const image::AnimatedImage& frames() const { return frames_; }
  // The last load's file's looping extension: its repeat count (0: forever), none without one.
  std::optional<int> loopCount() const { return loopCount_; }

  // Capture fields and step.
  FrameCapture& capture() { return capture_; }
  const FrameCapture& capture() const { return capture_; }

  // On the owner's thread: runs the capture step for every frame shown since the last call,
  // in the order shown. Returns how many frames were handled.
  int handleShownFrames();
  // Frames shown by the playback thread and not yet handled.
  int pendingShownFrames() const;
  // The last frame of the file has been shown and handled since playback last started.
  bool lastFrameHandled() const { return lastFrameHandled_; }
  // The playback thread has played through to the end (not stopped) since it last started.
  bool playedToEnd() const { return playedToEnd_.load(); }

 private:
  void playbackLoop();
  void joinThread();

  image::AnimatedImage frames_;
  bool hasLoaded_ = false;
  std::string currentPath_;
  int frameCount_ = 0;
  Timeline timeline_;
  controls::AnimatedPicture delayTable_;
  FrameCapture capture_;
  std::optional<int> loopCount_;
  Timing timing_ = Timing::Steps;

  std::atomic<int> currentFrame_{0};
  std::atomic<bool> playbackRunning_{false};
  std::atomic<bool> playedToEnd_{false};
  bool lastFrameHandled_ = false;

  FrameShown frameShown_;
  PlaybackClock* clock_ = &PlaybackClock::steady();
  mutable std::mutex mutex_;  // guards stopRequested_ and shown_
  std::condition_variable wake_;
  bool stopRequested_ = false;
  std::deque<int> shown_;
  std::thread thread_;
};

}  // namespace brevanto::convert
