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

// Writes the entry's data to the open file and checks its CRC-32; raises 44
// when it cannot be written, 45 when the CRC-32 differs.
void ExtractFileData(Context& context, platform::FileHandle file, const EntryRecord& entry);
// Copies `count` stored bytes from the pack to OutputHandle and carries the
// CRC-32 over them from a reset; raises 44 when they cannot be written.
// Gathered into large writes (stored_copy.h) unless the extractor is set to
// copy block by block or the gather buffer cannot be had.
void CopyStoredData(Context& context, std::uint32_t count);
// The block-by-block copy, the reference for the gathered one: each block of
// InputBuffer is written as it comes. Carries on the CRC-32 as it stands.
void CopyStoredDataInBlocks(Context& context, std::uint32_t count);
// Writes all `size` bytes to OutputHandle. A short write goes on with the
// rest; a write that fails or makes no progress raises 44, so that no byte
// counted in the CRC-32 is lost without an error.
void WriteStoredBytes(Context& context, const std::uint8_t* data, std::uint32_t size);

// 1 when the time was set, else 0.
int SetEntryCreationTime(Context& context, const char* path, std::uint16_t date,
                         std::uint16_t time);
int SetEntryLastWriteTime(Context& context, const char* path, std::uint16_t date,
                          std::uint16_t time);
int SetEntryLastAccessTime(Context& context, const char* path, std::uint16_t date);

}  // namespace molt
