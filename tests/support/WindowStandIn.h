#pragma once

// The window's part in a conversion run, without Qt: a batch list, a stand-in that performs the
// RunActions the run asks for and records them, and its event loop, which hands shown frames
// over every few milliseconds and ticks the run's two timers every 100 ms while they run.

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "convert/ConversionRun.h"
#include "convert/OutputSettings.h"
#include "convert/PreviewPlayer.h"

namespace brevanto::testing {

struct BatchList final : convert::RunFileList {
  std::vector<convert::RunItem> items;
  void add(const std::string& path, int width, int height) { items.push_back({path, width, height}); }
  int itemCount() const override { return static_cast<int>(items.size()); }
  convert::RunItem itemAt(int index) const override { return items.at(static_cast<std::size_t>(index)); }
};

class WindowStandIn {
 public:
  WindowStandIn(convert::ConversionRun& run, convert::PreviewPlayer& player) : run_(run), player_(player) {}

  void perform(const convert::RunActions& a) {
    if (a.message) messages.push_back(*a.message);
    if (a.progressPercent) percents.push_back(*a.progressPercent);
    if (a.controlsLocked) controlsLocked = *a.controlsLocked;
    if (a.playEnabled) playEnabled = *a.playEnabled;
    if (a.pauseEnabled) pauseEnabled = *a.pauseEnabled;
    if (a.selectRow) selectedRows.push_back(*a.selectRow);
    if (a.openMovie) openedMovies.push_back(*a.openMovie);
    if (a.openFolder) openedFolders.push_back(*a.openFolder);
    if (a.problem) problems.push_back(a.problem->file + ": " + a.problem->reason);
    if (a.movieWritten && !a.movieWritten->empty()) movies.push_back(*a.movieWritten);
    if (a.frameCountLabel) frameCountLabel = *a.frameCountLabel;
    const auto now = Clock::now();
    if (a.playbackTimerRunning) {
      timer1 = *a.playbackTimerRunning;
      timer1Due = now + kPeriod;
    }
    if (a.nextFileTimerRunning) {
      timer2 = *a.nextFileTimerRunning;
      timer2Due = now + kPeriod;
    }
  }

  // The event loop: runs while a timer runs and `until` returns false, at most `limit`.
  // `until` is called on every turn, so a test can also break things in the middle of a run.
  // Returns false when the limit was reached.
  template <typename Until>
  bool run(Until until, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto end = Clock::now() + limit;
    while ((timer1 || timer2) && !until()) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      player_.handleShownFrames();
      if (timer1 && Clock::now() >= timer1Due) {
        timer1Due += kPeriod;
        perform(run_.tick(convert::kPlaybackTimer));
      }
      if (timer2 && Clock::now() >= timer2Due) {
        timer2Due += kPeriod;
        perform(run_.tick(convert::kNextFileTimer));
      }
    }
    return true;
  }
  bool runUntilIdle(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    return run([] { return false; }, limit);
  }

  std::vector<std::string> messages, openedMovies, openedFolders, problems, movies;
  std::vector<int> percents, selectedRows;
  std::string frameCountLabel;
  bool controlsLocked = false;
  bool playEnabled = true;
  bool pauseEnabled = true;
  bool timer1 = false;  // playback timer
  bool timer2 = false;  // next-file timer

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kPeriod = std::chrono::milliseconds(convert::kTimerPeriodMs);
  convert::ConversionRun& run_;
  convert::PreviewPlayer& player_;
  Clock::time_point timer1Due, timer2Due;
};

// A whole conversion run as the window holds it: player, settings, batch list, run and window.
struct RunHarness {
  explicit RunHarness(const std::string& outputFolder = {}) { settings.outputFolder = outputFolder; }
  RunHarness(const RunHarness&) = delete;
  RunHarness& operator=(const RunHarness&) = delete;
  ~RunHarness() { player.stopPlayback(); }

  // Convert All over the list to its end; false when it did not end within `limit`.
  bool convertAll(std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    window.perform(run.convertAll());
    return window.runUntilIdle(limit);
  }

  convert::PreviewPlayer player;
  convert::OutputSettings settings;
  BatchList list;
  convert::ConversionRun run{player, settings, list};
  WindowStandIn window{run, player};
};

}  // namespace brevanto::testing
