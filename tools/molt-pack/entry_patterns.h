// The patterns of --mask and --store, matched as the extractor's filter
// matches: '*' and '?' by characters of the target code page, letters
// without case, each component against an entry's short or long name. A
// pattern with a '\' or '/' (the same separator here) names a path from the
// root, one component per level; a pattern without one matches an entry's
// name at any depth. A leading or trailing separator is dropped, as the
// filter drops it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codepage_names.h"
#include "source_tree.h"

namespace moltpack {

class EntryPatterns {
 public:
  // Throws std::runtime_error for a pattern that is empty, holds an empty
  // component, or cannot be written in the code page.
  EntryPatterns(const ScanOptions& options, const TargetCodePage& codePage);

  // `path`: the entry and the folders above it, root first; their short and
  // long names are set.
  // The value of the last mask pattern that matches, if any.
  std::optional<std::uint32_t> MaskFor(const std::vector<const SourceEntry*>& path) const;
  // Whether a store pattern matches.
  bool IsStored(const std::vector<const SourceEntry*>& path) const;

 private:
  struct Pattern {
    std::vector<std::string> components;
    bool anyDepth = false;  // no separator: the entry's own name at any depth
  };
  Pattern Parse(const std::string& text) const;
  bool Matches(const Pattern& pattern, const std::vector<const SourceEntry*>& path) const;

  const TargetCodePage& codePage_;
  std::vector<std::pair<Pattern, std::uint32_t>> masks_;
  std::vector<Pattern> store_;
};

}  // namespace moltpack
