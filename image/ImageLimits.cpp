#include "image/ImageLimits.h"

#include <unistd.h>

#include <algorithm>

namespace brevanto::image {

namespace {

std::uint64_t physicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::string mebibytes(std::uint64_t bytes) { return std::to_string(bytes / (1024 * 1024)) + " MiB"; }

}  // namespace

std::uint64_t memoryBudgetBytes() {
  static const std::uint64_t budget = [] {
    const std::uint64_t half = physicalMemoryBytes() / 2;
    return half == 0 ? kMaxAllocationBytes : std::min(kMaxAllocationBytes, half);
  }();
  return budget;
}

util::Result<void> checkImageAllocation(std::int64_t width, std::int64_t height, std::uint64_t bytes) {
  if (width < 1 || height < 1) {
    return util::fail("invalid image size " + std::to_string(width) + " x " + std::to_string(height));
  }
  const std::uint64_t area = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (width > static_cast<std::int64_t>(kMaxImagePixels) || height > static_cast<std::int64_t>(kMaxImagePixels) ||
      area > kMaxImagePixels) {
    return util::fail("image of " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels exceeds the limit of " + std::to_string(kMaxImagePixels) + " pixels");
  }
  return checkByteAllocation(bytes);
}

util::Result<void> checkByteAllocation(std::uint64_t bytes) {
  if (bytes > memoryBudgetBytes()) {
    return util::fail("allocation of " + mebibytes(bytes) + " exceeds the memory budget of " +
                      mebibytes(memoryBudgetBytes()));
  }
  return {};
}

}  // namespace brevanto::image
