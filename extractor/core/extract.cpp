#include "extract.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "context.h"
#include "errors.h"
#include "platform/codepage.h"

namespace molt {
namespace {

constexpr char kCommand[] = "UNPACK";
constexpr std::uint32_t kLongNameLength = 255;

// Every call starts from the walk state of a freshly loaded library.
void ResetWalk(WalkState& walk) {
  walk.OutputPath[0] = '\0';
  walk.PathEnd = 0;
  walk.WalkFlags = WALK_EXTRACT;
  walk.FilterPattern = nullptr;
  walk.FilterCursor = nullptr;
  walk.FilterMatched = false;
  walk.StopAfterFile = false;
  walk.StopAfterDirectory = false;
}

// Appends `text` to the output path at `length`; false when it does not fit.
bool AppendPath(char* path, std::size_t& length, std::size_t limit, const char* text,
                std::size_t count) {
  if (length + count + 1 > limit) return false;
  std::memcpy(path + length, text, count);
  length += count;
  path[length] = '\0';
  return true;
}

// Runs the walk over the archive's root; a raised code comes back as the result.
int RunWalk(Context& context) {
  try {
    return WalkLevel(context);
  } catch (const ErrorUnwind& failure) {
    return failure.code;
  }
}

int Extract(Context& context, const char* packPath, const char* destination, const char* filter,
            int showErrors, const char* command) {
  ResetWalk(context.walk);
  context.ShowErrors = showErrors == 1;
  if (!CheckLongNameVolume(context)) return ERR_FILE_SYSTEM;
  if (command == nullptr || std::strcmp(command, kCommand) != 0) {
    return ReportError(context, ERR_OPTION);
  }
  if (filter != nullptr) SetUpFilter(context, filter);

  std::uint8_t archiveBlock[kArchiveBlockSize] = {};
  if (const int code = OpenPack(context, packPath, archiveBlock); code != 0) {
    CloseReader(context);
    return ReportError(context, code);
  }
  if (!SetUpDestination(context, destination)) {
    CloseReader(context);
    return ReportError(context, ERR_UNRECOVERABLE);
  }
  const int result = RunWalk(context);
  CloseReader(context);
  return result;
}

}  // namespace

int Molt(Context& context, const char* packPath, const char* destination, const char* filter,
         int showErrors, const char* command) {
  try {
    return Extract(context, packPath, destination, filter, showErrors, command);
  } catch (const std::bad_alloc&) {
    CloseReader(context);
    return ERR_MEMORY;
  } catch (...) {
    // Nothing else is ever thrown; should it be, the caller still gets a code.
    CloseReader(context);
    return ERR_UNRECOVERABLE;
  }
}

bool CheckLongNameVolume(Context& context) {
  std::uint32_t length = 0;
  return context.sys.GetMaxComponentLength(&length) && length >= kLongNameLength;
}

void SetUpFilter(Context& context, const char* filter) {
  WalkState& walk = context.walk;
  walk.FilterPattern = filter[0] == '\\' ? filter + 1 : filter;
  walk.WalkFlags = static_cast<std::uint16_t>((walk.WalkFlags | WALK_FILTER) & ~WALK_EXTRACT);
}

bool SetUpDestination(Context& context, const char* destination) {
  if (destination == nullptr) return false;
  WalkState& walk = context.walk;
  platform::Platform& sys = context.sys;
  const char separator = sys.PathSeparator();
  const std::size_t limit = std::min(kOutputPathCapacity, sys.MaxPath());
  char* path = walk.OutputPath;
  std::size_t length = 0;
  path[0] = '\0';
  const std::size_t destinationLength = std::strlen(destination);

  if (sys.IsAbsolutePath(destination)) {
    if (!AppendPath(path, length, limit, destination, destinationLength)) return false;
  } else {
    char current[kOutputPathCapacity];
    if (!sys.GetCurrentDirectory(current, limit)) return false;
    const platform::CodePage& characters = sys.Characters();
    const std::size_t currentLength = std::strlen(current);
    if (destination[0] == separator) {
      // Rooted at the current drive.
      const std::size_t drive = std::min(sys.DrivePrefixLength(), currentLength);
      if (!AppendPath(path, length, limit, current, drive)) return false;
    } else {
      if (!AppendPath(path, length, limit, current, currentLength)) return false;
      const char* last = characters.FindLast(current, separator);
      const bool endsWithSeparator = last != nullptr && last[1] == '\0';
      if (!endsWithSeparator && !AppendPath(path, length, limit, &separator, 1)) return false;
    }
    if (!AppendPath(path, length, limit, destination, destinationLength)) return false;
  }

  // One trailing separator goes; the walk writes its own before each name.
  char* last = const_cast<char*>(sys.Characters().FindLast(path, separator));
  if (last != nullptr && last[1] == '\0') {
    *last = '\0';
    walk.PathEnd = static_cast<std::size_t>(last - path);
  } else {
    walk.PathEnd = length;
  }
  return true;
}

}  // namespace molt
