// brevanto-convert: turns GIF files into SWF movies without a window, the same movies the
// window's conversion writes, at full speed and in parallel.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "convert/FrameExport.h"
#include "convert/HeadlessConverter.h"
#include "convert/OrderedEncoder.h"
#include "convert/OutputSettings.h"
#include "swf/MovieAssembly.h"
#include "util/FileSystem.h"
#include "util/Integer.h"

#ifndef BREVANTO_VERSION
#define BREVANTO_VERSION "2.3"
#endif

namespace {

using namespace brevanto;

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;

// Printed with the largest stage side for its "%d".
constexpr const char* kUsage =
    "Usage: brevanto-convert [options] FILE...\n"
    "Converts each GIF file into a Flash movie (SWF) named after it: the last three characters\n"
    "of the file name are replaced by \"swf\" (anim.gif -> anim.swf).\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR      folder for the movies (default: the current folder)\n"
    "  -s, --size SIZE       movie stage: half, original, 2x, 3x (of each file's own size)\n"
    "                        or WxH in pixels, 1..%d each (default: original)\n"
    "      --pictures KIND   picture kind: jpeg, or lossless (every GIF pixel exact)\n"
    "                        (default: jpeg)\n"
    "  -q, --quality N       JPEG quality of the pictures, 1..100 (default: 100);\n"
    "                        ignored with --pictures lossless\n"
    "      --loop MODE       forever, or gif: as browsers play the GIF, once and stop\n"
    "                        without a looping extension, N + 1 times and stop when it\n"
    "                        repeats N times, forever when it repeats forever\n"
    "                        (default: forever)\n"
    "      --timing MODE     steps: every frame held for whole 100 ms steps, played at\n"
    "                        --fps; gif: each frame for its own delay, as browsers show\n"
    "                        it, at a rate of the GIF's own (--fps is not used)\n"
    "                        (default: steps)\n"
    "  -r, --fps N           movie frame rate, 1..255 (default: 10)\n"
    "  -j, --jobs N          threads in all (default: the number of cores): files converted\n"
    "                        in parallel, and with fewer files than N, each file's frames\n"
    "                        encoded in parallel\n"
    "      --export FORMAT   instead of converting, write every frame as an image file:\n"
    "                        bmp, tga, gif, jpeg, png or tiff, into\n"
    "                        DIR/tolvane_brevanto/FORMAT/<file name>00000.FORMAT, ...\n"
    "  -h, --help            show this help\n"
    "      --version         show the version\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when some failed (each failure is\n"
    "reported on stderr with the file's name and the reason), 2 for a usage error.\n";

struct Options {
  convert::OutputSettings conversion;
  std::string outputDir = ".";
  int jobs = 0;
  std::optional<std::string> exportExtension;
  std::vector<std::string> files;
};

struct UsageError {
  std::string message;
};

int parseRanged(std::string_view option, std::string_view text, int low, int high) {
  const auto value = util::parseInteger(text, util::IntegerSyntax::Strict);
  if (!value || *value < low || *value > high) {
    throw UsageError{std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not \"" + std::string(text) + "\""};
  }
  return *value;
}

void parseSize(std::string_view text, convert::OutputSettings& options) {
  using convert::SizeMode;
  static const std::map<std::string_view, SizeMode> kWords = {
      {"half", SizeMode::Half}, {"original", SizeMode::Original}, {"2x", SizeMode::Double}, {"3x", SizeMode::Triple}};
  if (const auto word = kWords.find(text); word != kWords.end()) {
    options.sizeMode = word->second;
  } else {
    const auto x = text.find_first_of("xX*");
    if (x == std::string_view::npos) {
      throw UsageError{"--size takes half, original, 2x, 3x or WxH, not \"" + std::string(text) + "\""};
    }
    options.sizeMode = SizeMode::Custom;
    options.outputWidth = parseRanged("--size width", text.substr(0, x), 1, swf::kMaxStageSide);
    options.outputHeight = parseRanged("--size height", text.substr(x + 1), 1, swf::kMaxStageSide);
  }
}

std::string parseExportFormat(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "jpg") lower = "jpeg";
  if (lower == "tif") lower = "tiff";
  for (const auto& sequence : convert::kExportSequences) {
    if (sequence.extension.substr(1) == lower) return std::string(sequence.extension);
  }
  throw UsageError{"--export takes bmp, tga, gif, jpeg, png or tiff, not \"" + std::string(text) + "\""};
}

