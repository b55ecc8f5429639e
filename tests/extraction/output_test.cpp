// Output files and folders: data, CRC-32, times, attributes, replacement,
// failures, and names that must never reach the file system.
#include "errors.h"
#include "extraction_fixture.h"
#include "support/file_times.h"

namespace extraction_test {
namespace {

using packwriter::Directory;
using packwriter::DosDate;
using packwriter::DosTime;
using packwriter::File;

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t ModificationTime(const fs::path& path) {
  return testing_support::ReadFileTimes(path).modified;
}

std::int64_t AccessTime(const fs::path& path) { return testing_support::ReadFileTimes(path).accessed; }

bool IsWritable(const fs::path& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

// 2021-06-15 12:00:00 UTC, and that date's midnight.
constexpr std::int64_t kJune15Noon = 1623758400;
constexpr std::int64_t kJune15Midnight = kJune15Noon - kSecondsPerDay / 2;

packwriter::DosTimes June15() {
  packwriter::DosTimes times;
  times.creationDate = DosDate(2021, 6, 15);
  times.creationTime = DosTime(12, 0, 0);
  times.lastWriteDate = DosDate(2021, 6, 15);
  times.lastWriteTime = DosTime(12, 0, 0);
  times.lastAccessDate = DosDate(2021, 6, 15);
  return times;
}

Entry Timed(Entry entry, packwriter::DosTimes times) {
  entry.times = times;
  return entry;
}

TEST_F(ExtractionTest, StoredAndDeflatedFilesAreWrittenWhole) {
  std::string big(200000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7) ^ (i >> 9));
  ASSERT_EQ(Extract({File("empty.txt", ""), File("stored.bin", big),
                     packwriter::DeflatedFile("deflated.bin", big, 9)}),
            0);
  EXPECT_EQ(Contents("empty.txt"), "");
  EXPECT_EQ(Contents("stored.bin"), big);
  EXPECT_EQ(Contents("deflated.bin"), big);
}

TEST_F(ExtractionTest, StoredDataAcrossVolumesIsCopiedWholeAndTheNextTagFollows) {
  packwriter::Pack pack;
  pack.root = {File("big.bin", std::string(30000, 'q')), File("next.txt", "next")};
  pack.isSet = true;
  pack.maxVolumeSize = 4000;
  ASSERT_EQ(ExtractPack(pack), 0);
  EXPECT_EQ(Contents("big.bin"), std::string(30000, 'q'));
  EXPECT_EQ(Contents("next.txt"), "next");
}

TEST_F(ExtractionTest, TimesAreSetAsUtcAndTheAccessDateAtMidnight) {
  ASSERT_EQ(Extract({Timed(File("t.txt", "t"), June15()),
                     Timed(Directory("d", {File("inner.txt", "i")}), June15())}),
            0);
  EXPECT_EQ(ModificationTime(out() / "t.txt"), kJune15Noon);
  EXPECT_EQ(AccessTime(out() / "t.txt"), kJune15Midnight);
  // A folder's times are set after its contents were written.
  EXPECT_EQ(ModificationTime(out() / "d"), kJune15Noon);
  EXPECT_EQ(AccessTime(out() / "d"), kJune15Midnight);
}

TEST_F(ExtractionTest, TimeThatCannotBeConvertedIsLeftAloneAndTheOthersAreSet) {
  packwriter::DosTimes times = June15();
  times.lastWriteDate = DosDate(2021, 0, 15);  // month 0
  ASSERT_EQ(Extract({Timed(File("t.txt", "t"), times)}), 0);
  EXPECT_NE(ModificationTime(out() / "t.txt"), kJune15Noon);
  EXPECT_EQ(AccessTime(out() / "t.txt"), kJune15Midnight);
}

TEST_F(ExtractionTest, ExistingReadOnlyFileIsReplacedAndMarkedAgain) {
  testing_support::WriteFileBytes(out() / "ro.txt", "old contents, longer than the new");
  fs::permissions(out() / "ro.txt", fs::perms::owner_write | fs::perms::group_write |
                                        fs::perms::others_write,
                  fs::perm_options::remove);
  Entry file = File("ro.txt", "new");
  file.attributes = molt::platform::kAttributeReadOnly;
  Entry plain = File("rw.txt", "rw");
  plain.attributes = molt::platform::kAttributeArchive;
  ASSERT_EQ(Extract({file, plain}), 0);
  EXPECT_EQ(Contents("ro.txt"), "new");
  EXPECT_FALSE(IsWritable(out() / "ro.txt"));
  EXPECT_TRUE(IsWritable(out() / "rw.txt"));
}

// A read-only file refuses new times, so they go on before its attributes.
TEST_F(ExtractionTest, ReadOnlyFileStillGetsItsTimes) {
  Entry file = Timed(File("ro.txt", "read only"), June15());
  file.attributes = molt::platform::kAttributeReadOnly;
  ASSERT_EQ(Extract({file}), 0);
  EXPECT_FALSE(IsWritable(out() / "ro.txt"));
  EXPECT_EQ(ModificationTime(out() / "ro.txt"), kJune15Noon);
  EXPECT_EQ(AccessTime(out() / "ro.txt"), kJune15Midnight);
}

// The walk ends inside the folders that lead to the filter's match; they
// still get their times on the way out, after everything made inside them.
TEST_F(ExtractionTest, FoldersAroundAFilterMatchGetTheirTimes) {
  const std::vector<Entry> root = {
      Timed(Directory("a", {Timed(Directory("b", {File("c.txt", "c"), File("d.txt", "d")}),
                                  June15())}),
            June15()),
      File("later.txt", "later")};
  for (const char* filter : {"a\\b\\c.txt", "a\\b"}) {
    ASSERT_EQ(Extract(root, filter), 0) << filter;
    EXPECT_EQ(ModificationTime(out() / "a"), kJune15Noon) << filter;
    EXPECT_EQ(ModificationTime(out() / "a" / "b"), kJune15Noon) << filter;
    fs::remove_all(out());
    fs::create_directory(out());
  }
}

TEST_F(ExtractionTest, ExistingFolderIsUsedAndGetsItsTimesAfterItsContents) {
  fs::create_directory(out() / "d");
  testing_support::WriteFileBytes(out() / "d" / "kept.txt", "kept");
  ASSERT_EQ(Extract({Timed(Directory("d", {File("new.txt", "n")}), June15())}), 0);
  EXPECT_EQ(Contents("d/kept.txt"), "kept");
  EXPECT_EQ(Contents("d/new.txt"), "n");
  EXPECT_EQ(ModificationTime(out() / "d"), kJune15Noon);
}

TEST_F(ExtractionTest, WrongCrcKeepsTheWholeFileWithoutItsTimes) {
  Entry file = Timed(File("bad.txt", "all of the data"), June15());
  file.crc = packwriter::Crc32("all of the data") ^ 1;
  Entry deflated = Timed(packwriter::DeflatedFile("bad2.txt", "deflated data"), June15());
  deflated.crc = 0;
  for (const Entry& entry : {file, deflated}) {
    EXPECT_EQ(Extract({entry, File("never.txt", "n")}), molt::ERR_CRC) << entry.shortName;
    EXPECT_EQ(Contents(entry.shortName), entry.data);
    EXPECT_NE(ModificationTime(out() / entry.shortName), kJune15Noon);
    EXPECT_FALSE(fs::exists(out() / "never.txt"));
  }
}

TEST_F(ExtractionTest, FullDiskEndsWith44AndKeepsThePartialFile) {
  const std::string data(100000, 'f');
  for (const Entry& entry : {File("stored.bin", data), packwriter::DeflatedFile("packed.bin", data)}) {
    platform.diskSpace = 5000;
    EXPECT_EQ(Extract({entry}), molt::ERR_WRITE_DISK_FULL) << entry.shortName;
    EXPECT_TRUE(fs::exists(out() / entry.shortName));
    EXPECT_EQ(fs::file_size(out() / entry.shortName), 5000u);
  }
}

// A short write goes on with the rest; a write that makes no progress is a
// failure, never a file cut short under a passing CRC.
TEST_F(ExtractionTest, ShortWritesOfStoredDataLoseNothing) {
  const std::string data(50000, 's');
  platform.writeChunk = 1000;
  ASSERT_EQ(Extract({File("short.bin", data)}), 0);
  EXPECT_EQ(Contents("short.bin"), data);
  platform.writeChunk = 0;
  EXPECT_EQ(Extract({File("stuck.bin", data)}), molt::ERR_WRITE_DISK_FULL);
}

TEST_F(ExtractionTest, MissingDestinationFailsAtTheFirstEntry) {
  fs::remove(out());
  EXPECT_EQ(Extract({Directory("d")}), molt::ERR_MAKE_DIRECTORY);
  EXPECT_EQ(Extract({File("f.txt", "f")}), molt::ERR_OUTPUT_OPEN);
  EXPECT_FALSE(fs::exists(out()));
}

TEST_F(ExtractionTest, FolderWhereAFileGoesEndsWith43) {
  fs::create_directory(out() / "taken");
  EXPECT_EQ(Extract({File("taken", "f")}), molt::ERR_OUTPUT_OPEN);
  EXPECT_TRUE(fs::is_directory(out() / "taken"));
}

TEST_F(ExtractionTest, OutputPathThatWouldNotFitIsRefusedBeforeAnythingIsCreated) {
  // Nested folders until the path no longer fits the platform's limit.
  const std::string name(200, 'n');
  Entry deepest = packwriter::WithLongName(File("F", "f"), name);
  for (int level = 0; level < 30; ++level) {
    deepest = packwriter::WithLongName(Directory("D", {deepest}), name);
  }
  const int result = Extract({deepest});
  EXPECT_EQ(result, molt::ERR_MAKE_DIRECTORY);
  std::size_t longest = 0;
  for (const auto& item : fs::recursive_directory_iterator(out())) {
    longest = std::max(longest, item.path().string().size());
  }
  EXPECT_LT(longest, platform.MaxPath());
}

// The walk goes one level deeper per folder; one-letter names nest as deep
// as the output path allows, and one level more ends in 42, not in a
// stack that runs out.
TEST_F(ExtractionTest, FoldersNestedBeyondThePathLimitEndWith42) {
  const std::size_t levels = platform.MaxPath() / 2 + 1;
  Entry tree = File("f", "f");
  for (std::size_t level = 0; level < levels; ++level) tree = Directory("a", {tree});
  EXPECT_EQ(Extract({tree}), molt::ERR_MAKE_DIRECTORY);
  EXPECT_TRUE(fs::is_directory(out() / "a" / "a" / "a"));
}

TEST_F(ExtractionTest, FileWhosePathWouldNotFitIsRefusedWith43) {
  const std::string folderName(200, 'd');
  const std::string fileName(250, 'f');
  // As many folders as fit with room to spare, then a file that does not.
  const std::size_t limit = platform.MaxPath();
  std::size_t length = out().string().size();
  int levels = 0;
  while (length + 1 + folderName.size() + 1 + fileName.size() + 1 <= limit) {
    length += 1 + folderName.size();
    ++levels;
  }
  ++levels;  // this folder still fits, the file inside it no longer does
  Entry tree = packwriter::WithLongName(File("F", "f"), fileName);
  for (int level = 0; level < levels; ++level) {
    tree = packwriter::WithLongName(Directory("D", {tree}), folderName);
  }
  EXPECT_EQ(Extract({tree}), molt::ERR_OUTPUT_OPEN);
}

// Names that could lead out of the destination, or that are no names at all.
TEST_F(ExtractionTest, HostileNamesAreRefusedWith34AndNothingLeavesTheDestination) {
  for (const std::string& name : {std::string(""), std::string("."), std::string(".."),
                                  std::string("a/b"), std::string("a\\b"), std::string("C:x"),
                                  std::string("bell\a"), std::string("tab\tname")}) {
    for (const bool asFolder : {false, true}) {
      Entry entry = asFolder ? Directory(name, {File("x.txt", "x")}) : File(name, "x");
      EXPECT_EQ(Extract({Directory("in", {entry})}), molt::ERR_INPUT_FORMAT) << name;
      EXPECT_EQ(Tree(), (std::set<std::string>{"in/"})) << name;
      EXPECT_EQ(fs::directory_iterator(dir.path()) != fs::directory_iterator(), true);
    }
  }
  // A hostile long name is refused even when the short name is harmless.
  const Entry sneaky = packwriter::WithLongName(File("SAFE.TXT", "x"), "../escaped.txt");
  EXPECT_EQ(Extract({sneaky}), molt::ERR_INPUT_FORMAT);
  EXPECT_FALSE(fs::exists(dir.path() / "escaped.txt"));
}

// Under a double-byte code page a lead byte hides the byte after it only when
// that byte can trail: no byte below 0x40 can, so a separator or a colon
// after a lone lead byte is seen and refused.
TEST_F(ExtractionTest, SeparatorAfterALoneLeadByteIsRefusedWith34) {
  platform.codePage = &molt::platform::ShiftJisCodePage();
  for (const char* name : {"\x81/..", "\x81/x", "\xFC/x", "\x81:x"}) {
    for (const bool asFolder : {false, true}) {
      Entry entry = asFolder ? Directory(name, {File("x.txt", "x")}) : File(name, "x");
      EXPECT_EQ(Extract({Directory("in", {entry})}), molt::ERR_INPUT_FORMAT) << name;
      EXPECT_EQ(Tree(), (std::set<std::string>{"in/"})) << name;
      // Beside the destination there is only the pack.
      for (const auto& item : fs::directory_iterator(dir.path())) {
        EXPECT_TRUE(item.path() == out() || item.path() == fs::path(packPath)) << item.path();
      }
      fs::remove_all(out());
      fs::create_directory(out());
    }
  }
}

// A skipped entry's name is never used, so it is not checked either.
TEST_F(ExtractionTest, SkippedEntriesMayHaveAnyName) {
  Entry skipped = File("..", "x");
  skipped.selectionMask = 1;
  EXPECT_EQ(Extract({skipped, File("ok.txt", "ok")}), 0);
  EXPECT_EQ(Tree(), (std::set<std::string>{"ok.txt"}));
}

}  // namespace
}  // namespace extraction_test
