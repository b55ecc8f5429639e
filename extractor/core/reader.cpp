#include "reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "context.h"
#include "descramble.h"
#include "errors.h"
#include "volume_name.h"

namespace molt {
namespace {

std::uint16_t Read16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// Reads exactly `size` bytes straight from the open volume, past the input
// buffer; false on a failed or short read.
bool ReadVolumeBytes(Context& context, std::uint8_t* destination, std::uint32_t size) {
  ReaderState& reader = context.reader;
  while (size > 0) {
    std::uint32_t done = 0;
    if (!context.sys.ReadFile(reader.VolumeHandle, destination, size, &done) || done == 0) {
      return false;
    }
    destination += done;
    size -= done;
  }
  return true;
}

// Descrambles bytes that were read at VolumePosition and moves past them.
void TakeVolumeBytes(ReaderState& reader, std::uint8_t* bytes, std::uint16_t length) {
  Descramble(reader, static_cast<std::uint16_t>(reader.VolumePosition), length, bytes);
  reader.VolumePosition += length;
}

int CloseVolumeWith(Context& context, int code) {
  ClosePackVolume(context);
  return code;
}

constexpr int kEndOfText = 0x1A;  // Ctrl-Z

// The next character of the list file as a text-mode read gives it on
// Windows, on every system alike: CR LF is one line feed (a CR before
// anything else stays), and Ctrl-Z ends the text for good.
int ReadListCharacter(std::FILE* list) {
  const int c = std::getc(list);
  if (c == kEndOfText) {
    std::fseek(list, 0, SEEK_END);
    return EOF;
  }
  if (c != '\r') return c;
  const int next = std::getc(list);
  if (next == '\n') return '\n';
  if (next != EOF) std::ungetc(next, list);
  return c;
}

// Puts the next line of the list file into `name`, without its line feed.
// 36 when no line is left (the list file is then closed) or when the line
// does not fit the buffer, which no volume path would.
int ReadListLine(ReaderState& reader, char* name) {
  std::FILE* list = reader.ListFile.get();
  int c = ReadListCharacter(list);
  if (c == EOF) {
    reader.ListFile.reset();
    return ERR_CANNOT_RESTORE;
  }
  std::uint32_t length = 0;
  for (; c != EOF && c != '\n'; c = ReadListCharacter(list)) {
    if (length == kInputBufferSize - 1) return ERR_CANNOT_RESTORE;
    name[length++] = static_cast<char>(c);
  }
  name[length] = '\0';
  return 0;
}

// Puts the path of volume `number` into InputBuffer: the next line of the
// list file, or the path format filled in with the number.
int NameVolume(Context& context, std::uint16_t number) {
  ReaderState& reader = context.reader;
  char* name = reinterpret_cast<char*>(reader.InputBuffer);
  if (reader.ListFile) return ReadListLine(reader, name);
  return FormatVolumeName(reader.PackPathFormat, number, name,
                          std::min<std::size_t>(kInputBufferSize, context.sys.MaxPath()))
             ? 0
             : ERR_INPUT_OPEN;
}

// Checks the header of the volume asked for as `number` (0 for the first).
int CheckVolumeHeader(const std::uint8_t* header, std::uint16_t number) {
  if (std::memcmp(header + kHeaderSignature, kSignature, sizeof kSignature) != 0) {
    return ERR_SIGNATURE;
  }
  if (Read16(header + kHeaderVersion) > kMaxPackVersion) return ERR_PACK_VERSION;
  const std::uint16_t fileNumber = Read16(header + kHeaderFileNumber);
  const std::uint16_t expected = number == 0 ? 1 : number;
  if (fileNumber != 0) {
    if ((fileNumber & FILE_NUMBER_MASK) != expected) return ERR_FILE_NUMBER;
  } else if (number > 1) {
    return ERR_CANNOT_RESTORE;  // a single-volume pack where a later volume belongs
  }
  return 0;
}

// Hands out what a data consumer still holds before the reader raises.
void FlushPendingOutput(Context& context) {
  ReaderState& reader = context.reader;
  if (reader.FlushPendingOutput == nullptr) return;
  const auto flush = reader.FlushPendingOutput;
  reader.FlushPendingOutput = nullptr;
  flush(context);
}

[[noreturn]] void RaiseReaderError(Context& context, int code) {
  FlushPendingOutput(context);
  RaiseError(code);
}

// A read of the stream failed with `error`: the system's text in a box when
// the caller asked for boxes, then 32.
[[noreturn]] void RaiseReadFailure(Context& context, std::uint32_t error) {
  FlushPendingOutput(context);
  if (context.ShowErrors) {
    const std::string text = context.sys.SystemErrorText(error);
    context.sys.ShowMessageBox(text.c_str(), "Error", platform::BoxIcon::Information);
  }
  RaiseError(ERR_INPUT_READ);
}

}  // namespace

ReaderState::ReaderState() {
  std::memcpy(ScrambleKey, kMaskedScrambleKey.data(), kScrambleKeySize);
}

int OpenPack(Context& context, const char* packPath, std::uint8_t* archiveBlock) {
  ReaderState& reader = context.reader;
  reader.InputCount = 0;
  reader.StreamRead = 0;
  if (packPath == nullptr) return ERR_INPUT_OPEN;
  if (packPath[0] == '@') {
    // Read as bytes everywhere; ReadListCharacter gives the text-mode reading.
    reader.ListFile.reset(std::fopen(packPath + 1, "rb"));
    if (!reader.ListFile) return ERR_INPUT_OPEN;
  } else {
    reader.PackPathFormat = packPath;
  }
  if (const int code = OpenVolume(context, 0); code != 0) return code;
  if (!ReadVolumeBytes(context, archiveBlock, kArchiveBlockSize)) {
    return CloseVolumeWith(context, ERR_HEADER_READ);
  }
  TakeVolumeBytes(reader, archiveBlock, kArchiveBlockSize);
  return 0;
}

int OpenVolume(Context& context, std::uint16_t number) {
  ReaderState& reader = context.reader;
  const std::uint16_t wanted = number == 0 ? 1 : number;
  if (const int code = NameVolume(context, wanted); code != 0) return code;

  reader.VolumeHandle = context.sys.OpenVolumeFile(reinterpret_cast<char*>(reader.InputBuffer));
  if (reader.VolumeHandle == platform::kInvalidFile) return ERR_INPUT_OPEN;
  // A volume's size is a 32-bit quantity of the format: a file of 4 GiB or
  // more is no volume, and its size cut to the low 32 bits would send the
  // reader's skips and volume changes to the wrong places.
  std::uint64_t volumeSize = 0;
  if (!context.sys.GetFileSize(reader.VolumeHandle, &volumeSize) || volumeSize > 0xFFFFFFFF) {
    return CloseVolumeWith(context, ERR_INPUT_SIZE);
  }
  reader.VolumeSize = static_cast<std::uint32_t>(volumeSize);
  if (!context.sys.SeekToStart(reader.VolumeHandle)) {
    return CloseVolumeWith(context, ERR_INPUT_POINTER);
  }
  reader.VolumePosition = 0;

  std::uint8_t header[kVolumeHeaderSize];
  if (!ReadVolumeBytes(context, header, kVolumeHeaderSize)) {
    return CloseVolumeWith(context, ERR_CANNOT_RESTORE);
  }
  TakeVolumeBytes(reader, header, kVolumeHeaderSize);
  if (const int code = CheckVolumeHeader(header, number); code != 0) {
    return CloseVolumeWith(context, code);
  }
  if ((Read16(header + kHeaderFileNumber) & FILE_NUMBER_MASK) == 1) {
    if (!ReadVolumeBytes(context, reader.SetBlock, kSetBlockSize)) {
      return CloseVolumeWith(context, ERR_CANNOT_RESTORE);
    }
    TakeVolumeBytes(reader, reader.SetBlock, kSetBlockSize);
  }
  std::memcpy(reader.VolumeHeader, header, kVolumeHeaderSize);
  return 0;
}

int OpenNextVolume(Context& context) {
  const std::uint16_t fileNumber = Read16(context.reader.VolumeHeader + kHeaderFileNumber);
  if (fileNumber == 0 || (fileNumber & FILE_NUMBER_LAST) != 0) return -1;
  ClosePackVolume(context);
  if (const int code = OpenVolume(context, static_cast<std::uint16_t>(fileNumber + 1)); code != 0) {
    RaiseReaderError(context, code);
  }
  return 0;
}

void ClosePackVolume(Context& context) {
  ReaderState& reader = context.reader;
  if (reader.VolumeHandle != platform::kInvalidFile) {
    context.sys.CloseFile(reader.VolumeHandle);
    reader.VolumeHandle = platform::kInvalidFile;
  }
}

void CloseReader(Context& context) {
  ClosePackVolume(context);
  context.reader.ListFile.reset();
}

int RefillInput(Context& context, bool endAllowed) {
  ReaderState& reader = context.reader;
  for (;;) {
    std::uint32_t done = 0;
    if (!context.sys.ReadFile(reader.VolumeHandle, reader.InputBuffer, kInputBufferSize, &done)) {
      RaiseReadFailure(context, context.sys.LastError());
    }
    if (done > 0) {
      const auto length = static_cast<std::uint16_t>(done);
      TakeVolumeBytes(reader, reader.InputBuffer, length);
      reader.StreamRead += length;
      reader.InputPointer = reader.InputBuffer + 1;
      reader.InputCount = static_cast<std::uint16_t>(length - 1);
      return reader.InputBuffer[0];
    }
    reader.InputCount = 0;
    if (OpenNextVolume(context) != 0) {
      if (endAllowed) return -1;
      RaiseReaderError(context, ERR_INPUT_EOF);
    }
  }
}

std::uint32_t TakeBufferedInput(ReaderState& reader, std::uint32_t count,
                                const std::uint8_t** run) {
  const std::uint32_t length = std::min<std::uint32_t>(reader.InputCount, count);
  *run = reader.InputPointer;
  reader.InputPointer += length;
  reader.InputCount = static_cast<std::uint16_t>(reader.InputCount - length);
  return length;
}

std::uint32_t TakeNextBlock(Context& context, std::uint32_t count, const std::uint8_t** run) {
  ReaderState& reader = context.reader;
  RefillInput(context, false);
  const std::uint32_t blockLength = reader.InputCount + 1u;
  const std::uint32_t length = std::min(blockLength, count);
  *run = reader.InputBuffer;
  reader.InputPointer = reader.InputBuffer + length;
  reader.InputCount = static_cast<std::uint16_t>(blockLength - length);
  return length;
}

std::uint32_t ReadInputBlocks(Context& context, std::uint8_t* destination, std::uint32_t size) {
  ReaderState& reader = context.reader;
  const std::uint64_t left =
      reader.VolumeSize > reader.VolumePosition ? reader.VolumeSize - reader.VolumePosition : 0;
  size = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, left));
  if (size == 0) return 0;
  std::uint32_t done = 0;
  if (!context.sys.ReadFile(reader.VolumeHandle, destination, size, &done)) {
    // Some block of the run cannot be read, and where the file stands now
    // is not known. The refills read the run again block by block from
    // where it began, so that every block before the bad one is taken and
    // the bad one fails as it always did.
    const std::uint32_t error = context.sys.LastError();
    if (!context.sys.SeekToStart(reader.VolumeHandle) ||
        (reader.VolumePosition > 0 &&
         !context.sys.SkipForward(reader.VolumeHandle, reader.VolumePosition))) {
      RaiseReadFailure(context, error);
    }
    return 0;
  }
  // A read may come back short (the file changed size under us): its bytes
  // are the stream's all the same, and the refills go on from its end.
  done = std::min(done, size);
  context.RunningCrc = DescrambleAndCrc(ReadyScrambleKey(reader), reader.VolumePosition, destination,
                                        destination, done, context.RunningCrc);
  reader.VolumePosition += done;
  reader.StreamRead += done;
  return done;
}

