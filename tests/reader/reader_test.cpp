// The pack reader: volumes opened, descrambled, checked and chained, and the
// record stream read record by record, over packs made by the pack writer.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "context.h"
#include "errors.h"
#include "pack_writer.h"
#include "reader.h"
#include "support/fault_platform.h"
#include "support/temp_dir.h"

namespace {

using molt::Context;
using molt::EntryRecord;
using packwriter::Entry;
using packwriter::Pack;
using testing_support::FaultPlatform;
using testing_support::TempDir;

std::uint32_t TagValue(const std::uint8_t tag[4]) {
  return tag[0] | (tag[1] << 8) | (tag[2] << 16) | (static_cast<std::uint32_t>(tag[3]) << 24);
}

// Runs `action`; the code it raised, or 0.
int RaisedCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const molt::ErrorUnwind& failure) {
    return failure.code;
  }
  return 0;
}

// The pack path of the "@" form: '@' and the list file's path.
std::string ListFileArgument(const std::string& listPath) {
  std::string argument = "@";
  argument += listPath;
  return argument;
}

// Reads the whole record stream and describes it in one line per record.
// File data is read, or passed over with SkipInput.
std::string ReadAllRecords(Context& context, bool skipData) {
  std::string out;
  std::uint8_t tag[4];
  while (molt::ReadRecordTag(context, tag)) {
    const std::uint32_t value = TagValue(tag);
    EntryRecord entry;
    if (value == molt::TAG_END_DIRECTORY) {
      out += "end\n";
    } else if (value == molt::TAG_DIRECTORY) {
      molt::ReadDirectoryRecord(context, entry);
      out += "dir " + std::string(entry.OutputName()) + " " + std::to_string(entry.size) + "\n";
    } else if (value == molt::TAG_FILE) {
      molt::ReadFileRecord(context, entry);
      out += "file " + std::string(entry.OutputName()) + " " + std::to_string(entry.crc32);
      if (skipData) {
        molt::SkipInput(context, entry.packedSize);
      } else {
        std::string data(entry.packedSize, '\0');
        molt::ReadInputBytes(context, data.data(), entry.packedSize);
        out += " " + data;
      }
      out += "\n";
    } else {
      out += "bad tag\n";
      break;
    }
  }
  return out;
}

// A small tree whose records and data cross any split point of interest.
std::vector<Entry> SampleTree() {
  Entry longNamed = packwriter::WithLongName(packwriter::File("LONGNA~1.TXT", "long named"),
                                             "long named file.txt");
  return {
      packwriter::File("ROOT.TXT", "root file data"),
      packwriter::Directory("DOCS", {packwriter::File("A.TXT", "0123456789"), longNamed,
                                     packwriter::Directory("EMPTY")}),
      packwriter::File("LAST.BIN", std::string(40, 'x')),
  };
}

class ReaderTest : public ::testing::Test {
 public:
  FaultPlatform platform;
  Context context{platform};
  TempDir dir;

  // Writes the pack's volumes; returns the pack path that names them.
  std::string Write(const Pack& pack, const std::string& format = "pack%d.bin") {
    packwriter::WritePack(pack, dir / format);
    return dir / format;
  }

  int Open(const std::string& packPath) {
    path_ = packPath;
    std::memset(archiveBlock, 0, sizeof archiveBlock);
    return molt::OpenPack(context, path_.c_str(), archiveBlock);
  }

  // The sample tree as a set of three volumes named by dir/list.txt, one
  // path a line; returns the volumes' paths.
  std::vector<std::string> WriteListedSet() {
    Pack pack;
    pack.root = SampleTree();
    pack.isSet = true;
    pack.splitAt = {25, 90};
    const std::vector<std::string> paths = {dir / "one", dir / "two", dir / "three"};
    packwriter::WritePackWithList(pack, paths, dir / "list.txt");
    return paths;
  }

  // The records of the sample tree, read from a single volume.
  std::string SampleRecords() {
    Pack single;
    single.root = SampleTree();
    EXPECT_EQ(Open(Write(single, "sample.bin")), 0);
    const std::string records = ReadAllRecords(context, false);
    molt::CloseReader(context);
    return records;
  }

  std::uint8_t archiveBlock[molt::kArchiveBlockSize];

 private:
  std::string path_;  // the reader keeps a pointer to the pack path
};

