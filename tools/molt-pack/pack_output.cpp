#include "pack_output.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "core/pack_format.h"
#include "failure.h"
#include "file_pipeline.h"
#include "record_head.h"

namespace moltpack {
namespace {

// Offsets of the fields filled in after their record was written.
constexpr std::uint64_t kContentsSizeField = 24;
constexpr std::uint64_t kCrcField = 24;

using packwriter::detail::PutRecordHead;
using packwriter::detail::PutU16;
using packwriter::detail::PutU32;

std::string U32Bytes(std::uint32_t value) {
  std::string bytes;
  PutU32(bytes, value);
  return bytes;
}

// Names the extractor would refuse are never written: the scan gives
// checked names, and this guards the format's own limits.
void CheckNames(const SourceEntry& entry) {
  const std::string& shortName = entry.shortName;
  if (shortName.empty() || shortName.size() >= molt::kShortNameCapacity ||
      shortName.find('\0') != std::string::npos) {
    throw Failure(entry.source.string(), "short name '" + shortName + "' does not fit a record");
  }
  if (entry.longName && (entry.longName->empty() || entry.longName->size() >= 0xFFFF ||
                         entry.longName->find('\0') != std::string::npos)) {
    throw Failure(entry.source.string(), "long name does not fit a record");
  }
}

void PutCommonPart(std::string& out, std::uint32_t tag, const SourceEntry& entry, bool deflated) {
  std::uint16_t flags = 0;
  if (entry.longName) flags |= molt::ENTRY_LONG_NAME;
  if (deflated) flags |= molt::ENTRY_DEFLATED;
  PutRecordHead(out, tag, entry.selectionMask, flags, entry.attributes, 0, entry.times);
}

void PutNames(std::string& out, const SourceEntry& entry) {
  PutU16(out, 0);  // the short-name field, unused
  out += entry.shortName;
  out.push_back('\0');
  if (!entry.longName) return;
  PutU16(out, static_cast<std::uint16_t>(entry.longName->size() + 1));
  out += *entry.longName;
  out.push_back('\0');
}

void CollectFiles(const std::vector<SourceEntry>& level, std::vector<const SourceEntry*>& files,
                  std::uint64_t sizeLimit) {
  for (const SourceEntry& entry : level) {
    CheckNames(entry);
    if (entry.kind == SourceEntry::Kind::kDirectory) {
      CollectFiles(entry.children, files, sizeLimit);
    } else {
      if (entry.size > sizeLimit) {
        throw Failure(entry.source.string(), "is 4 GiB or larger; a pack holds files of at most 4 GiB - 1 bytes");
      }
      files.push_back(&entry);
    }
  }
}

class StreamWriter {
 public:
  StreamWriter(VolumeSink& sink, FilePipeline& files, const OutputOptions& options,
               std::atomic<std::uint64_t>& bytesRead)
      : sink_(sink), files_(files), options_(options), bytesRead_(bytesRead) {}

  void WriteLevel(const std::vector<SourceEntry>& level) {
    for (const SourceEntry& entry : level) {
      if (entry.kind == SourceEntry::Kind::kDirectory) {
        WriteDirectory(entry);
      } else {
        WriteFile(entry, files_.Next([this] { Report(); }));
        Report();
      }
    }
  }

 private:
  void WriteDirectory(const SourceEntry& entry) {
    record_.clear();
    PutCommonPart(record_, molt::TAG_DIRECTORY, entry, false);
    PutU32(record_, 0);  // the contents size, known at the end
    PutNames(record_, entry);
    const std::uint64_t recordStart = sink_.Position();
    sink_.Write(record_.data(), record_.size());
    const std::uint64_t contentsStart = sink_.Position();
    WriteLevel(entry.children);
    const std::string endTag = U32Bytes(molt::TAG_END_DIRECTORY);
    sink_.Write(endTag.data(), endTag.size());
    const std::uint64_t contentsSize = sink_.Position() - contentsStart;
    if (contentsSize > options_.sizeFieldLimit) {
      throw Failure(entry.source.string(), "its contents take " + std::to_string(contentsSize) +
                                               " bytes in the pack, more than a folder record can count "
                                               "(4 GiB - 1): split them over several folders");
    }
    sink_.Patch(recordStart + kContentsSizeField, U32Bytes(static_cast<std::uint32_t>(contentsSize)).data(), 4);
  }

