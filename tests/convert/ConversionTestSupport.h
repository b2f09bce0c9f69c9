#pragma once

// Shared pieces of the conversion tests: a scratch folder, a batch list, a stand-in for the
// window that performs RunActions and drives the two timers, and a minimal SWF reader.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "convert/ConversionRun.h"
#include "tests/controls/GifTestData.h"

namespace brevanto::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("brevanto-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // A "/"-separated folder text ending in "/", created.
  std::string folder(const std::string& name) const {
    std::filesystem::create_directories(path_ / name);
    return (path_ / name).generic_string() + "/";
  }
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const auto file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return file.generic_string();
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ListOf final : convert::RunFileList {
  std::vector<convert::RunItem> items;
  int itemCount() const override { return static_cast<int>(items.size()); }
  convert::RunItem itemAt(int index) const override { return items.at(static_cast<std::size_t>(index)); }
};

// Performs what the window would and records it. run() is its event loop: frames shown are
// handed over every few milliseconds, and the timers tick every 100 ms while they run.
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
    if (a.movieWritten) movies.push_back(*a.movieWritten);
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

  // Runs until no timer is running or `until` returns true, at most `limit`.
  template <typename Until>
  void run(Until until, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto end = Clock::now() + limit;
    while ((timer1 || timer2) && !until() && Clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      player_.handleShownFrames();
      const auto now = Clock::now();
      if (timer1 && now >= timer1Due) {
        timer1Due += kPeriod;
        perform(run_.tick(convert::kPlaybackTimer));
      }
      if (timer2 && Clock::now() >= timer2Due) {
        timer2Due += kPeriod;
        perform(run_.tick(convert::kNextFileTimer));
      }
    }
  }
  void runUntilIdle() {
    run([] { return false; });
  }

  std::vector<std::string> messages, openedMovies, openedFolders, problems, movies;
  std::vector<int> percents, selectedRows;
  std::string frameCountLabel;
  bool controlsLocked = false;
  bool playEnabled = true;
  bool pauseEnabled = true;
  bool timer1 = false;
  bool timer2 = false;

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kPeriod = std::chrono::milliseconds(convert::kTimerPeriodMs);
  convert::ConversionRun& run_;
  convert::PreviewPlayer& player_;
  Clock::time_point timer1Due, timer2Due;
};

// The parts of an uncompressed SWF file the tests look at.
struct SwfSummary {
  bool valid = false;
  int stageWidth = 0;   // pixels
  int stageHeight = 0;
  int frameCount = 0;   // header
  int showFrames = 0;   // ShowFrame tags
  std::vector<int> bitmapIds;  // DefineBitsJPEG2 ids in tag order
};

inline SwfSummary readSwf(const std::vector<std::uint8_t>& b) {
  SwfSummary s;
  if (b.size() < 21 || b[0] != 'F' || b[1] != 'W' || b[2] != 'S') return s;
  std::size_t bit = 8 * 8;
  auto bits = [&](int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) v = v << 1 | ((b[bit / 8] >> (7 - bit % 8)) & 1);
    return v;
  };
  const int nbits = static_cast<int>(bits(5));
  auto sbits = [&]() {
    std::uint32_t v = bits(nbits);
    if (nbits > 0 && (v >> (nbits - 1)) & 1) v |= ~0u << nbits;
    return static_cast<std::int32_t>(v);
  };
  const int xmin = sbits(), xmax = sbits(), ymin = sbits(), ymax = sbits();
  s.stageWidth = (xmax - xmin) / 20;
  s.stageHeight = (ymax - ymin) / 20;
  std::size_t pos = (bit + 7) / 8 + 2;
  s.frameCount = b[pos] | b[pos + 1] << 8;
  pos += 2;
  while (pos + 2 <= b.size()) {
    const int codeAndLength = b[pos] | b[pos + 1] << 8;
    pos += 2;
    const int code = codeAndLength >> 6;
    std::size_t length = codeAndLength & 0x3F;
    if (length == 0x3F) {
      if (pos + 4 > b.size()) return s;
      length = b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16 | static_cast<std::size_t>(b[pos + 3]) << 24;
      pos += 4;
    }
    if (pos + length > b.size()) return s;
    if (code == 21 && length >= 2) s.bitmapIds.push_back(b[pos] | b[pos + 1] << 8);
    if (code == 1) ++s.showFrames;
    pos += length;
    if (code == 0) {
      s.valid = pos == b.size();
      return s;
    }
  }
  return s;
}

inline SwfSummary readSwfFile(const std::string& path) { return readSwf(readBytes(path)); }

// 26 bytes (from a real-world fuzzing report) claiming an 11390 x 12595 screen: decoding its one
// broken frame composes a 570 MB canvas.
inline std::vector<std::uint8_t> hugeScreenGif() {
  return {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x7e, 0x2c, 0x33, 0x31, 0x39, 0x61, 0x7e,
          0x2c, 0x33, 0x31, 0x38, 0x35, 0x37, 0xfb, 0x38, 0x00, 0x00, 0x00, 0xfb, 0x38};
}

} // namespace brevanto::testing
