#pragma once

#include <cstdint>
#include <string>

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
// Returns true when it may be allocated; otherwise false with a reason in *reason (when given).
// Widths or heights below 1 are rejected too.
bool checkImageAllocation(std::int64_t width, std::int64_t height, std::uint64_t bytes, std::string* reason = nullptr);

// Checks a plain byte allocation (a file read into memory, a decoder's work buffer).
bool checkByteAllocation(std::uint64_t bytes, std::string* reason = nullptr);

}  // namespace brevanto::image
