// The tree walk: one recursive pass over the record stream that recreates
// the selected directories and files under the destination folder.
#pragma once

#include <cstddef>
#include <cstdint>

namespace molt {

struct Context;
struct EntryRecord;

inline constexpr std::uint16_t WALK_EXTRACT = 0x0001;  // entries at this point are extracted
inline constexpr std::uint16_t WALK_FILTER = 0x0010;   // the path filter is still being matched

enum FilterStep { FILTER_DONE = 0, FILTER_DESCEND = 1, FILTER_MISS = 2 };

// Room for the longest output path of any system we build for.
inline constexpr std::size_t kOutputPathCapacity = 4096;

struct WalkState {
  char OutputPath[kOutputPathCapacity] = {};
  std::size_t PathEnd = 0;  // end of the path of the level being walked
  std::uint16_t WalkFlags = WALK_EXTRACT;
  const char* FilterPattern = nullptr;
  const char* FilterCursor = nullptr;
  bool FilterMatched = false;
  bool StopAfterFile = false;
  bool StopAfterDirectory = false;
};

// How the walk of one level's records ended.
enum LevelEnd {
  LEVEL_END_TAG,      // at its TAG_END_DIRECTORY
  LEVEL_END_OF_DATA,  // at the clean end of the pack data
  LEVEL_STOPPED,      // the filter's entry has been extracted: nothing more is read
};

// Walks the archive's root up to its end tag or the end of the pack data;
// 0, or 41 when the data ended and a filter was given that nothing matched
// (the root's end tag ends the walk with 0 whatever the filter). Only the root may
// end with the data: a directory below it that the data ends in is a cut
// pack (35), and one whose end tag does not end where its contents size
// says is bad data (34).
int WalkLevel(Context& context);
// Walks the records of one level, extracting or skipping each entry.
LevelEnd WalkRecords(Context& context);
void ExtractFileEntry(Context& context);
void ExtractDirectoryEntry(Context& context);
FilterStep MatchFilterStep(Context& context, const EntryRecord& entry);
bool MatchComponent(Context& context, const char* component, const char* name);
// Whether an output name may reach the file system: not empty, '.' or '..';
// no control character, backslash, '/' or ':' outside double-byte
// characters; no device name. The walk raises 34 for any other.
bool IsSafeEntryName(Context& context, const char* name);

}  // namespace molt
