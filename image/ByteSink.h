#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "util/File.h"

namespace brevanto::image {

// Where an encoder's bytes go: a growing byte vector (tests, memory encodes) or a file opened
// for binary writing. Little-endian helpers for the fixed-size fields of file headers.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool write(const void* data, std::size_t size) = 0;

  bool u8(std::uint8_t v) { return write(&v, 1); }
  bool u16le(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    return write(b, 2);
  }
  bool u32le(std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    return write(b, 4);
  }
  bool bytes(std::span<const std::uint8_t> data) { return write(data.data(), data.size()); }
};

class VectorSink final : public ByteSink {
 public:
  explicit VectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
  bool write(const void* data, std::size_t size) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
    return true;
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Writes to a file; the file is closed by close() or the destructor. A failed write is
// remembered and reported by close().
class FileSink final : public ByteSink {
 public:
  explicit FileSink(const std::filesystem::path& path) : file_(util::openFile(path, "wb")) {}
  bool isOpen() const { return file_ != nullptr; }
  bool write(const void* data, std::size_t size) override {
    if (!file_) return false;
    if (size != 0 && std::fwrite(data, 1, size, file_.get()) != size) ok_ = false;
    return ok_;
  }
  // Closes the file; true when every write and the close succeeded.
  bool close() {
    if (!file_) return false;
    const bool closed = std::fclose(file_.release()) == 0;
    return ok_ && closed;
  }

 private:
  util::FileHandle file_;
  bool ok_ = true;
};

}  // namespace brevanto::image
