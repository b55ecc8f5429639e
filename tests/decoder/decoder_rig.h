// Runs the decoder on packed bytes served from memory through the reader's
// own buffer: the bytes lie scrambled in one or two in-memory volume files,
// are read back in chosen block sizes, and the output is captured in memory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "context.h"
#include "support/fault_platform.h"

namespace decoder_test {

using Bytes = std::vector<std::uint8_t>;
using molt::platform::FileHandle;

// The bytes that follow an entry's packed data: the reader must yield the
// first of them right after the decoder.
inline constexpr std::uint8_t kNextRecordByte = 0x5A;

// Volume files and an output file in memory, on top of the fault platform.
class MemoryPackPlatform : public testing_support::FaultPlatform {
 public:
  static constexpr FileHandle kMemoryOutput = 0x10000;

  // A volume file with these plain bytes, stored scrambled by file offset.
  // Each read returns at most the next size of `readSizes` (cycled; empty:
  // whatever is asked).
  void AddVolume(const std::string& name, const Bytes& plain, std::vector<std::uint32_t> readSizes);
  // Opens a volume as the reader would and stands at `offset` in it.
  FileHandle Open(const std::string& name, std::uint64_t offset);

  Bytes output;                           // what went to kMemoryOutput
  std::vector<std::uint32_t> writeSizes;  // one per write to kMemoryOutput
  int volumeReads = 0;
  int fileWrites = 0;  // writes to real files, failed ones included

  FileHandle OpenVolumeFile(const char* path) override;
  bool ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* done) override;
  bool GetFileSize(FileHandle file, std::uint64_t* size) override;
  bool SeekToStart(FileHandle file) override;
  bool SkipForward(FileHandle file, std::uint64_t count) override;
  void CloseFile(FileHandle file) override;
  bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                 std::uint32_t* done) override;

 private:
  struct Volume {
    Bytes stored;
    std::vector<std::uint32_t> readSizes;
    std::size_t nextRead = 0;
    std::uint64_t position = 0;
  };
  static constexpr FileHandle kFirstVolume = 0x20000;
  Volume* Find(FileHandle file);

  std::map<std::string, Volume> volumes_;
  std::map<FileHandle, std::string> open_;
  FileHandle nextHandle_ = kFirstVolume;
};

struct DecodeOptions {
  std::vector<std::uint32_t> readSizes;  // block sizes of the reads; empty: 8192
  std::uint32_t startOffset = 48;        // file offset of the first packed byte
  // When set, the packed bytes go on in a second volume after this many.
  std::int64_t secondVolumeAfter = -1;
  // When set, the packed size given to the decoder instead of the bytes' count.
  std::int64_t packedSize = -1;
};

struct DecodeOutcome {
  int error = 0;  // 0, or the code that left the decoder
  molt::BadData rejection = molt::BadData::None;
  Bytes output;
  std::uint32_t crc = 0;  // the running CRC-32 after the call
  std::vector<std::uint32_t> writeSizes;
  int nextByte = -1;  // the next byte the reader yields; -1 at the end of the pack
};

// One extractor whose decoder runs entry after entry, keeping its window.
class DecoderRig {
 public:
  DecoderRig();

  DecodeOutcome Decode(const Bytes& packed, std::uint32_t originalSize,
                       const DecodeOptions& options = {});
  // The same, writing to `outputHandle` through the platform (for write faults).
  DecodeOutcome DecodeTo(FileHandle outputHandle, const Bytes& packed, std::uint32_t originalSize,
                         const DecodeOptions& options = {});

  MemoryPackPlatform& platform() { return platform_; }
  molt::Context& context() { return *context_; }

 private:
  MemoryPackPlatform platform_;
  std::unique_ptr<molt::Context> context_;
  int entries_ = 0;
};

}  // namespace decoder_test
