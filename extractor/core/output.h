// Making the extracted tree on disk: output files and directories, file data
// checked against its CRC-32, and the entries' times.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace molt {

struct Context;
struct EntryRecord;

// Place the entry's output name at `namePosition` of `path` (the caller has
// made sure that it fits) and create the file or directory. 0, or the
// system's error code. An existing directory counts as created.
std::uint32_t OpenOutputFile(Context& context, char* path, std::size_t namePosition,
                             const EntryRecord& entry, platform::FileHandle* file);
std::uint32_t CreateOutputDirectory(Context& context, char* path, std::size_t namePosition,
                                    const EntryRecord& entry);

// Raises 34 for a file record that no reading of the stream could take
// alike: stored data whose packed size is not its original size. The walk
// asks before it creates the file.
void CheckFileSizes(const EntryRecord& entry);
// Writes the entry's data to the open file and checks its CRC-32; raises 44
// when it cannot be written, 45 when the CRC-32 differs. Takes exactly the
// entry's packed size from the reader, so the next record is read right
// after it.
void ExtractFileData(Context& context, platform::FileHandle file, const EntryRecord& entry);
// Copies `count` stored bytes from the pack to OutputHandle and carries the
// CRC-32 over them from a reset; raises 44 when they cannot be written.
// Gathered into large writes (stored_copy.h) unless the extractor is set to
// copy block by block or the gather buffer cannot be had.
void CopyStoredData(Context& context, std::uint32_t count);
// The block-by-block copy, the reference for the gathered one: each block of
// InputBuffer is written as it comes. Carries on the CRC-32 as it stands.
void CopyStoredDataInBlocks(Context& context, std::uint32_t count);
// A write that moves nothing is tried again this many times in a row before
// the entry gives up with 44.
inline constexpr int kMaxRewrites = 3;

// Writes all `size` bytes to OutputHandle: every writer of file data (the
// decoder's window, both stored copies) goes through here. The bytes that a
// write reports done have reached the file even when it fails, so the next
// write starts after them. A full disk raises 44 at once; any other failure,
// or a write that moves nothing, is tried again, and more than kMaxRewrites
// of them in a row raise 44. So no byte counted in the CRC-32 is lost, or
// written twice, without an error. `writesWithoutProgress` counts those the
// caller has already tried in a row for these bytes.
void WriteOutputBytes(Context& context, const std::uint8_t* data, std::uint32_t size,
                      int writesWithoutProgress = 0);

// 1 when the time was set, else 0.
int SetEntryCreationTime(Context& context, const char* path, std::uint16_t date,
                         std::uint16_t time);
int SetEntryLastWriteTime(Context& context, const char* path, std::uint16_t date,
                          std::uint16_t time);
int SetEntryLastAccessTime(Context& context, const char* path, std::uint16_t date);

}  // namespace molt
