#include "walk.h"

#include <algorithm>
#include <cstring>

#include "context.h"
#include "errors.h"
#include "name_match.h"
#include "output.h"
#include "platform/codepage.h"

namespace molt {

// A name that could lead out of the destination folder, or that the system
// keeps for a device, never reaches the file system.
bool IsSafeEntryName(Context& context, const char* name) {
  if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
    return false;
  }
  const platform::CodePage& characters = context.sys.Characters();
  for (const char* p = name; *p != '\0'; p = characters.NextChar(p)) {
    if (characters.IsDoubleByte(p)) continue;  // its trail byte is part of the character
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x20 || byte == '\\' || byte == '/' || byte == ':') return false;
  }
  return !context.sys.IsReservedName(name);
}

namespace {

// Checks the entry's output name and writes the separator after the current
// level's path; returns where the name goes. An unsafe name raises 34, a
// path that would not fit `tooLongCode`.
std::size_t BeginEntryPath(Context& context, const EntryRecord& entry, int tooLongCode) {
  WalkState& walk = context.walk;
  const char* name = entry.OutputName();
  if (!IsSafeEntryName(context, name)) RaiseError(ERR_INPUT_FORMAT);
  const std::size_t limit = std::min(kOutputPathCapacity, context.sys.MaxPath());
  // The level's path, a separator, the name and the NUL.
  if (walk.PathEnd + 1 + std::strlen(name) + 1 > limit) RaiseError(tooLongCode);
  walk.OutputPath[walk.PathEnd] = context.sys.PathSeparator();
  walk.OutputPath[walk.PathEnd + 1] = '\0';
  return walk.PathEnd + 1;
}

void SetEntryTimes(Context& context, const EntryRecord& entry) {
  const char* path = context.walk.OutputPath;
  SetEntryCreationTime(context, path, entry.creationDate, entry.creationTime);
  SetEntryLastWriteTime(context, path, entry.lastWriteDate, entry.lastWriteTime);
  SetEntryLastAccessTime(context, path, entry.lastAccessDate);
}

// Closes the output file however the entry ends.
class OutputFile {
 public:
  explicit OutputFile(Context& context) : context_(context) {}
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  platform::FileHandle* handle() { return &handle_; }
  void Close() {
    if (handle_ != platform::kInvalidFile) context_.sys.CloseFile(handle_);
    handle_ = platform::kInvalidFile;
    context_.decoder.OutputHandle = platform::kInvalidFile;
  }

 private:
  Context& context_;
  platform::FileHandle handle_ = platform::kInvalidFile;
};

void ExtractFile(Context& context, const EntryRecord& entry) {
  WalkState& walk = context.walk;
  const std::size_t namePosition = BeginEntryPath(context, entry, ERR_OUTPUT_OPEN);
  CheckFileSizes(entry);
  OutputFile file(context);
  if (OpenOutputFile(context, walk.OutputPath, namePosition, entry, file.handle()) != 0) {
    RaiseError(ERR_OUTPUT_OPEN);
  }
  ExtractFileData(context, *file.handle(), entry);
  file.Close();
  SetEntryTimes(context, entry);
  context.sys.SetFileAttributes(walk.OutputPath, entry.attributes);
}

void ExtractDirectory(Context& context, const EntryRecord& entry, std::uint64_t contentsEnd) {
  WalkState& walk = context.walk;
  const std::size_t namePosition = BeginEntryPath(context, entry, ERR_MAKE_DIRECTORY);
  if (CreateOutputDirectory(context, walk.OutputPath, namePosition, entry) != 0) {
    RaiseError(ERR_MAKE_DIRECTORY);
  }
  walk.PathEnd = namePosition + std::strlen(entry.OutputName());
  switch (WalkRecords(context)) {
    case LEVEL_END_TAG:
      CheckContentsEnd(context, contentsEnd);
      break;
    case LEVEL_END_OF_DATA:
      RaiseError(ERR_INPUT_EOF);  // the pack is cut inside the directory
    case LEVEL_STOPPED:
      break;
  }
  // Writing inside a directory changes its times: they are set after its contents.
  SetEntryTimes(context, entry);
}

}  // namespace

