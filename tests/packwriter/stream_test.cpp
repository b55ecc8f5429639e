// The record stream: computed fields, overrides for hostile streams, raw
// bytes, and the plain lister.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "bytes_at.h"
#include "pack_writer.h"

namespace {

using packwriter::BuildStream;
using packwriter::Entry;

// Offsets inside a file record, from its tag.
constexpr std::size_t kFlags = 8;
constexpr std::size_t kCrc = 24;
constexpr std::size_t kPackedSize = 28;
constexpr std::size_t kOriginalSize = 32;
constexpr std::size_t kFileNames = 36;
// Inside a directory record.
constexpr std::size_t kContentsSize = 24;

std::string Text(std::size_t size) {
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i % 97) + " of the text\n";
  text.resize(size);
  return text;
}

std::string ZlibInflate(const std::string& packed, std::size_t size) {
  z_stream zs{};
  EXPECT_EQ(inflateInit2(&zs, -15), Z_OK);
  std::string out(size + 1, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  zs.avail_in = static_cast<uInt>(packed.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(zs.avail_in, 0u) << "bytes after the end of the DEFLATE stream";
  out.resize(zs.total_out);
  inflateEnd(&zs);
  return out;
}

struct DeflateCase {
  int level;
  int strategy;
  std::size_t size;
};

class DeflatedEntry : public testing::TestWithParam<DeflateCase> {};

TEST_P(DeflatedEntry, DecompressesToItsDataWithMatchingFields) {
  const DeflateCase c = GetParam();
  const std::string data = Text(c.size);
  const packwriter::Stream stream = BuildStream({packwriter::DeflatedFile("D.BIN", data, c.level, c.strategy)});
  const std::string& s = stream.bytes;
  const packwriter::RecordSpan& span = stream.records.at(0);

  EXPECT_EQ(U16At(s, kFlags), molt::ENTRY_DEFLATED);
  EXPECT_EQ(U32At(s, kCrc), crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  EXPECT_EQ(U32At(s, kPackedSize), span.end - span.namesEnd);
  EXPECT_EQ(U32At(s, kOriginalSize), data.size());
  EXPECT_EQ(span.end, s.size());
  EXPECT_EQ(ZlibInflate(s.substr(span.namesEnd), data.size()), data);
}

INSTANTIATE_TEST_SUITE_P(LevelsAndStrategies, DeflatedEntry,
                         testing::Values(DeflateCase{0, Z_DEFAULT_STRATEGY, 70000},  // stored blocks
                                         DeflateCase{1, Z_DEFAULT_STRATEGY, 5000},
                                         DeflateCase{9, Z_DEFAULT_STRATEGY, 100000},
                                         DeflateCase{6, Z_FIXED, 3000},
                                         DeflateCase{6, Z_HUFFMAN_ONLY, 3000},
                                         DeflateCase{6, Z_DEFAULT_STRATEGY, 0}));

TEST(Stream, DirectoryContentsSizeCoversTheSubtreeUpToItsEndTag) {
  const packwriter::Stream stream = BuildStream({packwriter::Directory(
      "OUTER", {packwriter::Directory("INNER", {packwriter::File("F.TXT", "abc"), packwriter::Raw("xyz")}),
                packwriter::Directory("EMPTY")})});
  ASSERT_EQ(stream.records.size(), 5u);
  for (const packwriter::RecordSpan& span : stream.records) {
    if (span.kind != Entry::Kind::kDirectory) continue;
    EXPECT_EQ(U32At(stream.bytes, span.start + kContentsSize), span.end - span.namesEnd) << span.path;
    EXPECT_EQ(U32At(stream.bytes, span.end - 4), molt::TAG_END_DIRECTORY) << span.path;
  }
  EXPECT_EQ(stream.records[4].path, "OUTER/EMPTY");
  EXPECT_EQ(U32At(stream.bytes, stream.records[4].start + kContentsSize), 4u);
  EXPECT_EQ(stream.records[3].kind, Entry::Kind::kRaw);
  EXPECT_EQ(stream.bytes.substr(stream.records[3].start, 3), "xyz");
  EXPECT_EQ(stream.records[0].end, stream.bytes.size());
}

TEST(Stream, DirectoryWithoutEndTag) {
  Entry directory = packwriter::Directory("OPEN", {packwriter::File("F", "1")});
  directory.endTag = false;
  const packwriter::Stream stream = BuildStream({directory});
  const packwriter::RecordSpan& span = stream.records.at(0);
  EXPECT_EQ(span.end, stream.records.at(1).end);
  EXPECT_EQ(U32At(stream.bytes, kContentsSize), span.end - span.namesEnd);
  EXPECT_EQ(stream.bytes.find("Dir "), std::string::npos);
}

// Each override lands in its own field and nowhere else.
struct OverrideCase {
  const char* name;
  Entry::Kind kind;
  std::function<void(Entry&)> apply;
  std::size_t offset;
  int width;  // 2 or 4 bytes
  std::uint32_t expected;
};

class FieldOverride : public testing::TestWithParam<OverrideCase> {};

TEST_P(FieldOverride, WritesTheGivenValue) {
  const OverrideCase& c = GetParam();
  Entry entry = c.kind == Entry::Kind::kFile ? packwriter::File("X.BIN", "0123456789")
                                             : packwriter::Directory("X", {packwriter::File("Y", "")});
  const std::string before = BuildStream({entry}).bytes;
  c.apply(entry);
  std::string after = BuildStream({entry}).bytes;
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(c.width == 2 ? U16At(after, c.offset) : U32At(after, c.offset), c.expected);
  // Apart from that field the record is unchanged.
  after.replace(c.offset, c.width, before, c.offset, c.width);
  EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldOverride,
    testing::Values(
        OverrideCase{"crc", Entry::Kind::kFile, [](Entry& e) { e.crc = 0xDEADBEEF; }, kCrc, 4, 0xDEADBEEF},
        OverrideCase{"packed", Entry::Kind::kFile, [](Entry& e) { e.packedSize = 0xFFFFFFFF; }, kPackedSize, 4, 0xFFFFFFFF},
        OverrideCase{"original", Entry::Kind::kFile, [](Entry& e) { e.originalSize = 11; }, kOriginalSize, 4, 11},
        OverrideCase{"contents", Entry::Kind::kDirectory, [](Entry& e) { e.contentsSize = 3; }, kContentsSize, 4, 3},
        OverrideCase{"mask", Entry::Kind::kFile, [](Entry& e) { e.selectionMask = 0x80000001; }, 4, 4, 0x80000001},
        OverrideCase{"extraFlags", Entry::Kind::kFile, [](Entry& e) { e.extraFlags = 0x8000; }, kFlags, 2, 0x8000},
        OverrideCase{"flags", Entry::Kind::kDirectory, [](Entry& e) { e.flags = molt::ENTRY_DEFLATED; }, kFlags, 2, 0x80},
        OverrideCase{"attributes", Entry::Kind::kFile, [](Entry& e) { e.attributes = 0x21; }, 10, 2, 0x21},
        OverrideCase{"reserved", Entry::Kind::kFile, [](Entry& e) { e.reserved = 0x1234; }, 12, 2, 0x1234},
        OverrideCase{"creationTime", Entry::Kind::kFile, [](Entry& e) { e.times.creationTime = 0x1111; }, 14, 2, 0x1111},
        OverrideCase{"creationDate", Entry::Kind::kFile, [](Entry& e) { e.times.creationDate = 0x2222; }, 16, 2, 0x2222},
        OverrideCase{"accessDate", Entry::Kind::kFile, [](Entry& e) { e.times.lastAccessDate = 0x3333; }, 18, 2, 0x3333},
        OverrideCase{"writeTime", Entry::Kind::kFile, [](Entry& e) { e.times.lastWriteTime = 0x4444; }, 20, 2, 0x4444},
        OverrideCase{"writeDate", Entry::Kind::kFile, [](Entry& e) { e.times.lastWriteDate = 0x5555; }, 22, 2, 0x5555},
        OverrideCase{"shortNameField", Entry::Kind::kFile, [](Entry& e) { e.shortNameField = 0xABCD; }, kFileNames, 2, 0xABCD},
        OverrideCase{"dirShortNameField", Entry::Kind::kDirectory, [](Entry& e) { e.shortNameField = 7; }, 28, 2, 7}),
    [](const testing::TestParamInfo<OverrideCase>& info) { return std::string(info.param.name); });

TEST(Stream, LongNameFollowsTheShortNameWithItsSize) {
  const Entry entry = packwriter::WithLongName(packwriter::File("LONGNA~1.TXT", ""), "Long name.txt");
  const std::string s = BuildStream({entry}).bytes;
  EXPECT_EQ(U16At(s, kFlags), molt::ENTRY_LONG_NAME);
  const std::size_t longSize = kFileNames + 2 + 13;
  EXPECT_EQ(s.substr(kFileNames + 2, 13), std::string("LONGNA~1.TXT\0", 13));
  EXPECT_EQ(U16At(s, longSize), 14);
  EXPECT_EQ(s.substr(longSize + 2), std::string("Long name.txt\0", 14));

  Entry lying = entry;
  lying.longNameSize = 0;
  EXPECT_EQ(U16At(BuildStream({lying}).bytes, longSize), 0);

  // With a NUL inside the name the size is what the name needs up to that NUL.
  const Entry embedded = packwriter::WithLongName(packwriter::File("LONGNA~1.TXT", ""), std::string("ab\0cd", 5));
  const std::string e = BuildStream({embedded}).bytes;
  EXPECT_EQ(U16At(e, longSize), 3);
  EXPECT_EQ(e.substr(longSize + 2), std::string("ab\0cd\0", 6));
}

TEST(Stream, OverlongShortNameIsWrittenAsGiven) {
  const std::string name(300, 'N');
  const std::string s = BuildStream({packwriter::File(name, "")}).bytes;
  EXPECT_EQ(s.size(), kFileNames + 2 + name.size() + 1);
  EXPECT_EQ(s.substr(kFileNames + 2), name + '\0');
}

TEST(Stream, SuppliedDataIsWrittenVerbatimWithTheChosenFlag) {
  for (const bool deflated : {true, false}) {
    Entry entry = packwriter::File("H.BIN", "contents");
    entry.mode = packwriter::DataMode::kSupplied;
    entry.packedData = std::string("\x07\xFF\x00", 3);  // a hand-made (bad) stream
    entry.suppliedDeflated = deflated;
    const packwriter::Stream stream = BuildStream({entry});
    EXPECT_EQ(U16At(stream.bytes, kFlags), deflated ? molt::ENTRY_DEFLATED : 0);
    EXPECT_EQ(U32At(stream.bytes, kPackedSize), 3u);
    EXPECT_EQ(U32At(stream.bytes, kOriginalSize), 8u);
    EXPECT_EQ(stream.bytes.substr(stream.records[0].namesEnd), entry.packedData);
  }
}

TEST(Stream, RawBytesGoInVerbatimAndCountInTheirDirectory) {
  const std::string bad = "BAD!";
  const packwriter::Stream stream =
      BuildStream({packwriter::Raw(bad), packwriter::Directory("D", {packwriter::Raw(bad)})});
  EXPECT_EQ(stream.bytes.substr(0, 4), bad);
  const packwriter::RecordSpan& directory = stream.records.at(1);
  EXPECT_EQ(directory.start, 4u);
  EXPECT_EQ(stream.bytes.substr(directory.namesEnd, 4), bad);
  EXPECT_EQ(U32At(stream.bytes, directory.start + kContentsSize), 8u);
}

TEST(Lister, ListsWhatTheWriterWrote) {
  Entry file = packwriter::DeflatedFile("B.TXT", Text(2000), 9);
  file.times.lastWriteDate = packwriter::DosDate(2008, 2, 29);
  file.times.lastWriteTime = packwriter::DosTime(23, 59, 58);
  const std::string stream =
      BuildStream({packwriter::Directory("A", {packwriter::WithLongName(packwriter::File("C~1", "c"), "c long"), file}),
                   packwriter::File("Z", "")})
          .bytes;
  const std::vector<packwriter::ListedRecord> records = packwriter::ListRecords(stream);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].path, "A");
  EXPECT_EQ(records[1].path, "A/c long");
  EXPECT_EQ(records[1].shortName, "C~1");
  EXPECT_EQ(records[2].path, "A/B.TXT");
  EXPECT_EQ(records[2].times.lastWriteDate, (28 << 9) | (2 << 5) | 29);
  EXPECT_EQ(records[2].times.lastWriteTime, (23 << 11) | (59 << 5) | 29);
  EXPECT_EQ(packwriter::InflateRaw(records[2].packedData), Text(2000));
  EXPECT_EQ(records[3].path, "Z");
}

TEST(Lister, RefusesMalformedStreams) {
  const std::string file = BuildStream({packwriter::File("F", "data")}).bytes;
  Entry open = packwriter::Directory("D");
  open.endTag = false;
  const std::string cases[] = {
      "XXXX",                                  // unknown tag
      file.substr(0, file.size() - 1),         // data cut short
      file.substr(0, kFileNames + 3),          // name without its NUL
      BuildStream({open}).bytes,               // directory never closed
  };
  for (const std::string& stream : cases) {
    EXPECT_THROW(packwriter::ListRecords(stream), packwriter::Error);
  }
}

}  // namespace