// The 141-byte pack of one directory 'DOCS' with a stored 10-byte 'A.TXT'.
TEST_F(ReaderTest, ReadsTheExamplePackRecordByRecord) {
  Pack pack;
  for (std::size_t i = 0; i < pack.archiveBlock.size(); ++i) pack.archiveBlock[i] = 0xA0 + i;
  pack.root = {packwriter::Directory("DOCS", {packwriter::File("A.TXT", "0123456789")})};
  const std::vector<std::string> volumes = packwriter::BuildVolumes(pack);
  ASSERT_EQ(volumes.size(), 1u);
  ASSERT_EQ(volumes[0].size(), 141u);

  ASSERT_EQ(Open(Write(pack, "example.bin")), 0);
  // The archive block starts at offset 12, key index 12.
  for (std::size_t i = 0; i < sizeof archiveBlock; ++i) EXPECT_EQ(archiveBlock[i], 0xA0 + i);

  std::uint8_t tag[4];
  ASSERT_TRUE(molt::ReadRecordTag(context, tag));
  EXPECT_EQ(TagValue(tag), molt::TAG_DIRECTORY);
  EntryRecord directory;
  molt::ReadDirectoryRecord(context, directory);
  EXPECT_STREQ(directory.shortName, "DOCS");
  EXPECT_EQ(directory.size, 58u);
  EXPECT_EQ(directory.longName, nullptr);

  ASSERT_TRUE(molt::ReadRecordTag(context, tag));
  EXPECT_EQ(TagValue(tag), molt::TAG_FILE);
  EntryRecord file;
  molt::ReadFileRecord(context, file);
  EXPECT_STREQ(file.shortName, "A.TXT");
  EXPECT_EQ(file.packedSize, 10u);
  EXPECT_EQ(file.size, 10u);
  EXPECT_EQ(file.crc32, packwriter::Crc32("0123456789"));
  char data[10];
  molt::ReadInputBytes(context, data, sizeof data);
  EXPECT_EQ(std::string(data, sizeof data), "0123456789");

  ASSERT_TRUE(molt::ReadRecordTag(context, tag));
  EXPECT_EQ(TagValue(tag), molt::TAG_END_DIRECTORY);
  EXPECT_FALSE(molt::ReadRecordTag(context, tag));
}

// The same example pack as it is stored, byte for byte: written out here
// rather than built, so that the key the reader descrambles with is checked
// against the packs already made with it. The archive block's zeros and the
// zeros of the common parts show the key itself.
constexpr std::uint8_t kStoredExamplePack[141] = {
    0x0A, 0x3B, 0x68, 0x7C, 0x70, 0x5A, 0x2D, 0x70, 0xCD, 0x80, 0xBA, 0xF5,  // 0-11: volume header
    0x21, 0x94, 0xFB, 0x8D, 0x66, 0x4D, 0x1A, 0x33, 0x70, 0x5B, 0x2D, 0x70,  // 12-47: archive block
    0xCD, 0x80, 0xBA, 0xF5, 0x21, 0x94, 0xFB, 0x8D, 0x66, 0x4D, 0x1A, 0x33,
    0x70, 0x5B, 0x2D, 0x70, 0xCD, 0x80, 0xBA, 0xF5, 0x21, 0x94, 0xFB, 0x8D,
    0x46, 0x3F, 0x73, 0x77,  // 48-51: TAG_DIRECTORY
    0x70, 0x5B, 0x2D, 0x70, 0xCD, 0x80, 0xBA, 0xF5, 0x21, 0x94, 0xFB, 0x8D,  // 52-71: common part
    0x66, 0x4D, 0x1A, 0x33, 0x70, 0x5B, 0x2D, 0x70,
    0xF7, 0x80, 0xBA, 0xF5,                    // 72-75: contents size 58
    0x21, 0x94, 0xBF, 0xC2, 0x25, 0x1E, 0x1A,  // 76-82: short-name field, 'DOCS'
    0x56, 0x1C, 0x32, 0x6B,                    // 83-86: TAG_FILE
    0x70, 0xCD, 0x80, 0xBA, 0xF5, 0x21, 0x94, 0xFB, 0x8D, 0x66, 0x4D, 0x1A,  // 87-106: common part
    0x33, 0x70, 0x5B, 0x2D, 0x70, 0xCD, 0x80, 0xBA,
    0x33, 0xE6, 0x10, 0x5D, 0x87, 0x66, 0x4D, 0x1A, 0x39, 0x70, 0x5B, 0x2D,  // 107-118: CRC-32, sizes
    0x70, 0xCD, 0xC1, 0x94, 0xA1, 0x79, 0xC0, 0xFB,                          // 119-126: 'A.TXT'
    0xBD, 0x57, 0x7F, 0x29, 0x07, 0x45, 0x6D, 0x1A, 0x48, 0xF4,              // 127-136: data
    0xC4, 0xD3, 0x87, 0x01,                                                  // 137-140: end tag
};

