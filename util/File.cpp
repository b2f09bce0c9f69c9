#include "util/File.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>
#include <utility>

#include "util/Memory.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace brevanto::util {

namespace {

// Creates an empty, new file beside path (name ".<file name>.<random>.tmp").
Result<fs::path, int> createTemporaryBeside(const fs::path& path) {
  thread_local std::mt19937 generator{std::random_device{}()};
  int error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path temporary = path;
    std::string name = ".";
    name.append(path.filename().string()).append(".").append(std::to_string(generator() % 1000000u)).append(".tmp");
    temporary.replace_filename(name);
    // "x": fail rather than reuse a file that already exists.
    if (openFile(temporary, "wbx")) return temporary;
    error = errno;
    if (error != EEXIST) break;
  }
  return fail(error);
}

}  // namespace

// Devices and pipes that cannot be synchronised (EINVAL) have nothing more to flush.
bool flushToDevice(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#if defined(__unix__) || defined(__APPLE__)
  if (::fsync(fileno(file)) != 0 && errno != EINVAL) return false;
#endif
  return true;
}

bool writeAll(std::FILE* file, std::span<const std::uint8_t> bytes) {
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path,
                                                const std::function<Result<void>(std::uint64_t)>& acceptSize) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return fail("no such file " + path.string());
  FileHandle file = openFile(path, "rb");
  if (!file) return fail("cannot open " + path.string());
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return fail("cannot seek in " + path.string());
  const long size = std::ftell(file.get());
  if (size < 0) return fail("cannot read " + path.string());
  if (acceptSize) {
    if (auto accepted = acceptSize(static_cast<std::uint64_t>(size)); !accepted) return fail(std::move(accepted.error()));
  }
  std::rewind(file.get());
  std::vector<std::uint8_t> bytes;
  if (!allocated([&] { bytes.resize(static_cast<std::size_t>(size)); })) {
    return fail("out of memory reading " + path.string());
  }
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    return fail("cannot read " + path.string());
  return bytes;
}

std::string WriteFailure::reason() const {
  return systemError != 0 ? std::string(std::strerror(systemError)) : std::string("unknown error");
}

Result<Replacement, WriteFailure> Replacement::begin(const fs::path& path) {
  using Step = WriteFailure::Step;
  auto temporary = createTemporaryBeside(path);
  if (!temporary) return fail(WriteFailure{Step::Create, temporary.error()});
  FileHandle file = openFile(*temporary, "wb");
  if (!file) {
    const int error = errno;
    std::error_code ignored;
    fs::remove(*temporary, ignored);
    return fail(WriteFailure{Step::Create, error});
  }
  return Replacement(path, std::move(*temporary), std::move(file));
}

Replacement::Replacement(fs::path target, fs::path temporary, FileHandle file)
    : target_(std::move(target)), temporary_(std::move(temporary)), file_(std::move(file)) {}

Replacement::Replacement(Replacement&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})),
      file_(std::move(other.file_)) {}

Replacement& Replacement::operator=(Replacement&& other) noexcept {
  if (this != &other) {
    discard();
    target_ = std::move(other.target_);
    temporary_ = std::exchange(other.temporary_, {});
    file_ = std::move(other.file_);
  }
  return *this;
}

Replacement::~Replacement() { discard(); }

void Replacement::discard() {
  file_.reset();
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    temporary_.clear();
  }
}

Result<void, WriteFailure> Replacement::commit(bool writeOk, int writeError) {
  using Step = WriteFailure::Step;
  if (!file_) return fail(WriteFailure{Step::Write, 0});
  errno = writeOk ? 0 : writeError;
  bool ok = writeOk && flushToDevice(file_.get());
  int error = errno;
  ok = std::fclose(file_.release()) == 0 && ok;
  if (!ok) {
    if (error == 0) error = errno;
    discard();
    return fail(WriteFailure{Step::Write, error});
  }
  std::error_code ec;
  fs::rename(temporary_, target_, ec);
  if (ec) {
    discard();
    return fail(WriteFailure{Step::Rename, ec.value()});
  }
  temporary_.clear();
  return {};
}

Result<void, WriteFailure> replaceFile(const fs::path& path, const std::function<bool(std::FILE*)>& write) {
  auto replacement = Replacement::begin(path);
  if (!replacement) return fail(replacement.error());
  errno = 0;
  const bool ok = write(replacement->file());
  return replacement->commit(ok, errno);
}

Result<void, WriteFailure> replaceFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
  return replaceFile(path, [bytes](std::FILE* file) { return writeAll(file, bytes); });
}

}  // namespace brevanto::util
