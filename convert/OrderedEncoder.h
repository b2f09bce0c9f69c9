#pragma once

// Encodes a file's frames on several threads and hands the pictures back in frame order.
//
// The decoder stays on the calling thread: each decoded frame is submitted as a job (the job
// owns its copy of the pixels), worker threads run the jobs, and the finished pictures are
// delivered on the calling thread strictly in submission order, so the movie builder sees the
// same sequence as a single-threaded conversion and writes the same bytes. At most `window`
// jobs are undelivered at a time: submit() waits (delivering what is ready) when the window is
// full, which bounds the memory held to a few frames whatever the file's length and lets
// decoding overlap encoding. With one thread the jobs run at once on the calling thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

class OrderedEncoder {
 public:
  using Job = std::function<swf::SlotPicture()>;
  using Deliver = std::function<void(swf::SlotPicture)>;

  // threads < 1 counts as 1. window: undelivered jobs at most (0: one more than the threads,
  // so that a frame is waiting whenever a thread finishes one, instead of that thread idling
  // while the decoder makes the next; a larger window buys little and costs a frame each).
  OrderedEncoder(int threads, Deliver deliver, int window = 0);
  // Stops the workers; pictures not delivered yet are dropped.
  ~OrderedEncoder();
  OrderedEncoder(const OrderedEncoder&) = delete;
  OrderedEncoder& operator=(const OrderedEncoder&) = delete;

  // Queues the next job. A job's exception is rethrown here or by finish(), on the calling
  // thread, when its picture's turn comes.
  void submit(Job job);
  // Waits for every job and delivers the remaining pictures in order.
  void finish();

  int threads() const { return static_cast<int>(workers_.size()) + (workers_.empty() ? 1 : 0); }

 private:
  struct Slot {
    std::optional<swf::SlotPicture> picture;
    std::exception_ptr error;
  };

  void work();
  // Delivers the pictures that are ready, in order; with wait, first waits for the next one.
  void deliverReady(std::unique_lock<std::mutex>& lock, bool wait);

  Deliver deliver_;
  std::size_t window_;
  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable pictureReady_;
  std::deque<std::pair<std::uint64_t, Job>> jobs_;
  std::vector<Slot> ring_;  // slot i % window_ holds job i's result until delivered
  std::uint64_t submitted_ = 0;
  std::uint64_t delivered_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

// Copies of decoded frames for jobs on other threads (the decoder reuses its canvas). Buffers
// come back when a copy is released, so a long file costs a copy per frame but no allocation
// (and no fresh pages) per frame. Must outlive the copies it gives.
class FrameCopies {
 public:
  std::shared_ptr<const image::platform::DecodedFrame> copy(const image::platform::DecodedFrame& frame);

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<image::platform::DecodedFrame>> free_;
};

// The encode threads for one file when `files` files are converted at once on `threads`
// threads in all (0: one per core): the threads left over by the files, at least 1.
int encodeThreadsPerFile(int threads, int files);

}  // namespace brevanto::convert
