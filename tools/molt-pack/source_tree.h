// The tree that molt-pack packs, as the scan found it on disk: names already
// in the target code page and checked, times, attributes, masks and whether
// a file is stored. Contents stay on disk: the pack output reads each file
// when its turn comes, so memory does not grow with the tree.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pack_writer.h"

namespace moltpack {

struct SourceEntry {
  enum class Kind { kDirectory, kFile };
  Kind kind = Kind::kFile;

  std::filesystem::path source;  // the file or folder on disk
  std::string displayPath;       // relative to SOURCE-DIR, as the user's system
                                 // spells it: for messages

  // Names as written into the pack, in the target code page.
  std::string shortName;
  std::optional<std::string> longName;  // set where the short name is not the name
  std::string packPath;  // output names from the root joined by '\\', as the
                         // extractor will see and match them

  std::uint64_t size = 0;  // files: bytes at scan time
  std::uint16_t attributes = 0;
  packwriter::DosTimes times;
  std::uint32_t selectionMask = 0;
  bool store = false;  // files: stored as they are, never compressed

  std::vector<SourceEntry> children;  // directories: in pack order
};

struct ScanOptions {
  // Target code page: 0 keeps names' bytes as they are (single-byte rules);
  // another number converts the source names (UTF-8) into that code page.
  int codePage = 0;
  // PATTERN=VALUE pairs from --mask, in command-line order; the last
  // matching pattern wins.
  std::vector<std::pair<std::string, std::uint32_t>> masks;
  // Files matching one of these are stored (--store); the defaults are the
  // already-compressed kinds.
  std::vector<std::string> storePatterns{"*.msu", "*.cab", "*.zip"};
  // One time for every entry (--time, SOURCE_DATE_EPOCH), in seconds since
  // 1970 UTC; unset: each entry's own last-write time.
  std::optional<long long> fixedTime;
  // Relative paths longer than this many bytes are warned about (or refused
  // with refuseLongPaths): they may not fit under a destination folder.
  std::size_t pathBudget = 160;
  bool refuseLongPaths = false;
};

// Called once per warning (a clamped time, a long path...).
using WarningSink = std::function<void(const std::string&)>;

}  // namespace moltpack
