#include "convert/OrderedEncoder.h"

#include <algorithm>
#include <utility>

namespace brevanto::convert {

OrderedEncoder::OrderedEncoder(int threads, Deliver deliver, int window) : deliver_(std::move(deliver)) {
  const int count = std::max(threads, 1);
  window_ = static_cast<std::size_t>(window > 0 ? window : count + 1);
  if (count == 1) return;
  ring_.resize(window_);
  workers_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) workers_.emplace_back([this] { work(); });
}

OrderedEncoder::~OrderedEncoder() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  jobReady_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void OrderedEncoder::submit(Job job) {
  if (workers_.empty()) {
    deliver_(job());
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  while (submitted_ - delivered_ >= window_) deliverReady(lock, true);
  jobs_.emplace_back(submitted_++, std::move(job));
  lock.unlock();
  jobReady_.notify_one();
  lock.lock();
  deliverReady(lock, false);
}

void OrderedEncoder::finish() {
  if (workers_.empty()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  while (delivered_ < submitted_) deliverReady(lock, true);
}

void OrderedEncoder::deliverReady(std::unique_lock<std::mutex>& lock, bool wait) {
  if (wait) {
    pictureReady_.wait(lock, [this] {
      const Slot& next = ring_[delivered_ % window_];
      return next.picture.has_value() || next.error;
    });
  }
  for (;;) {
    Slot& next = ring_[delivered_ % window_];
    if (!next.picture && !next.error) return;
    std::optional<swf::SlotPicture> picture = std::exchange(next.picture, std::nullopt);
    const std::exception_ptr error = std::exchange(next.error, nullptr);
    ++delivered_;
    // Delivered without the lock, so the workers go on meanwhile; only this thread delivers.
    lock.unlock();
    if (error) {
      lock.lock();
      std::rethrow_exception(error);
    }
    deliver_(std::move(*picture));
    lock.lock();
  }
}

void OrderedEncoder::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    jobReady_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    auto [index, job] = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    Slot done;
    try {
      done.picture = job();
    } catch (...) {
      done.error = std::current_exception();
    }
    job = nullptr;  // the frame's pixels go now, not when the next job comes
    lock.lock();
    ring_[index % window_] = std::move(done);
    pictureReady_.notify_one();
  }
}

std::shared_ptr<const image::platform::DecodedFrame> FrameCopies::copy(const image::platform::DecodedFrame& frame) {
  std::unique_ptr<image::platform::DecodedFrame> buffer;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!free_.empty()) {
      buffer = std::move(free_.back());
      free_.pop_back();
    }
  }
  if (!buffer) buffer = std::make_unique<image::platform::DecodedFrame>();
  buffer->width = frame.width;
  buffer->height = frame.height;
  buffer->format = frame.format;
  buffer->stride = frame.stride;
  buffer->palette.assign(frame.palette.begin(), frame.palette.end());
  buffer->pixels.assign(frame.pixels.begin(), frame.pixels.end());
  return {buffer.release(), [this](const image::platform::DecodedFrame* done) {
            std::unique_ptr<image::platform::DecodedFrame> back(const_cast<image::platform::DecodedFrame*>(done));
            const std::lock_guard<std::mutex> lock(mutex_);
            free_.push_back(std::move(back));
          }};
}

int encodeThreadsPerFile(int threads, int files) {
  const int total = threads > 0 ? threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  return std::max(1, total / std::max(files, 1));
}

}  // namespace brevanto::convert
