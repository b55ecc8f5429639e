// Prepares the files of a pack on several threads and hands them out in
// tree order. At most `window` files are in flight (being prepared or ready
// and waiting), which bounds memory whatever the tree; the writer takes them
// in order, so the pack's bytes do not depend on the number of threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "file_preparation.h"
#include "source_tree.h"

namespace moltpack {

class FilePipeline {
 public:
  // Called on the workers; `stop` is set when the pipeline stops.
  using Prepare = std::function<PreparedFile(const SourceEntry&, const std::atomic<bool>& stop)>;
  FilePipeline(std::vector<const SourceEntry*> files, Prepare prepare, unsigned jobs);
  // Stops the workers (a file being compressed stops at its next piece) and
  // waits for them.
  ~FilePipeline();
  FilePipeline(const FilePipeline&) = delete;
  FilePipeline& operator=(const FilePipeline&) = delete;

  // The next file in order, once it is ready; a failure in preparing it is
  // thrown here. `waiting` is called now and then while the file is not ready.
  PreparedFile Next(const std::function<void()>& waiting);

 private:
  struct Slot {
    std::optional<PreparedFile> prepared;
    std::exception_ptr failure;
  };
  void Work();

  std::vector<const SourceEntry*> files_;
  Prepare prepare_;
  std::size_t window_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::size_t nextToClaim_ = 0;
  std::size_t nextToTake_ = 0;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> workers_;
};

}  // namespace moltpack
