// A file made ready for the record stream: read, checksummed and compressed
// where that saves bytes, on whichever thread; the stream writer then only
// copies it out in order.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "source_tree.h"
#include "system_files.h"

namespace moltpack {

// Files are read and streamed in pieces of this size.
inline constexpr std::size_t kReadChunk = 1 << 20;

// Temporary files where large files' compressed streams wait for their turn.
struct SpoolFiles {
  std::function<std::unique_ptr<WritableFile>(std::filesystem::path& path)> create;
  std::function<void(const std::filesystem::path& path)> remove;
};

struct PreparedFile {
  enum class Form {
    kInMemory,      // `data` holds the bytes that go into the stream
    kSpooled,       // the compressed stream waits in the file `spool`
    kStreamStored,  // stored, read from the source when its turn comes; CRC-32 not yet known
  };
  Form form = Form::kInMemory;
  bool deflated = false;
  std::uint32_t crc = 0;
  std::uint64_t packedSize = 0;
  std::string data;
  std::filesystem::path spool;
};

struct PrepareContext {
  int level = 0;
  SpoolFiles spools;
  // Bytes of source files read so far, by every thread, for the progress line.
  std::atomic<std::uint64_t>* bytesRead = nullptr;
};

// `stop` is set when the run is abandoned: a long compression stops early.
PreparedFile PrepareFile(const SourceEntry& entry, const PrepareContext& context, const std::atomic<bool>& stop);

// CRC-32 of the pack format, carried on over `size` bytes.
std::uint32_t UpdateCrc(std::uint32_t crc, const char* data, std::size_t size);

}  // namespace moltpack
