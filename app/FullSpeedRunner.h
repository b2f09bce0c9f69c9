#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "convert/OutputSettings.h"

namespace brevanto::app {

// Converts files through the headless engine on worker threads instead of playing them in real
// time: the "Full speed" option. The movies are the ones the real-time run writes for the same
// settings. Results are handed to the thread that owns `context`, one call per event.
class FullSpeedRunner {
 public:
  // One file and the stage size the window chose for it.
  struct Job {
    int row = 0;
    std::string gifPath;
    int stageWidth = 0;
    int stageHeight = 0;
    convert::SizeMode sizeMode = convert::SizeMode::Custom;  // the mode the stage was made with
  };
  // What every file of a run shares.
  struct Settings {
    std::string outputFolder;
    int jpegQuality = 100;
    int frameRate = 10;
    convert::PictureKind pictures = convert::PictureKind::Jpeg;
    convert::LoopMode loop = convert::LoopMode::Forever;
    convert::Timing timing = convert::Timing::Steps;
  };
  struct Outcome {
    int row = 0;
    std::string gifPath;
    bool ok = false;
    std::string moviePath;
    std::string summary;     // the movie's length, rate and passes in words, when ok
    std::string error;       // why it failed; empty when ok
    bool hadFrames = false;  // the GIF decoded: a failure is the movie's
  };
  struct Callbacks {
    std::function<void(int row, const std::string& gifPath)> started;
    std::function<void(const Outcome& outcome)> done;
    std::function<void()> finished;  // after the last file; not after stop()
  };

  explicit FullSpeedRunner(QObject* context) : context_(context) {}
  ~FullSpeedRunner() { stop(); }
  FullSpeedRunner(const FullSpeedRunner&) = delete;
  FullSpeedRunner& operator=(const FullSpeedRunner&) = delete;

  // Converts the jobs in order on `threads` threads (at least 1).
  void start(std::vector<Job> jobs, Settings settings, int threads, Callbacks callbacks);
  // No further file starts; waits for the files being converted (their movies are complete).
  // Nothing more is reported for this run.
  void stop();
  bool isRunning() const { return running_; }

 private:
  void work(std::stop_token stop, unsigned generation);
  void post(unsigned generation, std::function<void()> call);

  QPointer<QObject> context_;
  std::vector<Job> jobs_;
  Settings settings_;
  int encodeThreads_ = 1;  // threads encoding each file's frames: the ones the files leave over
  Callbacks callbacks_;
  std::atomic<std::size_t> next_{0};
  std::atomic<int> working_{0};
  std::atomic<unsigned> generation_{0};
  bool running_ = false;
  std::vector<std::jthread> threads_;
};

}  // namespace brevanto::app
