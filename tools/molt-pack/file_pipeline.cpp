#include "file_pipeline.h"

#include <chrono>

namespace moltpack {
namespace {

// How often a waiting writer gets to redraw the progress line.
constexpr std::chrono::milliseconds kWaitTick{200};

}  // namespace

FilePipeline::FilePipeline(std::vector<const SourceEntry*> files, Prepare prepare, unsigned jobs)
    : files_(std::move(files)), prepare_(std::move(prepare)), window_(2 * std::size_t{jobs < 1 ? 1 : jobs}),
      slots_(files_.size()) {
  for (unsigned i = 0; i < (jobs < 1 ? 1 : jobs); ++i) workers_.emplace_back([this] { Work(); });
}

FilePipeline::~FilePipeline() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void FilePipeline::Work() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    changed_.wait(hold, [this] {
      return stopping_ || nextToClaim_ == files_.size() || nextToClaim_ < nextToTake_ + window_;
    });
    if (stopping_ || nextToClaim_ == files_.size()) return;
    const std::size_t index = nextToClaim_++;
    hold.unlock();
    Slot done;
    try {
      done.prepared = prepare_(*files_[index], stopping_);
    } catch (...) {
      done.failure = std::current_exception();
    }
    hold.lock();
    slots_[index] = std::move(done);
    changed_.notify_all();
  }
}

PreparedFile FilePipeline::Next(const std::function<void()>& waiting) {
  std::unique_lock<std::mutex> hold(lock_);
  const std::size_t index = nextToTake_;
  Slot& slot = slots_.at(index);
  while (!slot.prepared && !slot.failure) {
    if (!changed_.wait_for(hold, kWaitTick, [&] { return slot.prepared || slot.failure; })) {
      hold.unlock();
      waiting();
      hold.lock();
    }
  }
  ++nextToTake_;
  changed_.notify_all();
  if (slot.failure) std::rethrow_exception(slot.failure);
  PreparedFile prepared = std::move(*slot.prepared);
  slot.prepared.reset();
  return prepared;
}

}  // namespace moltpack