// Returns nullopt when the program should exit at once with the given status (help, version).
std::optional<Options> parseArguments(int argc, char** argv, int& exitStatus) {
  Options options;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyFiles = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      std::printf(kUsage, swf::kMaxStageSide);
      exitStatus = kExitOk;
      return std::nullopt;
    }
    if (arg == "--version") {
      std::printf("brevanto-convert %s\n", BREVANTO_VERSION);
      exitStatus = kExitOk;
      return std::nullopt;
    }
    // Options with a value: "-o DIR", "-oDIR", "--output DIR", "--output=DIR".
    std::string name;
    std::optional<std::string> value;
    if (arg.rfind("--", 0) == 0) {
      const auto eq = arg.find('=');
      name = std::string(arg.substr(0, eq));
      if (eq != std::string_view::npos) value = std::string(arg.substr(eq + 1));
    } else {
      name = std::string(arg.substr(0, 2));
      if (arg.size() > 2) value = std::string(arg.substr(2));
    }
    static const std::map<std::string, std::string> kCanonical = {
        {"-o", "--output"},  {"--output", "--output"},   {"-s", "--size"},         {"--size", "--size"},
        {"-q", "--quality"}, {"--quality", "--quality"}, {"-r", "--fps"},          {"--fps", "--fps"},
        {"-j", "--jobs"},    {"--jobs", "--jobs"},       {"--export", "--export"}, {"--pictures", "--pictures"},
        {"--loop", "--loop"},  {"--timing", "--timing"}};
    const auto known = kCanonical.find(name);
    if (known == kCanonical.end()) throw UsageError{"unknown option " + std::string(arg)};
    if (!value) {
      if (i + 1 >= argc) throw UsageError{known->second + " needs a value"};
      value = argv[++i];
    }
    const std::string& option = known->second;
    if (option == "--output") {
      if (value->empty()) throw UsageError{"--output needs a folder"};
      options.outputDir = *value;
    } else if (option == "--size") {
      parseSize(*value, options.conversion);
    } else if (option == "--quality") {
      options.conversion.jpegQuality = parseRanged(option, *value, 1, 100);
    } else if (option == "--fps") {
      options.conversion.frameRate = parseRanged(option, *value, 1, 255);
    } else if (option == "--jobs") {
      options.jobs = parseRanged(option, *value, 1, 1024);
    } else if (option == "--export") {
      options.exportExtension = parseExportFormat(*value);
    } else if (option == "--pictures") {
      if (*value != "jpeg" && *value != "lossless") {
        throw UsageError{"--pictures takes jpeg or lossless, not \"" + *value + "\""};
      }
      options.conversion.pictures = *value == "jpeg" ? convert::PictureKind::Jpeg : convert::PictureKind::Lossless;
    } else if (option == "--loop") {
      if (*value != "forever" && *value != "gif") {
        throw UsageError{"--loop takes forever or gif, not \"" + *value + "\""};
      }
      options.conversion.loop = *value == "forever" ? convert::LoopMode::Forever : convert::LoopMode::AsGif;
    } else if (option == "--timing") {
      if (*value != "steps" && *value != "gif") {
        throw UsageError{"--timing takes steps or gif, not \"" + *value + "\""};
      }
      options.conversion.timing = *value == "steps" ? convert::Timing::Steps : convert::Timing::AsGif;
    }
  }
  if (options.files.empty()) throw UsageError{"no GIF file given"};
  return options;
}

// Prints one line per finished file and, on a terminal, a progress bar on stderr.
class Reporter {
 public:
  explicit Reporter(std::size_t total) : total_(total), bar_(::isatty(STDERR_FILENO) == 1) {}

