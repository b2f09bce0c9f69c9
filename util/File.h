#pragma once

// Whole-file reads and atomic replacement, the one way the program reads and writes files.
//
// Replacing a file (movies, image saves, capture pictures): the bytes go to a new temporary file
// in the target's folder, which is flushed, synchronised to the device and renamed over the
// target. A failure at any step removes the temporary file and leaves an older target untouched.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "util/Result.h"

namespace brevanto::util {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
// An open C stream, closed when the handle goes.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

inline FileHandle openFile(const std::filesystem::path& path, const char* mode) {
  return FileHandle(std::fopen(path.c_str(), mode));
}

// Writes all bytes; true when every byte was accepted by the stream.
bool writeAll(std::FILE* file, std::span<const std::uint8_t> bytes);

// Flushes the stream and synchronises its bytes to the device (streams on devices and pipes that
// cannot be synchronised count as flushed).
bool flushToDevice(std::FILE* file);

// A whole file's bytes, or why they cannot be had: "no such file P", "cannot open P",
// "cannot seek in P", "out of memory reading P", "cannot read P". acceptSize (when given) sees
// the file's size before anything is allocated and fails with the reason to refuse it.
Result<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                const std::function<Result<void>(std::uint64_t size)>& acceptSize = {});

// Where replacing a file failed, and the system's reason.
struct WriteFailure {
  enum class Step { Create, Write, Rename };
  Step step = Step::Create;
  int systemError = 0;  // errno value; 0 when unknown

  // The system's sentence for systemError ("No space left on device"; "unknown error" for 0).
  std::string reason() const;
};

// A new temporary file beside a target, filled by the caller as it goes and then renamed over
// the target by commit() (flushed and synchronised first); removed when not committed. For
// files too large to hold in memory before writing them. Movable, not copyable.
class Replacement {
 public:
  // Creates the temporary file for path.
  static Result<Replacement, WriteFailure> begin(const std::filesystem::path& path);

  Replacement(Replacement&& other) noexcept;
  Replacement& operator=(Replacement&& other) noexcept;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  // The open temporary file (positioned as the caller left it); null once committed.
  std::FILE* file() const { return file_.get(); }
  // writeOk false: a write the caller made failed (with errno set then), so nothing is renamed.
  // Otherwise flushes, synchronises, closes and renames the file over the target.
  Result<void, WriteFailure> commit(bool writeOk = true, int writeError = 0);

 private:
  Replacement(std::filesystem::path target, std::filesystem::path temporary, FileHandle file);
  void discard();

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  FileHandle file_;
};

// Fills the temporary file through write (false: the write failed) and renames it over path.
Result<void, WriteFailure> replaceFile(const std::filesystem::path& path, const std::function<bool(std::FILE*)>& write);
Result<void, WriteFailure> replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace brevanto::util
