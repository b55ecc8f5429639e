// Reads a directory tree from disk into pack entries: names, contents, the
// last-write time (UTC) as all of the entry's DOS times, and the read-only
// attribute. Entries come sorted by name so the same tree gives the same pack.
#pragma once

#include <filesystem>
#include <vector>

#include "pack_writer.h"

namespace moltpack {

struct ScanOptions {
  bool store = false;  // store every file rather than compress it
  int level = 6;       // DEFLATE level when compressing
};

// Throws std::runtime_error (or packwriter::Error) naming the path at fault.
std::vector<packwriter::Entry> ScanTree(const std::filesystem::path& root, const ScanOptions& options);

// The entry's five DOS words for a moment given in seconds since 1970 UTC;
// moments outside 1980..2107 are clamped to the nearest DOS moment.
packwriter::DosTimes DosTimesFromUnix(long long seconds);

}  // namespace moltpack
