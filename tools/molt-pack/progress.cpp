#include "progress.h"

#include <cmath>
#include <cstdio>

namespace moltpack {
namespace {

constexpr std::chrono::milliseconds kRedrawEvery{250};

std::string Mebibytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
  return text;
}

std::string Duration(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

std::string ProgressText(const std::string& activity, std::uint64_t done, std::uint64_t total, double seconds) {
  std::string text = activity + " " + Mebibytes(static_cast<double>(done)) + " of " +
                     Mebibytes(static_cast<double>(total));
  if (seconds <= 0 || done == 0) return text;
  const double rate = static_cast<double>(done) / seconds;
  text += ", " + Mebibytes(rate) + "/s";
  if (done < total) text += ", " + Duration(static_cast<double>(total - done) / rate) + " left";
  return text;
}

void ProgressLine::Start(const std::string& activity, std::uint64_t total) {
  activity_ = activity;
  total_ = total;
  started_ = Clock::now();
  drawn_ = {};
}

void ProgressLine::Update(std::uint64_t done) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now - drawn_ < kRedrawEvery) return;
  drawn_ = now;
  const std::string text =
      ProgressText(activity_, done, total_, std::chrono::duration<double>(now - started_).count());
  // Spaces cover what a longer line before left behind.
  const std::size_t pad = width_ > text.size() ? width_ - text.size() : 0;
  std::fprintf(out_, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
  std::fflush(out_);
  width_ = text.size();
}

void ProgressLine::Clear() {
  if (!enabled_ || width_ == 0) return;
  std::fprintf(out_, "\r%*s\r", static_cast<int>(width_), "");
  std::fflush(out_);
  width_ = 0;
}

}  // namespace moltpack
