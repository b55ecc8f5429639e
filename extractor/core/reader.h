// The pack reader: opens, descrambles, validates and chains the volumes of a
// pack and reads its record stream through one 8192-byte buffer.
//
// Before the walk the opening operations return an error code; during the
// walk every failure is raised (ErrorUnwind).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "pack_format.h"
#include "platform/platform.h"

namespace molt {

struct Context;

inline constexpr std::uint32_t kInputBufferSize = 8192;

// The in-memory form of one directory or file record.
struct EntryRecord {
  std::uint32_t selectionMask = 0;
  std::uint16_t flags = 0;
  std::uint16_t attributes = 0;
  std::uint16_t reserved = 0;
  std::uint16_t creationTime = 0;
  std::uint16_t creationDate = 0;
  std::uint16_t lastAccessDate = 0;
  std::uint16_t lastWriteTime = 0;
  std::uint16_t lastWriteDate = 0;
  std::uint32_t size = 0;        // directory: contents size; file: original size
  std::uint32_t packedSize = 0;  // file only
  std::uint32_t crc32 = 0;       // file only
  char shortName[kShortNameCapacity] = {};
  std::unique_ptr<char[]> longName;  // null without ENTRY_LONG_NAME

  // The name the entry takes on disk.
  const char* OutputName() const { return longName ? longName.get() : shortName; }
};

struct ListFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct ReaderState {
  platform::FileHandle VolumeHandle = platform::kInvalidFile;
  std::uint64_t VolumePosition = 0;  // file offset of the next byte taken from the volume
  std::uint32_t VolumeSize = 0;
  std::uint8_t VolumeHeader[kVolumeHeaderSize] = {};
  std::uint8_t SetBlock[kSetBlockSize] = {};
  std::uint16_t InputCount = 0;          // unread bytes in InputBuffer
  // Bytes of the record stream read so far, over every volume: those of
  // InputBuffer (its unread ones included) and those taken or skipped past it.
  std::uint64_t StreamRead = 0;
  std::uint8_t* InputPointer = nullptr;  // next unread byte
  std::unique_ptr<std::FILE, ListFileCloser> ListFile;
  const char* PackPathFormat = nullptr;
  std::uint8_t ScrambleKey[kScrambleKeySize] = {};  // masked until KeyReady
  bool KeyReady = false;
  // Set by a data consumer while it holds bytes of the stream that it has
  // not yet written out: the reader has them written before it raises a
  // failure of its own, so that the output stands as it would had every
  // block been written before the next one was read.
  void (*FlushPendingOutput)(Context& context) = nullptr;
  std::uint8_t InputBuffer[kInputBufferSize] = {};

  ReaderState();
};

// The offset in the record stream of the next byte to be taken: 0 at the
// first record, whatever the volumes' headers.
inline std::uint64_t StreamOffset(const ReaderState& reader) {
  return reader.StreamRead - reader.InputCount;
}

int OpenPack(Context& context, const char* packPath, std::uint8_t* archiveBlock);
int OpenVolume(Context& context, std::uint16_t number);
// 0 when the next volume is open, -1 when there is none; raises the code of a
// volume that cannot be opened.
int OpenNextVolume(Context& context);
void ClosePackVolume(Context& context);
// Closes the volume and the list file.
void CloseReader(Context& context);

// The first byte of the next block of the stream; -1 at its end when
// `endAllowed`, else the end raises 35.
int RefillInput(Context& context, bool endAllowed);

// Takes one byte by the stream byte rule; the end of the stream raises 35.
inline std::uint8_t ReadInputByte(Context& context, ReaderState& reader) {
  if (reader.InputCount != 0) {
    --reader.InputCount;
    return *reader.InputPointer++;
  }
  return static_cast<std::uint8_t>(RefillInput(context, false));
}

// The data consumers' two ways of taking bytes: up to `count` of the unread
// bytes in InputBuffer (none when it is empty), or, after a refill, up to
// `count` of the new block. Each points `run` at the bytes taken and leaves
// the buffer right after them; the count taken is the result.
std::uint32_t TakeBufferedInput(ReaderState& reader, std::uint32_t count,
                                const std::uint8_t** run);
std::uint32_t TakeNextBlock(Context& context, std::uint32_t count, const std::uint8_t** run);

// Reads a run of the stream straight into `destination`, past InputBuffer,
// in one read: the bytes that successive refills would read, at most `size`
// of them and none beyond the open volume's size. They come back
// descrambled, the running CRC-32 (Context::RunningCrc) is carried over them
// in the same pass, for the stored copy that writes them as they are, and
// VolumePosition moves past them. Only while InputCount is
// 0. Returns their count; 0 at the end of the volume or when the read
// failed, and then the volume stands where it stood, so that RefillInput
// reads the same bytes block by block and reports whatever fails.
std::uint32_t ReadInputBlocks(Context& context, std::uint8_t* destination, std::uint32_t size);

bool ReadRecordTag(Context& context, std::uint8_t tag[4]);
// The value of a tag read by ReadRecordTag (little-endian), to compare with
// TAG_DIRECTORY, TAG_FILE and TAG_END_DIRECTORY.
inline std::uint32_t TagValue(const std::uint8_t tag[4]) {
  return static_cast<std::uint32_t>(tag[0]) | (static_cast<std::uint32_t>(tag[1]) << 8) |
         (static_cast<std::uint32_t>(tag[2]) << 16) | (static_cast<std::uint32_t>(tag[3]) << 24);
}
void ReadInputBytes(Context& context, void* destination, std::uint32_t count);
// Stores the bytes up to and including the NUL; more than `capacity` bytes
// raise 34.
void ReadInputString(Context& context, char* destination, std::uint32_t capacity);
void ReadEntryCommon(Context& context, EntryRecord& record);
void ReadDirectoryRecord(Context& context, EntryRecord& record);
// Where the contents of the directory whose record was just read end in the
// stream: its contents size counted from the end of the record. Skipping
// the directory lands there; walking into it must end there too
// (CheckContentsEnd), so that every reading of the stream takes the records
// that follow from the same byte.
inline std::uint64_t ContentsEnd(const ReaderState& reader, const EntryRecord& directory) {
  return StreamOffset(reader) + directory.size;
}
// Raises 34 unless the stream stands at `contentsEnd`, right after the end
// tag that closed the directory.
void CheckContentsEnd(Context& context, std::uint64_t contentsEnd);
void ReadFileRecord(Context& context, EntryRecord& record);
void ReadEntryNames(Context& context, EntryRecord& record);
void FreeEntryNames(EntryRecord& record);
// Passes over `count` bytes of the stream without reading them; data that
// ends before them raises 35, as reading them would.
void SkipInput(Context& context, std::uint64_t count);
void Descramble(ReaderState& reader, std::uint16_t position, std::uint16_t length,
                std::uint8_t* bytes);

}  // namespace molt
