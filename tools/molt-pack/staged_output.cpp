#include "staged_output.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <set>

#include "core/pack_format.h"
#include "failure.h"
#include "pack_writer.h"

namespace moltpack {
namespace fs = std::filesystem;
namespace {

fs::path CanonicalOrSelf(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(fs::absolute(path, error), error);
  return error ? path : canonical;
}

bool StartsLikeAVolume(const fs::path& path) {
  // Only a regular file can be a volume; opening a FIFO would stall.
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(path, error))) return false;
  std::ifstream in(path, std::ios::binary);
  std::string head(sizeof molt::kSignature, '\0');
  if (!in.read(head.data(), static_cast<std::streamsize>(head.size()))) return false;
  packwriter::Scramble(head);
  return std::equal(head.begin(), head.end(), std::begin(molt::kSignature),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace

StagedOutput::StagedOutput(const fs::path& sourceRoot) : sourceRoot_(sourceRoot) {}

StagedOutput::~StagedOutput() {
  for (Staged& staged : staged_) {
    staged.file.reset();
    if (!committed_) RemoveQuietly(staged.temporaryPath);
    LetGo(staged.cleanup);
  }
  for (const ScratchFile& scratch : scratch_) {
    RemoveQuietly(scratch.path);
    LetGo(scratch.cleanup);
  }
}

std::unique_ptr<WritableFile> StagedOutput::CreateBeside(const fs::path& finalPath, fs::path& temporary,
                                                         CleanupEntry*& cleanup) {
  RefuseOutputInside(finalPath, sourceRoot_);
  thread_local std::mt19937 random{std::random_device{}()};
  for (;;) {
    // Hidden where a leading dot hides, and plainly not the final file.
    std::string name = ".";
    name += finalPath.filename().string();
    name += '.';
    name += std::to_string(random() % 1000000000u);
    name += ".tmp";
    temporary = finalPath.parent_path() / name;
    // Held before it is created, so that an interrupt at any moment after
    // its creation removes it.
    CleanupEntry* const entry = RemoveOnInterrupt(temporary);
    std::unique_ptr<WritableFile> file;
    try {
      file = std::make_unique<WritableFile>(temporary, finalPath.string(), WritableFile::Mode::kCreateNew);
    } catch (...) {
      LetGo(entry);
      throw;
    }
    if (file->Exists()) {  // someone else's: never touched
      LetGo(entry);
      continue;
    }
    cleanup = entry;
    return file;
  }
}

std::size_t StagedOutput::Stage(const fs::path& finalPath) {
  Staged staged;
  staged.finalPath = finalPath;
  staged.file = CreateBeside(finalPath, staged.temporaryPath, staged.cleanup);
  staged_.push_back(std::move(staged));
  return staged_.size() - 1;
}

WritableFile& StagedOutput::File(std::size_t index) { return *staged_.at(index).file; }

std::unique_ptr<WritableFile> StagedOutput::Reopen(std::size_t index) const {
  const Staged& staged = staged_.at(index);
  return std::make_unique<WritableFile>(staged.temporaryPath, staged.finalPath.string(),
                                        WritableFile::Mode::kOpenExisting);
}

const fs::path& StagedOutput::TemporaryPath(std::size_t index) const { return staged_.at(index).temporaryPath; }

std::unique_ptr<WritableFile> StagedOutput::Scratch(const fs::path& near, fs::path& path) {
  CleanupEntry* cleanup = nullptr;
  std::unique_ptr<WritableFile> file = CreateBeside(near, path, cleanup);
  const std::lock_guard<std::mutex> hold(scratchLock_);
  scratch_.push_back({path, cleanup});
  return file;
}

void StagedOutput::RemoveScratch(const fs::path& path) {
  RemoveQuietly(path);
  const std::lock_guard<std::mutex> hold(scratchLock_);
  const auto found =
      std::find_if(scratch_.begin(), scratch_.end(), [&path](const ScratchFile& scratch) { return scratch.path == path; });
  if (found == scratch_.end()) return;
  LetGo(found->cleanup);
  scratch_.erase(found);
}

void StagedOutput::Commit() {
  for (Staged& staged : staged_) {
    if (staged.file) staged.file->Close();
  }
  for (const Staged& staged : staged_) RefuseReplacing(staged.finalPath);
  for (const Staged& staged : staged_) {
    MoveIntoPlace(staged.temporaryPath, staged.finalPath, staged.finalPath.string());
    LetGo(staged.cleanup);
  }
  committed_ = true;
}

void RefuseOutputInside(const fs::path& path, const fs::path& root) {
  const fs::path output = CanonicalOrSelf(path);
  const fs::path tree = CanonicalOrSelf(root);
  const auto [treeEnd, outputAt] = std::mismatch(tree.begin(), tree.end(), output.begin(), output.end());
  // A trailing separator leaves an empty last component in the tree's path.
  if (treeEnd == tree.end() || (std::next(treeEnd) == tree.end() && treeEnd->empty())) {
    throw Failure(path.string(), "lies inside the folder being packed, " + root.string());
  }
}

void RefuseReplacing(const fs::path& path) {
  if (const std::optional<std::string> reason = ReasonNotToReplace(path)) throw Failure(path.string(), *reason);
}

std::vector<std::string> RemoveStaleVolumes(const std::string& format, unsigned volumeCount) {
  std::set<std::string> written;
  for (unsigned k = 1; k <= volumeCount; ++k) written.insert(packwriter::FormatVolumeName(format, k));
  std::vector<std::string> removed;
  for (unsigned k = volumeCount + 1; k <= molt::FILE_NUMBER_MASK; ++k) {
    const std::string name = packwriter::FormatVolumeName(format, k);
    if (written.count(name) != 0 || !StartsLikeAVolume(name)) break;
    RemoveQuietly(name);
    removed.push_back(name);
  }
  return removed;
}

}  // namespace moltpack