TEST_F(ReaderTest, ReadsTheStoredBytesOfTheExamplePack) {
#ifdef MOLT_SCRAMBLE_KEY_BYTES
  GTEST_SKIP() << "built with a scramble key of its own";
#endif
  testing_support::WriteFileBytes(
      dir.path() / "stored.bin",
      std::string(reinterpret_cast<const char*>(kStoredExamplePack), sizeof kStoredExamplePack));
  ASSERT_EQ(Open(dir / "stored.bin"), 0);
  for (const std::uint8_t byte : archiveBlock) EXPECT_EQ(byte, 0);
  EXPECT_EQ(ReadAllRecords(context, false),
            "dir DOCS 58\nfile A.TXT " + std::to_string(0xA684C7C6u) + " 0123456789\nend\n");
}

TEST_F(ReaderTest, ReadsAllFieldsOfARecord) {
  Entry file = packwriter::WithLongName(packwriter::File("SHORT.TXT", "abc"), "a longer name.txt");
  file.selectionMask = 0x01020304;
  file.attributes = 0x0021;
  file.reserved = 0x7777;
  file.times = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555};
  Pack pack;
  pack.root = {file};
  ASSERT_EQ(Open(Write(pack)), 0);

  std::uint8_t tag[4];
  ASSERT_TRUE(molt::ReadRecordTag(context, tag));
  EntryRecord entry;
  molt::ReadFileRecord(context, entry);
  EXPECT_EQ(entry.selectionMask, 0x01020304u);
  EXPECT_EQ(entry.flags, molt::ENTRY_LONG_NAME);
  EXPECT_EQ(entry.attributes, 0x0021);
  EXPECT_EQ(entry.reserved, 0x7777);
  EXPECT_EQ(entry.creationTime, 0x1111);
  EXPECT_EQ(entry.creationDate, 0x2222);
  EXPECT_EQ(entry.lastAccessDate, 0x3333);
  EXPECT_EQ(entry.lastWriteTime, 0x4444);
  EXPECT_EQ(entry.lastWriteDate, 0x5555);
  EXPECT_STREQ(entry.shortName, "SHORT.TXT");
  ASSERT_NE(entry.longName, nullptr);
  EXPECT_STREQ(entry.longName.get(), "a longer name.txt");
  EXPECT_STREQ(entry.OutputName(), "a longer name.txt");
  molt::FreeEntryNames(entry);
  EXPECT_EQ(entry.longName, nullptr);
}

TEST_F(ReaderTest, ArchiveBlockOfTheFirstVolumeOfASetStartsAtKeyIndexTwelve) {
  Pack pack;
  pack.isSet = true;
  for (std::size_t i = 0; i < pack.archiveBlock.size(); ++i) pack.archiveBlock[i] = 7 * i;
  pack.root = SampleTree();
  ASSERT_EQ(Open(Write(pack)), 0);
  for (std::size_t i = 0; i < sizeof archiveBlock; ++i) EXPECT_EQ(archiveBlock[i], 7 * i);
  EXPECT_EQ(context.reader.VolumePosition, 64u);
  // The records start at offset 64, key index 0.
  std::uint8_t tag[4];
  ASSERT_TRUE(molt::ReadRecordTag(context, tag));
  EXPECT_EQ(TagValue(tag), molt::TAG_FILE);
}

// The same stream, split into two or three volumes at every offset, reads
// record for record as the single volume does, whether file data is read or
// skipped.
TEST_F(ReaderTest, VolumeSplitsAtAnyOffsetReadTheSame) {
  Pack single;
  single.root = SampleTree();
  ASSERT_EQ(Open(Write(single, "single.bin")), 0);
  const std::string expectedRead = ReadAllRecords(context, false);
  molt::CloseReader(context);
  ASSERT_EQ(Open(Write(single, "single.bin")), 0);
  const std::string expectedSkipped = ReadAllRecords(context, true);
  molt::CloseReader(context);
  ASSERT_NE(expectedRead.find("long named file.txt"), std::string::npos);

  const std::size_t length = packwriter::BuildStream(single.root).bytes.size();
  for (std::size_t split = 1; split < length; ++split) {
    for (const bool skipData : {false, true}) {
      Pack pack = single;
      pack.isSet = true;
      pack.splitAt = {split};
      if (split + 7 < length) pack.splitAt.push_back(split + 7);
      ASSERT_EQ(Open(Write(pack, "split%d.bin")), 0) << split;
      std::string read;
      EXPECT_EQ(RaisedCode([&] { read = ReadAllRecords(context, skipData); }), 0) << split;
      EXPECT_EQ(read, skipData ? expectedSkipped : expectedRead)
          << "split at " << split << (skipData ? ", skipping" : "");
      molt::CloseReader(context);
    }
  }
}

