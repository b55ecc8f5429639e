// A plain reading of a record stream, so tests and tools can check what a
// pack holds without going through the extractor.
#include "core/pack_format.h"

#include "byte_order.h"
#include "pack_writer.h"

namespace packwriter {
namespace {

class Cursor {
 public:
  explicit Cursor(const std::string& bytes) : bytes_(bytes) {}

  bool AtEnd() const { return at_ == bytes_.size(); }
  std::size_t Offset() const { return at_; }

  std::uint16_t U16() {
    Need(2);
    const std::uint16_t value = detail::GetU16(bytes_, at_);
    at_ += 2;
    return value;
  }

  std::uint32_t U32() {
    Need(4);
    const std::uint32_t value = detail::GetU32(bytes_, at_);
    at_ += 4;
    return value;
  }

  std::string Bytes(std::size_t count) {
    Need(count);
    std::string value = bytes_.substr(at_, count);
    at_ += count;
    return value;
  }

  std::string String() {
    const std::size_t nul = bytes_.find('\0', at_);
    if (nul == std::string::npos) Fail("name without its NUL");
    std::string value = bytes_.substr(at_, nul - at_);
    at_ = nul + 1;
    return value;
  }

  [[noreturn]] void Fail(const std::string& what) const {
    throw Error(what + " at stream offset " + std::to_string(at_));
  }

 private:
  void Need(std::size_t count) const {
    if (bytes_.size() - at_ < count) Fail("stream ends inside a record");
  }

  const std::string& bytes_;
  std::size_t at_ = 0;
};

void ReadCommonPart(Cursor& in, ListedRecord& record) {
  record.selectionMask = in.U32();
  record.flags = in.U16();
  record.attributes = in.U16();
  in.U16();  // reserved
  record.times.creationTime = in.U16();
  record.times.creationDate = in.U16();
  record.times.lastAccessDate = in.U16();
  record.times.lastWriteTime = in.U16();
  record.times.lastWriteDate = in.U16();
}

void ReadNames(Cursor& in, ListedRecord& record) {
  in.U16();  // short-name field
  record.shortName = in.String();
  if (record.flags & molt::ENTRY_LONG_NAME) {
    in.U16();  // long-name size
    record.longName = in.String();
  }
}

std::string PathOf(const std::vector<std::string>& openDirectories, const ListedRecord& record) {
  std::string path;
  for (const std::string& name : openDirectories) path += name + "/";
  return path + record.longName.value_or(record.shortName);
}

}  // namespace

std::vector<ListedRecord> ListRecords(const std::string& plainStream) {
  std::vector<ListedRecord> records;
  std::vector<std::string> openDirectories;
  Cursor in(plainStream);
  while (!in.AtEnd()) {
    const std::uint32_t tag = in.U32();
    if (tag == molt::TAG_END_DIRECTORY) {
      if (openDirectories.empty()) break;  // an end tag at the root ends the walk
      openDirectories.pop_back();
      continue;
    }
    if (tag != molt::TAG_FILE && tag != molt::TAG_DIRECTORY) in.Fail("unknown tag");
    ListedRecord record;
    record.kind = tag == molt::TAG_FILE ? Entry::Kind::kFile : Entry::Kind::kDirectory;
    ReadCommonPart(in, record);
    if (record.kind == Entry::Kind::kFile) {
      record.crc = in.U32();
      record.packedSize = in.U32();
    }
    record.size = in.U32();
    ReadNames(in, record);
    record.path = PathOf(openDirectories, record);
    if (record.kind == Entry::Kind::kFile) {
      record.packedData = in.Bytes(record.packedSize);
    } else {
      openDirectories.push_back(record.longName.value_or(record.shortName));
    }
    records.push_back(std::move(record));
  }
  if (!openDirectories.empty()) in.Fail("directory '" + openDirectories.back() + "' not closed");
  return records;
}

}  // namespace packwriter
