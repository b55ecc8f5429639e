// Reads a directory tree from disk into the entries of a pack: names in the
// target code page, checked against what the extractor's systems refuse,
// short names, the last-write time (UTC) as all of the entry's DOS times,
// the read-only and directory attributes, masks and the store choice.
// Entries come sorted by source name bytes so the same tree gives the same
// pack.
#pragma once

#include <filesystem>
#include <vector>

#include "pack_writer.h"
#include "source_tree.h"

namespace moltpack {

// The tree's description without its contents: the pack output reads each
// file when its turn comes. Throws std::runtime_error naming the path at
// fault and the reason (with the system's text for an I/O failure).
std::vector<SourceEntry> ScanSourceTree(const std::filesystem::path& root, const ScanOptions& options,
                                        const WarningSink& warn);

// The whole tree with its contents in memory, compressed where that saves
// bytes, for the writer's BuildVolumes.
struct InMemoryScanOptions {
  bool store = false;  // store every file rather than compress it
  int level = 6;       // DEFLATE level when compressing
};

// Throws std::runtime_error (or packwriter::Error) naming the path at fault.
std::vector<packwriter::Entry> ScanTree(const std::filesystem::path& root, const InMemoryScanOptions& options);

// The entry's five DOS words for a moment given in seconds since 1970 UTC;
// moments outside 1980..2107 are clamped to the nearest DOS moment, and
// `clamped` (when given) tells whether that happened.
packwriter::DosTimes DosTimesFromUnix(long long seconds, bool* clamped = nullptr);

}  // namespace moltpack