// A skip that moves the file position moves the key index with it.
TEST_F(ReaderTest, SkipKeepsTheKeyIndexOfTheNextByte) {
  // Each stream byte holds the low byte of its own offset in the stream.
  std::string stream(9000, '\0');
  for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<char>(i);
  Pack pack;
  pack.streamOverride = stream;
  ASSERT_EQ(Open(Write(pack)), 0);
  std::string block(molt::kInputBufferSize, '\0');
  molt::ReadInputBytes(context, block.data(), molt::kInputBufferSize);  // the buffer is used up
  ASSERT_EQ(context.reader.InputCount, 0);
  ASSERT_EQ(context.reader.VolumePosition, 48u + molt::kInputBufferSize);
  molt::SkipInput(context, 5);
  EXPECT_EQ(context.reader.VolumePosition, 48u + molt::kInputBufferSize + 5);
  std::uint8_t next = 0;
  molt::ReadInputBytes(context, &next, 1);
  EXPECT_EQ(next, static_cast<std::uint8_t>(molt::kInputBufferSize + 5));
}

TEST_F(ReaderTest, SkipAcrossSeveralVolumesLandsOnTheNextTag) {
  std::vector<Entry> root = {packwriter::File("BIG.BIN", std::string(5000, 'b')),
                             packwriter::File("NEXT.TXT", "next")};
  Pack pack;
  pack.root = root;
  pack.isSet = true;
  pack.maxVolumeSize = 700;  // the big file's data spans several volumes
  const auto paths = packwriter::WritePack(pack, dir / "many%03d.vol");
  ASSERT_GT(paths.size(), 5u);
  ASSERT_EQ(Open(dir / "many%03d.vol"), 0);
  EXPECT_EQ(ReadAllRecords(context, true),
            "file BIG.BIN " + std::to_string(packwriter::Crc32(std::string(5000, 'b'))) +
                "\nfile NEXT.TXT " + std::to_string(packwriter::Crc32("next")) + "\n");
}

// A skip that runs past the end of the last volume stops at that end: the
// bytes it could not pass are never taken for the next record.
// A skip is a reading of the data as much as a copy is: data that the end of
// the last volume cuts short is a cut pack, whether it is read or skipped.
// Data that ends exactly at the end of the last volume is no cut.
TEST_F(ReaderTest, SkipPastTheLastVolumeIsACutPack) {
  struct Case {
    const char* name;
    bool isSet;
    std::size_t cut;  // bytes of the file's data cut off the end
    int code;
  };
  for (const Case& c : {Case{"one volume", false, 20000, molt::ERR_INPUT_EOF},
                        Case{"last volume of a set", true, 20000, molt::ERR_INPUT_EOF},
                        Case{"one byte off a set", true, 1, molt::ERR_INPUT_EOF},
                        Case{"nothing off one volume", false, 0, 0},
                        Case{"nothing off a set", true, 0, 0}}) {
    SCOPED_TRACE(c.name);
    Pack pack;
    pack.root = {packwriter::File("CUT.BIN", std::string(40000, '\0'))};
    pack.cutAt = packwriter::BuildStream(pack.root).bytes.size() - c.cut;
    pack.isSet = c.isSet;
    pack.maxVolumeSize = c.isSet ? 15000 : 0;
    const std::string format = dir / (c.isSet ? "set%d.vol" : "one%d.vol");
    packwriter::WritePack(pack, format);
    ASSERT_EQ(Open(format), 0);
    std::uint8_t tag[4];
    ASSERT_TRUE(molt::ReadRecordTag(context, tag));
    EntryRecord entry;
    molt::ReadFileRecord(context, entry);
    EXPECT_EQ(RaisedCode([&] { molt::SkipInput(context, entry.packedSize); }), c.code);
    if (c.code == 0) {
      EXPECT_EQ(molt::StreamOffset(context.reader), packwriter::BuildStream(pack.root).bytes.size());
      EXPECT_FALSE(molt::ReadRecordTag(context, tag));
    }
    molt::CloseReader(context);
  }
}

