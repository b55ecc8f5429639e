// The progress line that molt-pack draws on a terminal: what it is doing,
// bytes done of the total, the rate and the time left, redrawn in place
// (carriage return) at most a few times a second, and erased at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace moltpack {

// The line's text, e.g. "packing 12.0 MiB of 400.0 MiB, 35.2 MiB/s, 0:11 left".
std::string ProgressText(const std::string& activity, std::uint64_t done, std::uint64_t total, double seconds);

class ProgressLine {
 public:
  // Draws nothing unless `enabled` (standard error is a terminal, no --quiet).
  ProgressLine(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}
  ~ProgressLine() { Clear(); }

  void Start(const std::string& activity, std::uint64_t total);
  void Update(std::uint64_t done);
  // Erases the line, e.g. before a message or at the end.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* out_;
  bool enabled_;
  std::string activity_;
  std::uint64_t total_ = 0;
  Clock::time_point started_{};
  Clock::time_point drawn_{};
  std::size_t width_ = 0;  // characters on the line now
};

}  // namespace moltpack
