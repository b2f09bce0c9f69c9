#pragma once

#include <cstdint>
#include <string>

#include "util/Result.h"

// Resource limits every decoder and every image allocation obeys. A file may claim any size;
// these checks run on the claimed size, in 64-bit arithmetic, before any memory is taken.
namespace brevanto::image {

// No image may have more pixels than this (2^28, e.g. 16384 x 16384).
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{1} << 28;

// Upper cap of the memory budget for one allocation: 2 GiB.
inline constexpr std::uint64_t kMaxAllocationBytes = std::uint64_t{2} << 30;

// The budget for one pixel allocation: min(2 GiB, half of the physical memory).
// Computed once; never 0.
std::uint64_t memoryBudgetBytes();

// Checks a planned image of width x height pixels needing `bytes` bytes of pixel memory.
// Succeeds when it may be allocated; otherwise fails with the reason. Widths or heights below 1
// are refused too.
util::Result<void> checkImageAllocation(std::int64_t width, std::int64_t height, std::uint64_t bytes);

// Checks a plain byte allocation (a file read into memory, a decoder's work buffer).
util::Result<void> checkByteAllocation(std::uint64_t bytes);

}  // namespace brevanto::image