TEST_F(ReaderTest, VolumeNamesFollowTheFormat) {
  Pack pack;
  pack.root = SampleTree();
  pack.isSet = true;
  pack.splitAt = {30, 60};
  struct Case {
    std::string format;
    std::vector<std::string> names;
  };
  for (const Case& test : std::vector<Case>{{"data%d.bin", {"data1.bin", "data2.bin", "data3.bin"}},
                                            {"data%02d.bin", {"data01.bin", "data02.bin", "data03.bin"}},
                                            {"p%%%u.v", {"p%1.v", "p%2.v", "p%3.v"}}}) {
    packwriter::WritePack(pack, dir / test.format);
    platform.openedVolumes.clear();
    ASSERT_EQ(Open(dir / test.format), 0) << test.format;
    ReadAllRecords(context, false);
    molt::CloseReader(context);
    std::vector<std::string> expected;
    for (const auto& name : test.names) expected.push_back(dir / name);
    EXPECT_EQ(platform.openedVolumes, expected) << test.format;
  }
}

TEST_F(ReaderTest, ListFileNamesTheVolumesInOrder) {
  const std::vector<std::string> paths = WriteListedSet();
  const std::string expected = SampleRecords();

  platform.openedVolumes.clear();
  ASSERT_EQ(Open(ListFileArgument(dir / "list.txt")), 0);
  EXPECT_EQ(ReadAllRecords(context, false), expected);
  EXPECT_EQ(platform.openedVolumes, paths);
}

// A list file reads the same on every system, as Windows reads text: one CR
// right before a line feed goes with it, any other CR stays, and Ctrl-Z
// ends the text for good. In each text '1', '2' and '3' stand for the paths
// of the three volumes.
struct ListText {
  const char* name;
  std::string text;
  int code;  // returned by the open or raised while reading, or 0
};

class ListFileTextTest : public ReaderTest, public ::testing::WithParamInterface<ListText> {};

TEST_P(ListFileTextTest, NamesTheVolumes) {
  const ListText& test = GetParam();
  const std::vector<std::string> paths = WriteListedSet();
  std::string text;
  for (const char c : test.text) {
    if (c >= '1' && c <= '3') {
      text += paths[static_cast<std::size_t>(c - '1')];
    } else {
      text += c;
    }
  }
  testing_support::WriteFileBytes(dir.path() / "list.txt", text);
  const std::string expected = SampleRecords();

  int code = Open(ListFileArgument(dir / "list.txt"));
  std::string read;
  if (code == 0) code = RaisedCode([&] { read = ReadAllRecords(context, false); });
  EXPECT_EQ(code, test.code);
  if (test.code == 0) {
    EXPECT_EQ(read, expected);
  }
}

const ListText kListTexts[] = {
    {"LineFeeds", "1\n2\n3\n", 0},
    {"CrLf", "1\r\n2\r\n3\r\n", 0},
    {"CrLfAndNoEndAfterTheLastLine", "1\r\n2\r\n3", 0},
    {"MixedEnds", "1\n2\r\n3\n", 0},
    {"OnlyOneCrGoes", "1\r\r\n2\r\n3\r\n", molt::ERR_INPUT_OPEN},
    {"CrWithoutLineFeedStays", "1\r2\r\n3\r\n", molt::ERR_INPUT_OPEN},
    {"CtrlZEndsTheLastLine", "1\r\n2\r\n3\x1A\r\n", 0},
    {"CtrlZBeforeTheLastVolume", "1\r\n2\r\n\x1A" "3\r\n", molt::ERR_CANNOT_RESTORE},
    {"NothingAfterCtrlZ", "1\r\n2\x1A\r\n3\r\n", molt::ERR_CANNOT_RESTORE},
};

