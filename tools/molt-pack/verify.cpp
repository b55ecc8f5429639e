#include "verify.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "context.h"
#include "discard_platform.h"
#include "errors.h"
#include "failure.h"
#include "output.h"
#include "reader.h"
#include "system_files.h"

namespace moltpack {
namespace {

namespace platform = molt::platform;

// The system's backend for reading the volumes, as the survey of a pack
// reads them; the extracted contents go to a comparison with the source file
// instead of to disk.
class ComparingPlatform final : public molt::DiscardPlatform {
 public:
  explicit ComparingPlatform(platform::Platform& real) : DiscardPlatform(real) {
    recordOutputs = false;  // memory stays the same whatever the tree
  }

  // The source that extracted bytes are compared with, and its path.
  SourceFile* source = nullptr;
  std::string sourcePath;
  std::uint64_t compared = 0;
  std::uint64_t expected = 0;

  bool WriteFile(platform::FileHandle file, const void* data, std::uint32_t size, std::uint32_t* done) override {
    if (file != kSinkHandle || source == nullptr) return DiscardPlatform::WriteFile(file, data, size, done);
    if (size > expected - compared) throw Failure(sourcePath, "the pack holds more bytes than the file");
    buffer_.resize(size);
    source->Read(buffer_.data(), size);
    const auto* bytes = static_cast<const char*>(data);
    const auto differs = std::mismatch(bytes, bytes + size, buffer_.data());
    if (differs.first != bytes + size) {
      throw Failure(sourcePath, "differs in the pack at byte " + std::to_string(compared + (differs.first - bytes)));
    }
    compared += size;
    *done = size;
    return true;
  }

 private:
  std::string buffer_;
};

class PackComparison {
 public:
  PackComparison(const std::string& packPath, const std::function<void(std::uint64_t)>& progress)
      : packPath_(packPath),
        sys_(platform::SystemPlatform()),
        context_(std::make_unique<molt::Context>(sys_)),
        progress_(progress) {}

  void Run(const std::vector<SourceEntry>& root) {
    std::uint8_t archiveBlock[molt::kArchiveBlockSize] = {};
    const int opened = molt::OpenPack(*context_, packPath_.c_str(), archiveBlock);
    if (opened != 0) throw Failure(packPath_, "cannot be read back: extractor error " + std::to_string(opened));
    try {
      CompareLevel(root);
      std::uint8_t tag[4];
      if (molt::ReadRecordTag(*context_, tag)) throw Failure(packPath_, "holds entries beyond the tree's");
    } catch (const molt::ErrorUnwind& error) {
      throw Failure(current_ != nullptr ? current_->source.string() : packPath_,
                    "reading it back from the pack fails with extractor error " + std::to_string(error.code));
    }
  }

 private:
  std::uint64_t StreamOffset() const { return molt::StreamOffset(context_->reader); }

  void Expect(bool holds, const SourceEntry& entry, const std::string& what) {
    if (!holds) throw Failure(entry.source.string(), "the pack's record differs: " + what);
  }

  void CompareRecord(const molt::EntryRecord& record, const SourceEntry& entry) {
    Expect(std::strcmp(record.shortName, entry.shortName.c_str()) == 0, entry, "short name");
    Expect(entry.longName ? record.longName && *entry.longName == record.longName.get() : !record.longName, entry,
           "long name");
    Expect(record.selectionMask == entry.selectionMask, entry, "selection mask");
    Expect(record.attributes == entry.attributes, entry, "attributes");
    Expect(record.creationTime == entry.times.creationTime && record.creationDate == entry.times.creationDate &&
               record.lastAccessDate == entry.times.lastAccessDate &&
               record.lastWriteTime == entry.times.lastWriteTime && record.lastWriteDate == entry.times.lastWriteDate,
           entry, "times");
  }

  void ReadTag(const SourceEntry& entry, std::uint32_t expected) {
    std::uint8_t tag[4];
    if (!molt::ReadRecordTag(*context_, tag)) throw Failure(entry.source.string(), "is missing from the pack");
    Expect(molt::TagValue(tag) == expected, entry, "kind of record");
  }

  void CompareLevel(const std::vector<SourceEntry>& level) {
    for (const SourceEntry& entry : level) {
      current_ = &entry;
      if (entry.kind == SourceEntry::Kind::kDirectory) {
        CompareDirectory(entry);
      } else {
        CompareFile(entry);
      }
    }
  }

  void CompareDirectory(const SourceEntry& entry) {
    ReadTag(entry, molt::TAG_DIRECTORY);
    molt::EntryRecord record;
    molt::ReadDirectoryRecord(*context_, record);
    CompareRecord(record, entry);
    Expect((record.flags & molt::ENTRY_DEFLATED) == 0, entry, "flags");
    const std::uint64_t contentsStart = StreamOffset();
    CompareLevel(entry.children);
    current_ = &entry;
    std::uint8_t tag[4];
    if (!molt::ReadRecordTag(*context_, tag) || molt::TagValue(tag) != molt::TAG_END_DIRECTORY) {
      throw Failure(entry.source.string(), "the folder in the pack does not end after its last entry");
    }
    Expect(StreamOffset() - contentsStart == record.size, entry, "contents size");
  }

  void CompareFile(const SourceEntry& entry) {
    ReadTag(entry, molt::TAG_FILE);
    molt::EntryRecord record;
    molt::ReadFileRecord(*context_, record);
    CompareRecord(record, entry);
    Expect(record.size == entry.size, entry, "size");
    Expect((record.flags & molt::ENTRY_DEFLATED) != 0 || record.packedSize == record.size, entry, "packed size");
    SourceFile source(entry.source, entry.size);
    sys_.source = &source;
    sys_.sourcePath = entry.source.string();
    sys_.compared = 0;
    sys_.expected = entry.size;
    const std::uint64_t dataStart = StreamOffset();
    molt::ExtractFileData(*context_, ComparingPlatform::kSinkHandle, record);
    sys_.source = nullptr;
    if (sys_.compared != entry.size) throw Failure(entry.source.string(), "the pack holds fewer bytes than the file");
    source.ExpectEnd();
    Expect(StreamOffset() - dataStart == record.packedSize, entry, "packed size");
    done_ += entry.size;
    if (progress_) progress_(done_);
  }

  std::string packPath_;
  ComparingPlatform sys_;
  std::unique_ptr<molt::Context> context_;
  const std::function<void(std::uint64_t)>& progress_;
  const SourceEntry* current_ = nullptr;
  std::uint64_t done_ = 0;
};

}  // namespace

void VerifyPack(const std::string& packPath, const std::vector<SourceEntry>& root,
                const std::function<void(std::uint64_t)>& progress) {
  PackComparison comparison(packPath, progress);
  comparison.Run(root);
}

}  // namespace moltpack
