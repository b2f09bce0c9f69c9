#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "image/RasterImage.h"

namespace brevanto::image {

// An owning, ordered sequence of frames; codecs append at the end. Frames are held by value
// and moved in and out, never copied implicitly.
class FrameList {
 public:
  FrameList() = default;
  FrameList(const FrameList&) = delete;
  FrameList& operator=(const FrameList&) = delete;
  FrameList(FrameList&&) noexcept = default;
  FrameList& operator=(FrameList&&) noexcept = default;
  ~FrameList() { clear(); }

  void append(RasterImage&& frame) { frames_.push_back(std::move(frame)); }
  // Moves every frame, in order, to the end of target; this list is empty afterwards.
  void moveAllTo(FrameList& target) {
    if (&target == this) return;
    target.frames_.reserve(target.frames_.size() + frames_.size());
    for (auto& frame : frames_) target.frames_.push_back(std::move(frame));
    frames_.clear();
  }
  // Destroys the frames from the last to the first.
  void clear() {
    while (!frames_.empty()) frames_.pop_back();
  }
  // Removes and returns frame index (which must exist).
  RasterImage take(std::size_t index) {
    RasterImage frame = std::move(frames_[index]);
    frames_.erase(frames_.begin() + static_cast<std::ptrdiff_t>(index));
    return frame;
  }

  std::size_t size() const { return frames_.size(); }
  bool empty() const { return frames_.empty(); }
  RasterImage& operator[](std::size_t index) { return frames_[index]; }
  const RasterImage& operator[](std::size_t index) const { return frames_[index]; }
  RasterImage& back() { return frames_.back(); }
  void reserve(std::size_t n) { frames_.reserve(n); }

  auto begin() { return frames_.begin(); }
  auto end() { return frames_.end(); }
  auto begin() const { return frames_.begin(); }
  auto end() const { return frames_.end(); }

  // A non-owning view, as the writers take it.
  std::span<const RasterImage> frames() const { return frames_; }

 private:
  std::vector<RasterImage> frames_;
};

}  // namespace brevanto::image