INSTANTIATE_TEST_SUITE_P(Table, ListFileTextTest, ::testing::ValuesIn(kListTexts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReaderTest, SetOfOneVolumeEndsWithItsOwnEnd) {
  Pack pack;
  pack.root = SampleTree();
  pack.isSet = true;  // file number 0x8001, with a set block
  ASSERT_EQ(Open(Write(pack)), 0);
  EXPECT_EQ(context.reader.VolumePosition, 64u);
  EXPECT_FALSE(ReadAllRecords(context, false).empty());
  std::uint8_t tag[4];
  EXPECT_FALSE(molt::ReadRecordTag(context, tag));
}

TEST_F(ReaderTest, AnyVersionUpTo256AndAnyProductNumberIsAccepted) {
  for (const std::uint16_t version : {0, 1, 256}) {
    for (const std::uint32_t product : {0u, 0x12345678u, 0xFFFFFFFFu}) {
      Pack pack;
      pack.version = version;
      pack.productNumber = product;
      pack.root = SampleTree();
      EXPECT_EQ(Open(Write(pack)), 0) << version << " " << product;
      molt::CloseReader(context);
    }
  }
}

// ---------------------------------------------------------------------------
// Failures while opening: each returns its code and leaves no volume open.

struct OpenFailure {
  const char* name;
  int code;
  std::function<std::string(ReaderTest&, FaultPlatform&)> arrange;  // returns packPath
};

std::string WriteBytes(ReaderTest& test, const std::string& name, const std::string& bytes) {
  testing_support::WriteFileBytes(test.dir.path() / name, bytes);
  return test.dir / name;
}

Pack WithRoot(Pack pack) {
  pack.root = SampleTree();
  return pack;
}

// The first `size` bytes of the first volume file of a pack.
std::string FirstVolumeCut(const Pack& pack, std::size_t size) {
  return packwriter::BuildVolumes(pack).front().substr(0, size);
}

class ReaderOpenFailureTest : public ReaderTest, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(ReaderOpenFailureTest, ReturnsItsCode) {
  const OpenFailure& failure = GetParam();
  const std::string packPath = failure.arrange(*this, platform);
  EXPECT_EQ(Open(packPath), failure.code);
  EXPECT_EQ(context.reader.VolumeHandle, molt::platform::kInvalidFile);
}

Pack BadHeader(std::uint16_t version, std::uint16_t fileNumber) {
  Pack pack = WithRoot({});
  pack.version = version;
  pack.isSet = fileNumber != 0;
  pack.fileNumberOverride[0] = fileNumber;
  return pack;
}

std::string WriteWrongSignature(ReaderTest& test) {
  std::vector<std::string> plain = packwriter::BuildPlainVolumes(WithRoot({}));
  plain[0][0] = 'X';
  packwriter::Scramble(plain[0]);
  return WriteBytes(test, "badsig.bin", plain[0]);
}

const OpenFailure kOpenFailures[] = {
    {"MissingListFile", molt::ERR_INPUT_OPEN,
     [](ReaderTest& t, FaultPlatform&) { return ListFileArgument(t.dir / "no-list.txt"); }},
    {"MissingVolume", molt::ERR_INPUT_OPEN,
     [](ReaderTest& t, FaultPlatform&) { return t.dir / "missing.bin"; }},
    {"VolumeIsAFolder", molt::ERR_INPUT_OPEN,
     [](ReaderTest& t, FaultPlatform&) { return t.dir.path().string(); }},
    {"EmptyListFile", molt::ERR_CANNOT_RESTORE,
     [](ReaderTest& t, FaultPlatform&) { return ListFileArgument(WriteBytes(t, "empty.txt", "")); }},
    {"ListLineTooLong", molt::ERR_CANNOT_RESTORE,
     [](ReaderTest& t, FaultPlatform&) {
       return ListFileArgument(WriteBytes(t, "long.txt", std::string(9000, 'a') + "\n"));
     }},
    {"ShortVolumeHeader", molt::ERR_CANNOT_RESTORE,
     [](ReaderTest& t, FaultPlatform&) {
       return WriteBytes(t, "short.bin", FirstVolumeCut(WithRoot({}), 11));
     }},
    {"ShortSetBlock", molt::ERR_CANNOT_RESTORE,
     [](ReaderTest& t, FaultPlatform&) {
       Pack pack = WithRoot({});
       pack.isSet = true;
       return WriteBytes(t, "shortset.bin", FirstVolumeCut(pack, 20));
     }},
    {"ShortArchiveBlock", molt::ERR_HEADER_READ,
     [](ReaderTest& t, FaultPlatform&) {
       return WriteBytes(t, "shortarc.bin", FirstVolumeCut(WithRoot({}), 47));
     }},
    {"SizeUnavailable", molt::ERR_INPUT_SIZE,
     [](ReaderTest& t, FaultPlatform& p) {
       p.failFileSize = true;
       return t.Write(WithRoot({}));
     }},
    {"CannotSeekToStart", molt::ERR_INPUT_POINTER,
     [](ReaderTest& t, FaultPlatform& p) {
       p.failSeekToStart = true;
       return t.Write(WithRoot({}));
     }},
    {"WrongSignature", molt::ERR_SIGNATURE,
     [](ReaderTest& t, FaultPlatform&) { return WriteWrongSignature(t); }},
    {"Version257", molt::ERR_PACK_VERSION,
     [](ReaderTest& t, FaultPlatform&) { return t.Write(BadHeader(257, 0)); }},
    {"FirstVolumeNumberedTwo", molt::ERR_FILE_NUMBER,
     [](ReaderTest& t, FaultPlatform&) { return t.Write(BadHeader(256, 2)); }},
    {"FirstVolumeLastBitWithoutNumber", molt::ERR_FILE_NUMBER,
     [](ReaderTest& t, FaultPlatform&) { return t.Write(BadHeader(256, 0x8000)); }},
};

INSTANTIATE_TEST_SUITE_P(Table, ReaderOpenFailureTest, ::testing::ValuesIn(kOpenFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// A path that is not a format for one volume number is refused before any
// file is opened.
TEST_F(ReaderTest, RefusedFormatsOpenNothing) {
  for (const char* format : {"a%s.bin", "a%d%d.bin", "a%.3d.bin", "a%ld.bin", "a%*d.bin",
                             "dir%name/pack.bin", "a%", "a%n.bin"}) {
    platform.openedVolumes.clear();
    EXPECT_EQ(Open(dir / format), molt::ERR_INPUT_OPEN) << format;
    EXPECT_TRUE(platform.openedVolumes.empty()) << format;
  }
}

TEST_F(ReaderTest, AFormattedNameTooLongForAPathIsRefused) {
  EXPECT_EQ(Open(dir / "a%9000d.bin"), molt::ERR_INPUT_OPEN);
  EXPECT_TRUE(platform.openedVolumes.empty());
}

// ---------------------------------------------------------------------------
// Failures during the stream: raised.

TEST_F(ReaderTest, AFormatWithoutConversionNamesTheSameFileForVolumeTwo) {
  Pack pack = WithRoot({});
  pack.isSet = true;
  pack.splitAt = {40};
  const auto volumes = packwriter::BuildVolumes(pack);
  testing_support::WriteFileBytes(dir.path() / "fixed.bin", volumes[0]);
  ASSERT_EQ(Open(dir / "fixed.bin"), 0);
  EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, false); }), molt::ERR_FILE_NUMBER);
}

