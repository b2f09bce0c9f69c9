#pragma once

// Drives the conversion run headlessly the way the window does: the real preview player with
// its playback thread, the run's two 100 ms timers simulated from a polling loop, and every
// action the run asks for recorded. A hook runs on every turn of the loop, so a test can break
// things in the middle of a conversion.

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "convert/ConversionRun.h"
#include "convert/OutputSettings.h"
#include "convert/PreviewPlayer.h"

namespace brevanto::hardening {

class FileList : public convert::RunFileList {
 public:
  std::vector<convert::RunItem> items;
  int itemCount() const override { return static_cast<int>(items.size()); }
  convert::RunItem itemAt(int index) const override { return items[static_cast<std::size_t>(index)]; }
};

struct RunRecord {
  std::vector<std::string> problems;
  std::vector<std::string> moviesWritten;
  std::vector<int> rowsSelected;
  bool folderOpened = false;
  bool finished = false;  // Convert All reached its end (or a single Convert finished)
  bool timedOut = false;
};

class RunDriver {
 public:
  explicit RunDriver(std::string outputFolder) {
    settings.outputFolder = std::move(outputFolder);
    settings.jpegQuality = 90;
  }

  void add(const std::string& path, int width, int height) { list.items.push_back({path, width, height}); }

  // Runs Convert All to its end. `hook` is called on every turn (about every 5 ms) with the
  // run, so it can inspect the player or break the file system.
  RunRecord convertAll(const std::function<void(convert::ConversionRun&, convert::PreviewPlayer&)>& hook = {},
                       std::chrono::seconds limit = std::chrono::seconds(120)) {
    timer1_ = timer2_ = false;
    convert::ConversionRun run(player, settings, list);
    RunRecord record;
    apply(run.convertAll(), record);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!record.finished) {
      if (std::chrono::steady_clock::now() > deadline) {
        record.timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (hook) hook(run, player);
      const auto now = std::chrono::steady_clock::now();
      if (timer1_ && now - lastTick1_ >= kPeriod) {
        lastTick1_ = now;
        apply(run.tick(convert::kPlaybackTimer), record);
      }
      if (timer2_ && now - lastTick2_ >= kPeriod) {
        lastTick2_ = now;
        apply(run.tick(convert::kNextFileTimer), record);
      }
      if (!timer1_ && !timer2_ && !run.isConverting() && !run.isConvertAll()) record.finished = true;
    }
    player.stopPlayback();
    return record;
  }

  convert::PreviewPlayer player;
  convert::OutputSettings settings;
  FileList list;

 private:
  static constexpr std::chrono::milliseconds kPeriod{convert::kTimerPeriodMs};

  void apply(const convert::RunActions& a, RunRecord& record) {
    const auto now = std::chrono::steady_clock::now();
    if (a.playbackTimerRunning) {
      timer1_ = *a.playbackTimerRunning;
      lastTick1_ = now;
    }
    if (a.nextFileTimerRunning) {
      timer2_ = *a.nextFileTimerRunning;
      lastTick2_ = now;
    }
    if (a.problem) record.problems.push_back(a.problem->file + ": " + a.problem->reason);
    if (a.movieWritten && !a.movieWritten->empty()) record.moviesWritten.push_back(*a.movieWritten);
    if (a.selectRow) record.rowsSelected.push_back(*a.selectRow);
    if (a.openFolder) {
      record.folderOpened = true;
      record.finished = true;
    }
  }

  bool timer1_ = false;
  bool timer2_ = false;
  std::chrono::steady_clock::time_point lastTick1_{};
  std::chrono::steady_clock::time_point lastTick2_{};
};

}  // namespace brevanto::hardening
