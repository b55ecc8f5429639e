#include "file_preparation.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "compressor.h"

namespace moltpack {
namespace {

void CountRead(const PrepareContext& context, std::uint64_t bytes) {
  if (context.bytesRead != nullptr) *context.bytesRead += bytes;
}

void UncountRead(const PrepareContext& context, std::uint64_t bytes) {
  if (context.bytesRead != nullptr) *context.bytesRead -= bytes;
}

PreparedFile PrepareWhole(const SourceEntry& entry, const PrepareContext& context) {
  PreparedFile prepared;
  SourceFile source(entry.source, entry.size);
  std::string contents(static_cast<std::size_t>(entry.size), '\0');
  source.Read(contents.data(), contents.size());
  source.ExpectEnd();
  CountRead(context, entry.size);
  prepared.crc = UpdateCrc(0, contents.data(), contents.size());
  if (!entry.store && context.level != kStoreLevel) {
    if (std::optional<std::string> packed = DeflateWhole(contents, context.level)) {
      prepared.deflated = true;
      prepared.data = std::move(*packed);
    }
  }
  if (!prepared.deflated) prepared.data = std::move(contents);
  prepared.packedSize = prepared.data.size();
  return prepared;
}

// Compresses a large file into a spool, giving up (and storing the file) as
// soon as the compressed stream is as long as the contents.
PreparedFile PrepareSpooled(const SourceEntry& entry, const PrepareContext& context,
                            const std::atomic<bool>& stop) {
  SourceFile source(entry.source, entry.size);
  PreparedFile prepared;
  prepared.form = PreparedFile::Form::kSpooled;
  prepared.deflated = true;
  // The spool goes unless it is handed on; after it is closed.
  struct SpoolRemoval {
    const PrepareContext& context;
    const std::filesystem::path& path;
    bool keep = false;
    ~SpoolRemoval() {
      if (!keep && !path.empty()) context.spools.remove(path);
    }
  } removal{context, prepared.spool};
  std::unique_ptr<WritableFile> spool = context.spools.create(prepared.spool);
  bool gainsNothing = false;
  StreamDeflater deflater(context.level, [&](const char* data, std::size_t size) {
    prepared.packedSize += size;
    if (prepared.packedSize >= entry.size) gainsNothing = true;
    if (!gainsNothing) spool->Append(data, size);
  });
  std::string chunk(kReadChunk, '\0');
  std::uint64_t read = 0;
  while (read < entry.size && !gainsNothing && !stop) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), entry.size - read));
    source.Read(chunk.data(), piece);
    prepared.crc = UpdateCrc(prepared.crc, chunk.data(), piece);
    deflater.Feed(chunk.data(), piece);
    read += piece;
    CountRead(context, piece);
  }
  if (!gainsNothing && !stop) {
    source.ExpectEnd();
    deflater.Finish();
  }
  spool->Close();
  if (gainsNothing || stop) {
    UncountRead(context, read);  // read again when the file is stored
    PreparedFile stored;
    stored.form = PreparedFile::Form::kStreamStored;
    stored.packedSize = entry.size;
    return stored;
  }
  removal.keep = true;
  return prepared;
}

}  // namespace

std::uint32_t UpdateCrc(std::uint32_t crc, const char* data, std::size_t size) {
  uLong running = crc;
  while (size > 0) {
    const std::size_t piece = std::min<std::size_t>(size, std::numeric_limits<uInt>::max() / 2);
    running = crc32(running, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(piece));
    data += piece;
    size -= piece;
  }
  return static_cast<std::uint32_t>(running);
}

PreparedFile PrepareFile(const SourceEntry& entry, const PrepareContext& context, const std::atomic<bool>& stop) {
  if (entry.size <= kWholeFileLimit) return PrepareWhole(entry, context);
  if (entry.store || context.level == kStoreLevel) {
    PreparedFile stored;
    stored.form = PreparedFile::Form::kStreamStored;
    stored.packedSize = entry.size;
    return stored;
  }
  return PrepareSpooled(entry, context, stop);
}

}  // namespace moltpack
