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

// The entry's five DOS words for a moment given in seconds since 1970 UTC;
// moments outside 1980..2107 are clamped to the nearest DOS moment, and
// `clamped` (when given) tells whether that happened.
packwriter::DosTimes DosTimesFromUnix(long long seconds, bool* clamped = nullptr);

}  // namespace moltpack
