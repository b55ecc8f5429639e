// The files one run writes. Each is written under a temporary name in the
// folder of its final name and renamed into place by Commit, once the whole
// pack is complete: a run that fails leaves an earlier pack as it was.
// Temporary files that are not committed are removed when this goes away.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "interrupt_cleanup.h"
#include "system_files.h"

namespace moltpack {

class StagedOutput {
 public:
  // Nothing may be written inside `sourceRoot`, the tree being packed.
  explicit StagedOutput(const std::filesystem::path& sourceRoot);
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  // A new, empty temporary file that Commit renames to `finalPath`. Returns
  // its index for Reopen and TemporaryPath.
  std::size_t Stage(const std::filesystem::path& finalPath);
  // The open file of a staged index; Close() it when done with it.
  WritableFile& File(std::size_t index);
  // Opens a closed staged file again to change bytes in it.
  std::unique_ptr<WritableFile> Reopen(std::size_t index) const;
  const std::filesystem::path& TemporaryPath(std::size_t index) const;

  // A temporary file beside `near` that never becomes part of the output
  // (a spool, a list for reading the pack back): removed at the end.
  // Safe to call from several threads.
  std::unique_ptr<WritableFile> Scratch(const std::filesystem::path& near, std::filesystem::path& path);
  void RemoveScratch(const std::filesystem::path& path);

  // Renames every staged file into place, in the order they were staged,
  // once every final name was checked with RefuseReplacing: a name that
  // cannot be replaced fails the commit before anything was renamed.
  void Commit();

 private:
  struct Staged {
    std::filesystem::path finalPath;
    std::filesystem::path temporaryPath;
    std::unique_ptr<WritableFile> file;
    CleanupEntry* cleanup = nullptr;
  };
  struct ScratchFile {
    std::filesystem::path path;
    CleanupEntry* cleanup = nullptr;
  };
  // A new file beside `finalPath`, removed if the process is interrupted.
  std::unique_ptr<WritableFile> CreateBeside(const std::filesystem::path& finalPath, std::filesystem::path& temporary,
                                             CleanupEntry*& cleanup);

  std::filesystem::path sourceRoot_;
  std::vector<Staged> staged_;
  std::mutex scratchLock_;
  std::vector<ScratchFile> scratch_;
  bool committed_ = false;
};

// Refuses `path` when it lies inside `root` or is `root` itself, comparing
// the canonical forms: an output there would be packed into itself or
// overwrite what is being packed.
void RefuseOutputInside(const std::filesystem::path& path, const std::filesystem::path& root);

// Refuses an output `path` where something other than a regular file stands
// (a folder, a link, a device, a FIFO): renaming over it would destroy it.
void RefuseReplacing(const std::filesystem::path& path);

// After a pack of `volumeCount` volumes named by `format` was put in place:
// removes volume volumeCount+1, +2... left by an earlier, longer pack, while
// they exist and start like a volume. Their names, for a message.
std::vector<std::string> RemoveStaleVolumes(const std::string& format, unsigned volumeCount);

}  // namespace moltpack