  void WriteFile(const SourceEntry& entry, PreparedFile prepared) {
    record_.clear();
    PutCommonPart(record_, molt::TAG_FILE, entry, prepared.deflated);
    PutU32(record_, prepared.crc);
    PutU32(record_, static_cast<std::uint32_t>(prepared.packedSize));
    PutU32(record_, static_cast<std::uint32_t>(entry.size));
    PutNames(record_, entry);
    const std::uint64_t recordStart = sink_.Position();
    sink_.Write(record_.data(), record_.size());
    switch (prepared.form) {
      case PreparedFile::Form::kInMemory:
        sink_.Write(prepared.data.data(), prepared.data.size());
        break;
      case PreparedFile::Form::kSpooled:
        CopySpool(prepared);
        break;
      case PreparedFile::Form::kStreamStored: {
        const std::uint32_t crc = StreamStored(entry);
        sink_.Patch(recordStart + kCrcField, U32Bytes(crc).data(), 4);
        break;
      }
    }
  }

  void CopySpool(const PreparedFile& prepared) {
    {
      SourceFile spool(prepared.spool, prepared.packedSize);
      Copy(spool, prepared.packedSize, nullptr);
    }
    options_.spools.remove(prepared.spool);
  }

  std::uint32_t StreamStored(const SourceEntry& entry) {
    SourceFile source(entry.source, entry.size);
    std::uint32_t crc = 0;
    Copy(source, entry.size, &crc);
    source.ExpectEnd();
    return crc;
  }

  // Copies `size` bytes from `from` into the stream; carries the CRC-32 and
  // counts the bytes as read contents when `crc` is given.
  void Copy(SourceFile& from, std::uint64_t size, std::uint32_t* crc) {
    chunk_.resize(kReadChunk);
    for (std::uint64_t done = 0; done < size;) {
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(chunk_.size(), size - done));
      from.Read(chunk_.data(), piece);
      sink_.Write(chunk_.data(), piece);
      done += piece;
      if (crc != nullptr) {
        *crc = UpdateCrc(*crc, chunk_.data(), piece);
        bytesRead_ += piece;
        Report();
      }
    }
  }

  void Report() {
    if (options_.progress) options_.progress(bytesRead_.load());
  }

  VolumeSink& sink_;
  FilePipeline& files_;
  const OutputOptions& options_;
  std::atomic<std::uint64_t>& bytesRead_;
  std::string record_;
  std::string chunk_;
};

}  // namespace

std::uint64_t ContentBytes(const std::vector<SourceEntry>& root) {
  std::uint64_t total = 0;
  for (const SourceEntry& entry : root) {
    total += entry.kind == SourceEntry::Kind::kDirectory ? ContentBytes(entry.children) : entry.size;
  }
  return total;
}

void WritePackStream(const std::vector<SourceEntry>& root, VolumeSink& sink, const OutputOptions& options) {
  std::vector<const SourceEntry*> files;
  CollectFiles(root, files, options.sizeFieldLimit);
  std::atomic<std::uint64_t> bytesRead{0};
  PrepareContext context;
  context.level = options.level;
  context.spools = options.spools;
  context.bytesRead = &bytesRead;
  FilePipeline pipeline(
      std::move(files),
      [&context](const SourceEntry& entry, const std::atomic<bool>& stop) { return PrepareFile(entry, context, stop); },
      options.jobs);
  StreamWriter writer(sink, pipeline, options, bytesRead);
  writer.WriteLevel(root);
}

}  // namespace moltpack
