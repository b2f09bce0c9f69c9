#include "swf/ChunkedBytes.h"

#include <algorithm>

namespace brevanto::swf {

ChunkedBytes::ChunkedBytes(std::size_t blockSize) : blockSize_(std::max<std::size_t>(blockSize, 1)) {}

void ChunkedBytes::append(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    if (blocks_.empty() || blocks_.back().size() == blocks_.back().capacity()) {
      blocks_.emplace_back();
      blocks_.back().reserve(blockSize_);
    }
    std::vector<std::uint8_t>& block = blocks_.back();
    // Never beyond the capacity: a block is filled in place, never reallocated.
    const std::size_t take = std::min(bytes.size(), block.capacity() - block.size());
    block.insert(block.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    bytes = bytes.subspan(take);
    size_ += take;
  }
}

std::vector<std::uint8_t> ChunkedBytes::joined() const {
  std::vector<std::uint8_t> out;
  out.reserve(size_);
  for (const auto& block : blocks_) out.insert(out.end(), block.begin(), block.end());
  return out;
}

const std::vector<std::uint8_t>& ChunkedBytes::join() {
  static const std::vector<std::uint8_t> kNothing;
  if (blocks_.empty()) return kNothing;
  if (blocks_.size() > 1) {
    std::vector<std::uint8_t> whole = joined();
    blocks_.clear();
    blocks_.push_back(std::move(whole));
  }
  return blocks_.front();
}

}  // namespace brevanto::swf
