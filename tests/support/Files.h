#pragma once

// Files for tests: a scratch folder with a name no other test process can share (safe under
// ctest -j), reading and writing whole files, and the shared sample data, which tests skip
// without when ../shared/testdata is absent.

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace brevanto::testing {

namespace fs = std::filesystem;

inline std::vector<std::uint8_t> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The names of the plain files directly in a folder (none when it does not exist).
inline std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) names.insert(it->path().filename().string());
  }
  return names;
}

// A fresh folder under the system's temporary folder, removed with everything in it on
// destruction. Its name holds the process id, a per-process counter and a random part.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    std::random_device random;
    path_ = fs::temp_directory_path() / ("brevanto-test-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(counter++) + "-" + std::to_string(random()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const fs::path& path() const { return path_; }
  // The path of `name` inside the folder (nothing is created).
  fs::path operator/(const std::string& name) const { return path_ / name; }
  // A "/"-separated folder text ending in "/", created.
  std::string folder(const std::string& name) const {
    fs::create_directories(path_ / name);
    return (path_ / name).generic_string() + "/";
  }
  // Writes `name` (creating its folders) and returns its path as text.
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    writeFile(path_ / name, bytes);
    return (path_ / name).generic_string();
  }

 private:
  fs::path path_;
};

// A folder of the shared sample data (../shared/testdata beside the project), such as "gif/valid".
inline fs::path sampleData(const std::string& sub = {}) {
  return sub.empty() ? fs::path(BREVANTO_TESTDATA) : fs::path(BREVANTO_TESTDATA) / sub;
}

// The plain files of a sample-data folder whose names end in `extension`, sorted by name (none
// when the folder is absent).
inline std::vector<fs::path> sampleFiles(const std::string& sub, const std::string& extension = {}) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(sampleData(sub), ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file() && it->path().string().ends_with(extension)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Simulates a full disk for the scope's life: files may grow to `bytes` at most, and a write
// beyond that fails (SIGXFSZ ignored) instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : previousHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int);
};

}  // namespace brevanto::testing

// Skips the test when the sample data `sub` (a file or folder) is absent.
#define REQUIRE_SAMPLE_DATA(sub)                                      \
  if (!std::filesystem::exists(::brevanto::testing::sampleData(sub))) \
  GTEST_SKIP() << "the shared sample data " << (sub) << " is not available"