TEST_F(ReaderTest, ListFileThatEndsTooSoonRaises36DuringTheStream) {
  Pack pack = WithRoot({});
  pack.isSet = true;
  pack.splitAt = {40};
  const auto volumes = packwriter::BuildVolumes(pack);
  testing_support::WriteFileBytes(dir.path() / "v1", volumes[0]);
  testing_support::WriteFileBytes(dir.path() / "list.txt", (dir / "v1") + "\n");
  ASSERT_EQ(Open(ListFileArgument(dir / "list.txt")), 0);
  EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, false); }), molt::ERR_CANNOT_RESTORE);
}

TEST_F(ReaderTest, SingleVolumePackWhereVolumeTwoBelongsRaises36) {
  Pack pack = WithRoot({});
  pack.isSet = true;
  pack.splitAt = {40};
  auto volumes = packwriter::BuildVolumes(pack);
  testing_support::WriteFileBytes(dir.path() / "s1.bin", volumes[0]);
  testing_support::WriteFileBytes(dir.path() / "s2.bin", packwriter::BuildVolumes(WithRoot({}))[0]);
  ASSERT_EQ(Open(dir / "s%d.bin"), 0);
  EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, false); }), molt::ERR_CANNOT_RESTORE);
}

TEST_F(ReaderTest, LaterVolumeWithTheWrongNumberRaises47) {
  Pack pack = WithRoot({});
  pack.isSet = true;
  pack.splitAt = {40};
  pack.fileNumberOverride[1] = 0x8003;
  ASSERT_EQ(Open(Write(pack)), 0);
  EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, false); }), molt::ERR_FILE_NUMBER);
}

// The stream may end only where a tag would begin.
TEST_F(ReaderTest, StreamEndingInsideARecordRaises35) {
  const std::string stream = packwriter::BuildStream(SampleTree()).bytes;
  const auto records = packwriter::BuildStream(SampleTree()).records;
  for (std::size_t cut = 1; cut < stream.size(); ++cut) {
    Pack pack;
    pack.streamOverride = stream.substr(0, cut);
    ASSERT_EQ(Open(Write(pack)), 0);
    const bool atRecordEnd = std::any_of(records.begin(), records.end(),
                                         [&](const auto& r) { return r.end == cut; });
    // An end tag begins where a folder's last child ends, or right after the
    // names of an empty folder.
    const bool atRecordStart = std::any_of(records.begin(), records.end(), [&](const auto& r) {
      return r.start == cut || (r.kind == Entry::Kind::kDirectory && r.namesEnd == cut);
    });
    EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, false); }),
              atRecordEnd || atRecordStart ? 0 : molt::ERR_INPUT_EOF)
        << "cut at " << cut;
    molt::CloseReader(context);
  }
}

