// Builds the plain record stream from a tree of entries. Every size, CRC and
// flag is computed from the description unless the entry overrides it, so a
// test states only what it wants wrong.
#include <algorithm>

#include "core/pack_format.h"

#include "byte_order.h"
#include "pack_writer.h"
#include "record_head.h"

namespace packwriter {
namespace {

using detail::PatchU32;
using detail::PutRecordHead;
using detail::PutU16;
using detail::PutU32;

std::uint16_t FlagsOf(const Entry& entry) {
  if (entry.flags) return *entry.flags;
  std::uint16_t flags = entry.extraFlags;
  if (entry.longName) flags |= molt::ENTRY_LONG_NAME;
  const bool deflated = entry.kind == Entry::Kind::kFile &&
                        (entry.mode == DataMode::kDeflate ||
                         (entry.mode == DataMode::kSupplied && entry.suppliedDeflated));
  if (deflated) flags |= molt::ENTRY_DEFLATED;
  return flags;
}

void PutCommonPart(std::string& out, std::uint32_t tag, const Entry& entry) {
  PutRecordHead(out, tag, entry.selectionMask, FlagsOf(entry), entry.attributes, entry.reserved,
                entry.times);
}

// Written whatever the flags say: a test that clears ENTRY_LONG_NAME by a
// flags override still gets the bytes it described.
void PutNames(std::string& out, const Entry& entry) {
  PutU16(out, entry.shortNameField);
  out += entry.shortName;
  out.push_back('\0');
  if (!entry.longName) return;
  // The default is what the name needs as a C string: a test may embed a NUL.
  const std::size_t length = std::min(entry.longName->find('\0'), entry.longName->size());
  PutU16(out, entry.longNameSize.value_or(static_cast<std::uint16_t>(length + 1)));
  out += *entry.longName;
  out.push_back('\0');
}

std::string PackedDataOf(const Entry& entry) {
  switch (entry.mode) {
    case DataMode::kStored:
      return entry.data;
    case DataMode::kDeflate:
      return DeflateRaw(entry.data, entry.level, entry.strategy);
    case DataMode::kSupplied:
      return entry.packedData;
  }
  throw Error("unknown data mode");
}

std::string JoinPath(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

void AppendItems(Stream& stream, const std::vector<Entry>& items, const std::string& parent);

void AppendFile(Stream& stream, const Entry& entry, RecordSpan& span) {
  const std::string packed = PackedDataOf(entry);
  std::string& out = stream.bytes;
  PutCommonPart(out, molt::TAG_FILE, entry);
  PutU32(out, entry.crc.value_or(Crc32(entry.data)));
  PutU32(out, entry.packedSize.value_or(static_cast<std::uint32_t>(packed.size())));
  PutU32(out, entry.originalSize.value_or(static_cast<std::uint32_t>(entry.data.size())));
  PutNames(out, entry);
  span.namesEnd = out.size();
  out += packed;
}

void AppendDirectory(Stream& stream, std::size_t spanIndex, const Entry& entry) {
  std::string& out = stream.bytes;
  PutCommonPart(out, molt::TAG_DIRECTORY, entry);
  const std::size_t sizeField = out.size();
  PutU32(out, 0);  // patched below, once the contents are written
  PutNames(out, entry);
  const std::size_t contentsStart = out.size();
  stream.records[spanIndex].namesEnd = contentsStart;
  const std::string path = stream.records[spanIndex].path;  // a copy: records grows below
  AppendItems(stream, entry.children, path);
  if (entry.endTag) PutU32(stream.bytes, molt::TAG_END_DIRECTORY);
  const auto computed = static_cast<std::uint32_t>(stream.bytes.size() - contentsStart);
  PatchU32(stream.bytes, sizeField, entry.contentsSize.value_or(computed));
}

void AppendItem(Stream& stream, const Entry& entry, const std::string& parent) {
  // Spans are referred to by index: the vector grows while children are added.
  const std::size_t index = stream.records.size();
  RecordSpan span;
  span.kind = entry.kind;
  span.start = stream.bytes.size();
  if (entry.kind != Entry::Kind::kRaw) span.path = JoinPath(parent, entry.shortName);
  stream.records.push_back(span);
  switch (entry.kind) {
    case Entry::Kind::kRaw:
      stream.bytes += entry.raw;
      stream.records[index].namesEnd = stream.bytes.size();
      break;
    case Entry::Kind::kFile:
      AppendFile(stream, entry, stream.records[index]);
      break;
    case Entry::Kind::kDirectory:
      AppendDirectory(stream, index, entry);
      break;
  }
  stream.records[index].end = stream.bytes.size();
}

void AppendItems(Stream& stream, const std::vector<Entry>& items, const std::string& parent) {
  for (const Entry& item : items) AppendItem(stream, item, parent);
}

}  // namespace

Stream BuildStream(const std::vector<Entry>& root) {
  Stream stream;
  AppendItems(stream, root, "");
  return stream;
}

}  // namespace packwriter
