#pragma once

// A playback clock whose play time passes only when the test lets it, and then at once, so
// that tests of playback timing do not wait in wall time; and a wait for the playback thread
// to reach a state.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "convert/PreviewPlayer.h"

namespace brevanto::testing {

class ManualClock final : public convert::PlaybackClock {
 public:
  // Lets `time` more play time pass; run() lets any amount pass.
  void advance(std::chrono::milliseconds time) { allowed_ += time.count(); }
  void run() { allowed_ = kForever; }
  // The play time the playback thread has waited through.
  std::chrono::milliseconds waited() const { return std::chrono::milliseconds(waited_.load()); }

  bool wait(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, std::chrono::milliseconds time,
            const std::function<bool()>& stopped) override {
    const long long end = waited_.load() + time.count();
    // advance() does not hold the player's lock, so the wait looks again every millisecond.
    while (!stopped()) {
      if (allowed_.load() >= end) {
        waited_ = end;
        return false;
      }
      wake.wait_for(lock, std::chrono::milliseconds(1));
    }
    return true;
  }

 private:
  static constexpr long long kForever = 1LL << 60;
  std::atomic<long long> allowed_{0};
  std::atomic<long long> waited_{0};
};

// Polls `done` until it holds or `limit` has passed; returns whether it holds.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace brevanto::testing
