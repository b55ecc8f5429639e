#include "disk_volumes.h"

#include "failure.h"
#include "pack_writer.h"

namespace moltpack {
namespace {

// Appends are gathered to this size before they go to the file.
constexpr std::size_t kWriteBuffer = 1 << 20;

}  // namespace

DiskVolumes::DiskVolumes(StagedOutput& output, std::string format) : output_(output), format_(std::move(format)) {}

void DiskVolumes::Begin(std::size_t index) {
  const std::string name = packwriter::FormatVolumeName(format_, static_cast<unsigned>(index + 1));
  if (!names_.empty() && name == names_.front()) {
    throw Failure(format_, "the pack needs more than one volume, and a name without a number such as '%d' "
                           "gives them all one file");
  }
  if (!staged_.empty()) {
    Flush();
    output_.File(staged_.back()).Close();
  }
  staged_.push_back(output_.Stage(name));
  names_.push_back(name);
}

void DiskVolumes::Append(const char* data, std::size_t size) {
  pending_.append(data, size);
  if (pending_.size() >= kWriteBuffer) Flush();
}

void DiskVolumes::WriteAt(std::size_t index, std::uint64_t offset, const char* data, std::size_t size) {
  if (index + 1 == staged_.size()) {
    Flush();
    output_.File(staged_.back()).WriteAt(offset, data, size);
    return;
  }
  const std::unique_ptr<WritableFile> earlier = output_.Reopen(staged_.at(index));
  earlier->WriteAt(offset, data, size);
  earlier->Close();
}

void DiskVolumes::Finish() {
  Flush();
  output_.File(staged_.back()).Close();
}

void DiskVolumes::Flush() {
  if (pending_.empty()) return;
  output_.File(staged_.back()).Append(pending_.data(), pending_.size());
  pending_.clear();
}

std::vector<std::filesystem::path> DiskVolumes::TemporaryPaths() const {
  std::vector<std::filesystem::path> paths;
  for (const std::size_t index : staged_) paths.push_back(output_.TemporaryPath(index));
  return paths;
}

}  // namespace moltpack
