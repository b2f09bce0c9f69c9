#include "app/FullSpeedRunner.h"

#include <QMetaObject>

#include <algorithm>

#include "convert/EarlyRefusal.h"
#include "convert/HeadlessConverter.h"
#include "convert/OrderedEncoder.h"
#include "convert/OutputSettings.h"

namespace brevanto::app {

namespace {

// The one call into the headless engine. The stage size is the window's choice for the file,
// so the engine is given it as a custom size; a stage made without the GIF's size (the list
// could not decode it) leaves the mode to the engine, which applies it to the GIF's screen.
FullSpeedRunner::Outcome convertOne(const FullSpeedRunner::Job& job, const FullSpeedRunner::Settings& settings,
                                    int encodeThreads) {
  convert::OutputSettings options;
  options.outputFolder = settings.outputFolder;
  const bool sizeUnknown = convert::stageLacksGifSize(job.sizeMode, {job.stageWidth, job.stageHeight});
  options.sizeMode = sizeUnknown ? job.sizeMode : convert::SizeMode::Custom;
  options.outputWidth = job.stageWidth;
  options.outputHeight = job.stageHeight;
  options.jpegQuality = settings.jpegQuality;
  options.frameRate = settings.frameRate;
  options.pictures = settings.pictures;
  options.loop = settings.loop;
  options.timing = settings.timing;
  FullSpeedRunner::Outcome outcome;
  outcome.row = job.row;
  outcome.gifPath = job.gifPath;
  try {
    const auto result = convert::convertFile(job.gifPath, options, encodeThreads);
    outcome.ok = result.ok();
    if (result) {
      outcome.moviePath = result->moviePath;
      outcome.summary = convert::movieSummary(*result, settings.timing);
    } else {
      outcome.moviePath = result.error().movie;
      outcome.error = result.error().reason;
      outcome.hadFrames = convert::fileDecoded(result.error());
    }
  } catch (const std::exception& error) {
    outcome.error = error.what();
  }
  return outcome;
}

}  // namespace

void FullSpeedRunner::start(std::vector<Job> jobs, Settings settings, int threads, Callbacks callbacks) {
  stop();
  jobs_ = std::move(jobs);
  settings_ = std::move(settings);
  callbacks_ = std::move(callbacks);
  next_ = 0;
  running_ = true;
  const int count = std::clamp(threads, 1, std::max<int>(1, static_cast<int>(jobs_.size())));
  working_ = count;
  encodeThreads_ = convert::encodeThreadsPerFile(threads, static_cast<int>(jobs_.size()));
  const unsigned generation = generation_.load();
  for (int i = 0; i < count; ++i) {
    threads_.emplace_back([this, generation](std::stop_token stop) { work(stop, generation); });
  }
}

void FullSpeedRunner::stop() {
  ++generation_;  // results still queued for the user-interface thread are dropped
  for (std::jthread& thread : threads_) thread.request_stop();
  threads_.clear();  // joins
  running_ = false;
}

void FullSpeedRunner::post(unsigned generation, std::function<void()> call) {
  QObject* context = context_.data();
  if (!context || !call) return;
  QMetaObject::invokeMethod(
      context,
      [this, generation, call = std::move(call)] {
        if (generation == generation_.load()) call();
      },
      Qt::QueuedConnection);
}

void FullSpeedRunner::work(std::stop_token stop, unsigned generation) {
  while (!stop.stop_requested()) {
    const std::size_t index = next_++;
    if (index >= jobs_.size()) break;
    const Job& job = jobs_[index];
    post(generation, [this, row = job.row, path = job.gifPath] {
      if (callbacks_.started) callbacks_.started(row, path);
    });
    Outcome outcome = convertOne(job, settings_, encodeThreads_);
    post(generation, [this, outcome = std::move(outcome)] {
      if (callbacks_.done) callbacks_.done(outcome);
    });
  }
  if (--working_ == 0 && !stop.stop_requested()) {
    post(generation, [this] {
      running_ = false;
      threads_.clear();  // every thread has left its loop
      if (callbacks_.finished) callbacks_.finished();
    });
  }
}

}  // namespace brevanto::app