  void finished(const std::string& line, bool ok) {
    std::lock_guard lock(mutex_);
    ++done_;
    clearBar();
    std::fprintf(ok ? stdout : stderr, "%s\n", line.c_str());
    std::fflush(ok ? stdout : stderr);
    drawBar();
  }
  // "brevanto-convert: <file>: <reason>" on stderr.
  void failed(const convert::RunProblem& problem) {
    finished("brevanto-convert: " + problem.file + ": " + problem.reason, false);
  }
  void start() {
    std::lock_guard lock(mutex_);
    drawBar();
  }
  void end() {
    std::lock_guard lock(mutex_);
    clearBar();
  }

 private:
  void clearBar() {
    if (bar_) std::fputs("\r\033[K", stderr);
  }
  void drawBar() {
    if (!bar_ || total_ == 0) return;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(done_ * kWidth / total_);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "[%s] %zu/%zu", bar.c_str(), done_, total_);
    std::fflush(stderr);
  }

  std::mutex mutex_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool bar_;
};

std::string folderText(const std::string& dir) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(dir, error);
  if (error) absolute = dir;
  const std::string text = util::folderPath(absolute.lexically_normal().generic_string());
  return text.empty() ? std::string("/") : text;
}

int run(const Options& options) {
  convert::OutputSettings conversion = options.conversion;
  conversion.outputFolder = folderText(options.outputDir);
  if (!util::isDirectory(conversion.outputFolder)) util::createDirectoryChain(conversion.outputFolder);
  if (!util::isDirectory(conversion.outputFolder)) {
    std::fprintf(stderr, "brevanto-convert: %s: the output folder cannot be created\n", options.outputDir.c_str());
    return kExitSomeFailed;
  }

  // Files that write the same movie (or the same export files) go to one worker, in the order
  // given, so that parallel jobs never write one file at the same time; the last one wins.
  std::vector<std::vector<std::size_t>> groups;
  std::map<std::string, std::size_t> groupOf;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    const std::string& file = options.files[i];
    const std::string target = options.exportExtension ? util::fileNamePart(file) : swf::movieFileName(file);
    auto [it, inserted] = groupOf.try_emplace(target, groups.size());
    if (inserted) groups.emplace_back();
    groups[it->second].push_back(i);
  }

  unsigned jobs = options.jobs > 0 ? static_cast<unsigned>(options.jobs) : std::thread::hardware_concurrency();
  // With fewer files than threads, the threads left over encode each file's frames.
  const int encodeThreads = convert::encodeThreadsPerFile(static_cast<int>(jobs), static_cast<int>(groups.size()));
  jobs = std::clamp<unsigned>(jobs, 1, static_cast<unsigned>(groups.size()));

  Reporter reporter(options.files.size());
  reporter.start();
  std::atomic<std::size_t> nextGroup{0};
  std::atomic<int> failures{0};
  auto worker = [&] {
    for (std::size_t g = nextGroup++; g < groups.size(); g = nextGroup++) {
      for (const std::size_t index : groups[g]) {
        const std::string& file = options.files[index];
        if (options.exportExtension) {
          const auto result = convert::exportFrames(file, conversion.outputFolder, *options.exportExtension);
          if (result) {
            reporter.finished("exported " + file + " -> " + result->folder + " (" +
                                  std::to_string(result->framesWritten) + " frames)",
                              true);
          } else {
            ++failures;
            reporter.failed(result.error());
          }
        } else {
          const auto result = convert::convertFile(file, conversion, encodeThreads);
          if (result) {
            reporter.finished("converted " + file + " -> " + result->moviePath + " (" +
                                  convert::movieSummary(*result, conversion.timing) + ")",
                              true);
          } else {
            ++failures;
            reporter.failed(result.error());
          }
        }
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < jobs; ++t) threads.emplace_back(worker);
  worker();
  for (auto& thread : threads) thread.join();
  reporter.end();
  return failures.load() == 0 ? kExitOk : kExitSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
  int status = kExitOk;
  try {
    const auto options = parseArguments(argc, argv, status);
    if (!options) return status;
    return run(*options);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "brevanto-convert: %s\nTry 'brevanto-convert --help' for more information.\n",
                 error.message.c_str());
    return kExitUsage;
  }
}