LevelEnd WalkRecords(Context& context) {
  WalkState& walk = context.walk;
  std::uint8_t tag[4];
  while (ReadRecordTag(context, tag)) {
    switch (TagValue(tag)) {
      case TAG_END_DIRECTORY:
        return LEVEL_END_TAG;
      case TAG_DIRECTORY:
        ExtractDirectoryEntry(context);
        if (walk.StopAfterDirectory || walk.StopAfterFile) return LEVEL_STOPPED;
        break;
      case TAG_FILE:
        ExtractFileEntry(context);
        if (walk.StopAfterFile) return LEVEL_STOPPED;
        break;
      default:
        RaiseError(ERR_INPUT_FORMAT);
    }
  }
  return LEVEL_END_OF_DATA;
}

int WalkLevel(Context& context) {
  const WalkState& walk = context.walk;
  if (WalkRecords(context) != LEVEL_END_OF_DATA) return 0;
  return walk.FilterPattern != nullptr && !walk.FilterMatched ? ERR_NOT_FOUND : 0;
}

void ExtractFileEntry(Context& context) {
  WalkState& walk = context.walk;
  const std::uint16_t savedFlags = walk.WalkFlags;
  EntryRecord entry;
  ReadFileRecord(context, entry);
  if ((walk.WalkFlags & WALK_EXTRACT) && entry.selectionMask != 0) walk.WalkFlags &= ~WALK_EXTRACT;
  const char* savedCursor = walk.FilterCursor;
  if ((walk.WalkFlags & WALK_FILTER) && MatchFilterStep(context, entry) == FILTER_DONE) {
    walk.StopAfterFile = true;
    walk.WalkFlags = WALK_EXTRACT;
  }
  if (walk.WalkFlags & WALK_EXTRACT) {
    ExtractFile(context, entry);
  } else {
    SkipInput(context, entry.packedSize);
  }
  FreeEntryNames(entry);
  walk.FilterCursor = savedCursor;
  walk.OutputPath[walk.PathEnd] = '\0';
  walk.WalkFlags = savedFlags;
}

void ExtractDirectoryEntry(Context& context) {
  WalkState& walk = context.walk;
  const std::uint16_t savedFlags = walk.WalkFlags;
  const std::size_t savedPathEnd = walk.PathEnd;
  EntryRecord entry;
  ReadDirectoryRecord(context, entry);
  const std::uint64_t contentsEnd = ContentsEnd(context.reader, entry);
  if ((walk.WalkFlags & WALK_EXTRACT) && entry.selectionMask != 0) walk.WalkFlags &= ~WALK_EXTRACT;
  const char* savedCursor = walk.FilterCursor;
  FilterStep step = FILTER_MISS;
  if (walk.WalkFlags & WALK_FILTER) {
    step = MatchFilterStep(context, entry);
    if (step == FILTER_DONE) {
      walk.WalkFlags = static_cast<std::uint16_t>((walk.WalkFlags & ~WALK_FILTER) | WALK_EXTRACT);
    }
  }
  if ((walk.WalkFlags & WALK_EXTRACT) || step == FILTER_DESCEND) {
    ExtractDirectory(context, entry, contentsEnd);
  } else {
    SkipInput(context, entry.size);
  }
  FreeEntryNames(entry);
  walk.FilterCursor = savedCursor;
  walk.PathEnd = savedPathEnd;
  walk.OutputPath[walk.PathEnd] = '\0';
  if (step == FILTER_DONE) walk.StopAfterDirectory = true;
  walk.WalkFlags = savedFlags;
}

FilterStep MatchFilterStep(Context& context, const EntryRecord& entry) {
  WalkState& walk = context.walk;
  if (walk.FilterCursor == nullptr) walk.FilterCursor = walk.FilterPattern;
  if (*walk.FilterCursor == '\0') return FILTER_DONE;
  const bool matched = MatchComponent(context, walk.FilterCursor, entry.shortName) ||
                       (entry.longName && MatchComponent(context, walk.FilterCursor,
                                                         entry.longName.get()));
  if (!matched) return FILTER_MISS;
  const platform::CodePage& characters = context.sys.Characters();
  const char* cursor = walk.FilterCursor;
  while (!IsComponentEnd(cursor)) cursor = characters.NextChar(cursor);
  if (*cursor == '\\') ++cursor;
  walk.FilterCursor = cursor;
  if (*cursor != '\0') return FILTER_DESCEND;
  walk.FilterMatched = true;
  return FILTER_DONE;
}

bool MatchComponent(Context& context, const char* component, const char* name) {
  return MatchNameComponent(context.sys.Characters(), component, name);
}

}  // namespace molt
