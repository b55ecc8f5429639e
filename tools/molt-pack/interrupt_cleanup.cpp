#include "interrupt_cleanup.h"

#include <atomic>

#include "system_files.h"

namespace moltpack {

// A list that only grows at its head and whose entries are never freed, so
// a signal handler can walk it at any moment without a lock: an entry let
// go is only marked. The entries are a few per volume and per spool.
struct CleanupEntry {
  std::filesystem::path path;
  std::atomic<bool> held{true};
  CleanupEntry* next = nullptr;
};

namespace {
std::atomic<CleanupEntry*> gHead{nullptr};
}  // namespace

CleanupEntry* RemoveOnInterrupt(const std::filesystem::path& path) {
  auto* entry = new CleanupEntry;
  entry->path = path;
  entry->next = gHead.load();
  while (!gHead.compare_exchange_weak(entry->next, entry)) {
  }
  return entry;
}

void LetGo(CleanupEntry* entry) noexcept {
  if (entry != nullptr) entry->held = false;
}

void RemoveHeldFiles() noexcept {
  for (CleanupEntry* entry = gHead.load(); entry != nullptr; entry = entry->next) {
    if (entry->held.exchange(false)) RemoveQuietly(entry->path);
  }
}

}  // namespace moltpack
