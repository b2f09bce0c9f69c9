#pragma once

// Measuring what an operation costs: peak resident memory (reset before, read after) and time.

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>

namespace brevanto::hardening {

// A "Vm...:" figure of this process in KiB from /proc/self/status, or 0 when unknown.
inline std::int64_t statusKib(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stoll(line.substr(key.size()));
  }
  return 0;
}
inline std::int64_t peakRssKib() { return statusKib("VmHWM:"); }
inline std::int64_t currentRssKib() { return statusKib("VmRSS:"); }

// Resets the peak to the current resident set (Linux 4.0 and later; a no-op elsewhere).
inline void resetPeakRss() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

// Runs fn and reports how much the peak resident set rose above the resident set before it, in
// MiB, and how long it took in seconds.
struct Cost {
  double peakGrowthMib = 0;
  double seconds = 0;
};

template <typename Fn>
Cost measure(Fn&& fn) {
  resetPeakRss();
  const std::int64_t before = currentRssKib();
  const auto start = std::chrono::steady_clock::now();
  fn();
  const auto end = std::chrono::steady_clock::now();
  Cost cost;
  cost.peakGrowthMib = static_cast<double>(peakRssKib() - before) / 1024.0;
  cost.seconds = std::chrono::duration<double>(end - start).count();
  return cost;
}

}  // namespace brevanto::hardening
