#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace brevanto::swf {

// A growing byte sequence kept as a list of blocks. Appending fills the last block up to its
// capacity and then starts a new one, so bytes already stored never move: growing to N bytes
// copies each byte once and never holds two versions of the sequence at the same time.
class ChunkedBytes {
 public:
  static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

  // blockSize: the capacity of each new block (at least 1).
  explicit ChunkedBytes(std::size_t blockSize = kDefaultBlockSize);

  void append(std::span<const std::uint8_t> bytes);

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The stored bytes in order, block by block; no block is empty.
  const std::vector<std::vector<std::uint8_t>>& blocks() const { return blocks_; }

  // A contiguous copy of the whole sequence.
  std::vector<std::uint8_t> joined() const;
  // Gathers the sequence into a single block (moving it once, for callers that need it
  // contiguous) and returns that block; later appends go to new blocks after it.
  const std::vector<std::uint8_t>& join();

 private:
  std::size_t blockSize_;
  std::size_t size_ = 0;
  std::vector<std::vector<std::uint8_t>> blocks_;
};

}  // namespace brevanto::swf
