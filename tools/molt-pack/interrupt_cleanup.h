// Temporary files that an interrupt (Ctrl-C, a hang-up, a request to end)
// removes before the process ends, so that an interrupted run leaves no
// temporary files behind, as a failed one does not.
#pragma once

#include <filesystem>

namespace moltpack {

struct CleanupEntry;

// `path` is removed if the process is interrupted, until the entry is let go.
CleanupEntry* RemoveOnInterrupt(const std::filesystem::path& path);
void LetGo(CleanupEntry* entry) noexcept;

// Removes every file still held; safe inside a signal handler.
void RemoveHeldFiles() noexcept;

// Installs the system's interrupt handlers, which call RemoveHeldFiles and
// then end the process as the interrupt would have (system_files_*.cpp).
void RemoveTemporaryFilesOnInterrupt();

}  // namespace moltpack