TEST_F(ReaderTest, ReadFailureRaises32WithTheSystemTextOnlyWhenBoxesAreOn) {
  for (const bool showErrors : {false, true}) {
    platform.boxes.clear();
    platform.readsBeforeFailure = -1;
    ASSERT_EQ(Open(Write(WithRoot({}))), 0);
    platform.readsBeforeFailure = 0;
    context.ShowErrors = showErrors;
    EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, false); }), molt::ERR_INPUT_READ);
    if (showErrors) {
      ASSERT_EQ(platform.boxes.size(), 1u);
      EXPECT_EQ(platform.boxes[0].caption, "Error");
      EXPECT_EQ(platform.boxes[0].text, platform.SystemErrorText(platform.readError));
      EXPECT_EQ(platform.boxes[0].icon, molt::platform::BoxIcon::Information);
    } else {
      EXPECT_TRUE(platform.boxes.empty());
    }
    molt::CloseReader(context);
  }
}

TEST_F(ReaderTest, FailedSkipRaises33) {
  Pack pack;
  pack.root = {packwriter::File("BIG.BIN", std::string(20000, 'b'))};
  ASSERT_EQ(Open(Write(pack)), 0);
  platform.failSkip = true;
  EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, true); }), molt::ERR_INPUT_SEEK);
}

// Names longer than their storage are refused before anything is written past it.
TEST_F(ReaderTest, OverlongNamesRaise34) {
  struct Case {
    const char* name;
    Entry entry;
  };
  Entry longShort = packwriter::File("SIXTEEN_BYTES.TX", "x");
  Entry fifteen = packwriter::File("FIFTEEN_BYTES.T", "x");
  Entry longerThanSize = packwriter::WithLongName(packwriter::File("A", "x"), "a long name");
  longerThanSize.longNameSize = 5;
  Entry sizeZero = packwriter::WithLongName(packwriter::File("A", "x"), "");
  sizeZero.longNameSize = 0;
  Entry exactSize = packwriter::WithLongName(packwriter::File("A", "x"), "abcd");
  exactSize.longNameSize = 5;
  for (const auto& [entry, code] : std::vector<std::pair<Entry, int>>{
           {longShort, molt::ERR_INPUT_FORMAT},
           {fifteen, 0},
           {longerThanSize, molt::ERR_INPUT_FORMAT},
           {sizeZero, molt::ERR_INPUT_FORMAT},
           {exactSize, 0}}) {
    Pack pack;
    pack.root = {entry};
    ASSERT_EQ(Open(Write(pack)), 0);
    EXPECT_EQ(RaisedCode([&] { ReadAllRecords(context, false); }), code) << entry.shortName;
    molt::CloseReader(context);
  }
}

TEST(DescrambleTest, KeyIsUnmaskedOnceAndIndexedByPosition) {
  molt::ReaderState reader;
  EXPECT_FALSE(reader.KeyReady);
  std::uint8_t bytes[20] = {};
  molt::Descramble(reader, 9, sizeof bytes, bytes);
  EXPECT_TRUE(reader.KeyReady);
  for (std::size_t i = 0; i < sizeof bytes; ++i) {
    EXPECT_EQ(bytes[i], molt::detail::kPlainKey.bytes[(9 + i) % 16]) << i;
  }
  molt::Descramble(reader, 9, sizeof bytes, bytes);  // the same key again
  for (const std::uint8_t byte : bytes) EXPECT_EQ(byte, 0);
}

TEST(DescrambleTest, EveryStartAndLengthUsesTheKeyByteOfItsOffset) {
  molt::ReaderState reader;
  for (unsigned position = 0; position < 40; ++position) {
    for (unsigned length = 0; length < 70; ++length) {
      std::vector<std::uint8_t> bytes(length + 1, 0x5A);
      molt::Descramble(reader, static_cast<std::uint16_t>(position),
                       static_cast<std::uint16_t>(length), bytes.data());
      for (unsigned i = 0; i < length; ++i) {
        ASSERT_EQ(bytes[i], 0x5A ^ molt::detail::kPlainKey.bytes[(position + i) % 16])
            << position << "+" << i;
      }
      ASSERT_EQ(bytes[length], 0x5A) << "past the end";
    }
  }
}

}  // namespace
