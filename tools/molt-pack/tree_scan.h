// Reads a directory tree from disk into the entries of a pack: names in the
// target code page, checked against what the extractor's systems refuse,
// short names, the last-write time (UTC) as all of the entry's DOS times,
// the read-only and directory attributes, masks and the store choice.
// Entries come sorted by source name bytes so the same tree gives the same
// pack.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "pack_writer.h"
#include "source_tree.h"

namespace moltpack {

// What the scan refused (names, links, sizes, long paths with
// refuseLongPaths): every one of the tree's, one line "path: reason" each.
// what() holds the lines joined by newlines.
class RefusedEntries : public std::runtime_error {
 public:
  explicit RefusedEntries(std::vector<std::string> lines);
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// The tree's description without its contents: the pack output reads each
// file when its turn comes. Throws RefusedEntries after scanning the whole
// tree when it refused anything; std::runtime_error naming the path and the
// reason for a failure that ends the scan at once (with the system's text
// for an I/O failure).
std::vector<SourceEntry> ScanSourceTree(const std::filesystem::path& root, const ScanOptions& options,
                                        const WarningSink& warn);

// The entry's five DOS words for a moment given in seconds since 1970 UTC;
// moments outside 1980..2107 are clamped to the nearest DOS moment, and
// `clamped` (when given) tells whether that happened.
packwriter::DosTimes DosTimesFromUnix(long long seconds, bool* clamped = nullptr);

}  // namespace moltpack