bool ReadRecordTag(Context& context, std::uint8_t tag[4]) {
  ReaderState& reader = context.reader;
  if (reader.InputCount != 0) {
    --reader.InputCount;
    tag[0] = *reader.InputPointer++;
  } else {
    const int first = RefillInput(context, true);
    if (first < 0) return false;
    tag[0] = static_cast<std::uint8_t>(first);
  }
  for (int i = 1; i < 4; ++i) tag[i] = ReadInputByte(context, reader);
  return true;
}

void ReadInputBytes(Context& context, void* destination, std::uint32_t count) {
  auto* bytes = static_cast<std::uint8_t*>(destination);
  for (std::uint32_t i = 0; i < count; ++i) bytes[i] = ReadInputByte(context, context.reader);
}

void ReadInputString(Context& context, char* destination, std::uint32_t capacity) {
  for (std::uint32_t i = 0; i < capacity; ++i) {
    destination[i] = static_cast<char>(ReadInputByte(context, context.reader));
    if (destination[i] == '\0') return;
  }
  RaiseError(ERR_INPUT_FORMAT);  // a name longer than its storage
}

namespace {

std::uint16_t ReadField16(Context& context) {
  std::uint8_t bytes[2];
  ReadInputBytes(context, bytes, 2);
  return Read16(bytes);
}

std::uint32_t ReadField32(Context& context) {
  std::uint8_t bytes[4];
  ReadInputBytes(context, bytes, 4);
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

}  // namespace

void ReadEntryCommon(Context& context, EntryRecord& record) {
  record.selectionMask = ReadField32(context);
  record.flags = ReadField16(context);
  record.attributes = ReadField16(context);
  record.reserved = ReadField16(context);
  record.creationTime = ReadField16(context);
  record.creationDate = ReadField16(context);
  record.lastAccessDate = ReadField16(context);
  record.lastWriteTime = ReadField16(context);
  record.lastWriteDate = ReadField16(context);
}

void ReadDirectoryRecord(Context& context, EntryRecord& record) {
  ReadEntryCommon(context, record);
  record.size = ReadField32(context);
  ReadEntryNames(context, record);
}

void ReadFileRecord(Context& context, EntryRecord& record) {
  ReadEntryCommon(context, record);
  record.crc32 = ReadField32(context);
  record.packedSize = ReadField32(context);
  record.size = ReadField32(context);
  ReadEntryNames(context, record);
}

void CheckContentsEnd(Context& context, std::uint64_t contentsEnd) {
  if (StreamOffset(context.reader) != contentsEnd) RaiseError(ERR_INPUT_FORMAT);
}

void ReadEntryNames(Context& context, EntryRecord& record) {
  ReadField16(context);  // the short-name field is not used
  ReadInputString(context, record.shortName, kShortNameCapacity);
  record.longName.reset();
  if ((record.flags & ENTRY_LONG_NAME) == 0) return;
  const std::uint16_t size = ReadField16(context);
  if (size == 0) RaiseError(ERR_INPUT_FORMAT);  // no room even for the NUL
  record.longName.reset(new (std::nothrow) char[size]);
  if (!record.longName) RaiseError(ERR_MEMORY);
  ReadInputString(context, record.longName.get(), size);
}

void FreeEntryNames(EntryRecord& record) { record.longName.reset(); }

void SkipInput(Context& context, std::uint64_t count) {
  ReaderState& reader = context.reader;
  if (reader.InputCount >= count) {
    reader.InputPointer += count;
    reader.InputCount = static_cast<std::uint16_t>(reader.InputCount - count);
    return;
  }
  count -= reader.InputCount;
  reader.InputCount = 0;
  // Whole volumes that the skip passes are never read: the next one is opened
  // and the count lowered by what was left of the one before. Data that the
  // last volume's end cuts short is a cut pack, as it is when it is read.
  for (;;) {
    const std::uint64_t room =
        reader.VolumeSize > reader.VolumePosition ? reader.VolumeSize - reader.VolumePosition : 0;
    if (count <= room) break;
    if (OpenNextVolume(context) != 0) RaiseReaderError(context, ERR_INPUT_EOF);
    count -= room;
    reader.StreamRead += room;
  }
  if (count == 0) return;
  if (!context.sys.SkipForward(reader.VolumeHandle, count)) RaiseError(ERR_INPUT_SEEK);
  reader.VolumePosition += count;
  reader.StreamRead += count;
}

void Descramble(ReaderState& reader, std::uint16_t position, std::uint16_t length,
                std::uint8_t* bytes) {
  DescrambleSpan(ReadyScrambleKey(reader), position, bytes, length);
}

}  // namespace molt
