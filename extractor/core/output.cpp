#include "output.h"

#include <algorithm>
#include <cstring>

#include "context.h"
#include "errors.h"
#include "stored_copy.h"

namespace molt {
namespace {

void PlaceName(char* path, std::size_t namePosition, const EntryRecord& entry) {
  const char* name = entry.OutputName();
  std::memcpy(path + namePosition, name, std::strlen(name) + 1);
}

std::uint32_t FailureCode(Context& context) {
  const std::uint32_t error = context.sys.LastError();
  return error != 0 ? error : platform::kErrorAccessDenied;
}

void CopyRun(Context& context, const std::uint8_t* data, std::uint32_t size) {
  UpdateCrc32(context.RunningCrc, data, static_cast<std::uint16_t>(size));
  WriteOutputBytes(context, data, size);
}

}  // namespace

void WriteOutputBytes(Context& context, const std::uint8_t* data, std::uint32_t size,
                      int writesWithoutProgress) {
  while (size > 0) {
    std::uint32_t done = 0;
    const bool written = context.sys.WriteFile(context.decoder.OutputHandle, data, size, &done);
    // What a write reports done is in the file, whether or not it failed:
    // the rest follows it, and nothing goes out twice.
    done = std::min(done, size);
    data += done;
    size -= done;
    if (!written && context.sys.LastError() == platform::kErrorDiskFull) {
      RaiseError(ERR_WRITE_DISK_FULL);
    }
    if (done > 0) {
      writesWithoutProgress = 0;
    } else if (++writesWithoutProgress > kMaxRewrites) {
      RaiseError(ERR_WRITE_DISK_FULL);
    }
  }
}

std::uint32_t OpenOutputFile(Context& context, char* path, std::size_t namePosition,
                             const EntryRecord& entry, platform::FileHandle* file) {
  PlaceName(path, namePosition, entry);
  std::uint32_t attributes = 0;
  // Clearing the attributes lets a read-only, hidden or system file be replaced.
  if (context.sys.GetFileAttributes(path, &attributes)) context.sys.SetFileAttributes(path, 0);
  *file = context.sys.CreateOutputFile(path);
  return *file == platform::kInvalidFile ? FailureCode(context) : 0;
}

std::uint32_t CreateOutputDirectory(Context& context, char* path, std::size_t namePosition,
                                    const EntryRecord& entry) {
  PlaceName(path, namePosition, entry);
  if (context.sys.CreateDirectory(path)) return 0;
  const std::uint32_t error = FailureCode(context);
  return error == platform::kErrorAlreadyExists ? 0 : error;
}

void CheckFileSizes(const EntryRecord& entry) {
  // Stored data is its contents: a packed size of any other length would
  // leave the copy and a skip of the entry at different bytes.
  if ((entry.flags & ENTRY_DEFLATED) == 0 && entry.packedSize != entry.size) {
    RaiseError(ERR_INPUT_FORMAT);
  }
}

void ExtractFileData(Context& context, platform::FileHandle file, const EntryRecord& entry) {
  CheckFileSizes(entry);
  context.decoder.OutputHandle = file;
  if (entry.flags & ENTRY_DEFLATED) {
    InflateMember(context, entry.packedSize, entry.size);
  } else {
    CopyStoredData(context, entry.size);
  }
  const std::uint8_t nothing = 0;
  if (UpdateCrc32(context.RunningCrc, &nothing, 0) != entry.crc32) RaiseError(ERR_CRC);
}

void CopyStoredData(Context& context, std::uint32_t count) {
  UpdateCrc32(context.RunningCrc, nullptr, 0);
  if (context.storedCopy.PlainBlocks || !CopyStoredDataGathered(context, count)) {
    CopyStoredDataInBlocks(context, count);
  }
}

void CopyStoredDataInBlocks(Context& context, std::uint32_t count) {
  const std::uint8_t* run = nullptr;
  std::uint32_t length = TakeBufferedInput(context.reader, count, &run);
  // Each run is written before the next block is read; the next tag stands
  // right after the last one.
  for (;;) {
    if (length > 0) CopyRun(context, run, length);
    count -= length;
    if (count == 0) return;
    length = TakeNextBlock(context, count, &run);
  }
}

int SetEntryCreationTime(Context& context, const char* path, std::uint16_t date,
                         std::uint16_t time) {
  return context.sys.SetFileTime(path, platform::FileTimeKind::Creation, date, time) ? 1 : 0;
}

int SetEntryLastWriteTime(Context& context, const char* path, std::uint16_t date,
                          std::uint16_t time) {
  return context.sys.SetFileTime(path, platform::FileTimeKind::LastWrite, date, time) ? 1 : 0;
}

// Only a date is stored for the last access: it is set at midnight.
int SetEntryLastAccessTime(Context& context, const char* path, std::uint16_t date) {
  return context.sys.SetFileTime(path, platform::FileTimeKind::LastAccess, date, 0) ? 1 : 0;
}

}  // namespace molt
