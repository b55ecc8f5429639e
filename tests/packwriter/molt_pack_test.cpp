// molt-pack as a program: trees packed and unpacked again through the
// extractor, the same bytes for the same tree, failures that leave an
// earlier pack as it was, and its command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "command_line.h"
#include "compressor.h"
#include "core/pack_format.h"
#include "molt_pack_fixture.h"
#include "pack_writer.h"
#include "support/temp_dir.h"

namespace {

using namespace molt_pack_test;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr long long kTreeTime = 1205588730;  // 2008-03-15 13:45:30 UTC, an even second
constexpr const char* kTreeTimeText = "2008-03-15T13:45:30Z";

// Nested and empty folders, an empty file, a read-only file, text that
// compresses, noise that does not, and a name that needs a long name; every
// file dated kTreeTime.
void MakeTree(const fs::path& root) {
  fs::create_directories(root / "DOCS" / "DEEP" / "DEEPER");
  fs::create_directories(root / "EMPTY");
  WriteFileBytes(root / "DOCS" / "A.TXT", "0123456789");
  WriteFileBytes(root / "DOCS" / "DEEP" / "DEEPER" / "LOG.TXT", TextBytes(5000));
  WriteFileBytes(root / "DOCS" / "NOTHING.DAT", "");
  WriteFileBytes(root / "Read me first.txt", TextBytes(20000));
  WriteFileBytes(root / "NOISE.BIN", NoiseBytes(3000, 7));
  WriteFileBytes(root / "UPDATE.MSU", TextBytes(4000));
  WriteFileBytes(root / "ro.dat", "fixed");
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (item.is_regular_file()) SetModified(item.path(), kTreeTime);
  }
  fs::permissions(root / "ro.dat", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

// What unpacking must give back: the tree, each time as the pack holds it,
// in whole two seconds (or --time where given).
std::map<std::string, DiskItem> Expected(const fs::path& root, std::optional<std::int64_t> time = std::nullopt) {
  std::map<std::string, DiskItem> items = DescribeTree(root);
  for (auto& [path, item] : items) item.modified = time ? *time : item.modified - item.modified % 2;
  return items;
}

std::vector<packwriter::ListedRecord> Records(const std::string& format) {
  return packwriter::ListRecords(packwriter::StreamFromVolumes(ReadVolumes(format)));
}

// stem, number, tail: a name per run of a table.
std::string Numbered(const char* stem, int number, const char* tail) {
  std::string name = stem;
  name += std::to_string(number);
  name += tail;
  return name;
}

const packwriter::ListedRecord& Record(const std::vector<packwriter::ListedRecord>& records, const std::string& path) {
  const auto found = std::find_if(records.begin(), records.end(),
                                  [&path](const packwriter::ListedRecord& r) { return r.path == path; });
  if (found == records.end()) throw std::runtime_error("no record " + path);
  return *found;
}

struct RoundTripCase {
  std::string name;
  std::string options;
  bool list = false;  // unpack through a list file
};

std::vector<RoundTripCase> RoundTripCases() {
  std::vector<RoundTripCase> cases = {
      {"defaults", ""},
      {"verified", "--verify"},
      {"everything stored", "--store \"*\""},
      {"smallest volumes, each smaller than a record", "--volume-size 65 --verify", true},
      {"volumes of a few records", "--volume-size 300", true},
      {"one thread", "--jobs 1"},
  };
  for (int level = 0; level <= moltpack::HighestLevel(); ++level) {
    cases.push_back({"level " + std::to_string(level), "--level " + std::to_string(level)});
  }
  return cases;
}

TEST(MoltPackProgram, TreesComeBackWholeThroughTheExtractor) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  const std::map<std::string, DiskItem> expected = Expected(dir.path() / "src");
  int run = 0;
  for (const RoundTripCase& c : RoundTripCases()) {
    SCOPED_TRACE(c.name);
    const std::string format = dir / Numbered("p", ++run, "-%d.dat");
    const std::string list = dir / Numbered("l", run, ".txt");
    const std::string arguments = c.options +
                                  (c.list ? " --list " + Quoted(list) : "") + " " + Quoted(format) + " " +
                                  Quoted(dir / "src");
    ASSERT_EQ(RunMoltPack(arguments, dir / "err.txt"), 0) << ReadFileBytes(dir / "err.txt");
    EXPECT_EQ(ReadFileBytes(dir / "err.txt"), "") << "no progress line when standard error is no terminal";
    const fs::path out = dir.path() / Numbered("out", run, "");
    ASSERT_EQ(Extract(c.list ? "@" + list : format, out), 0);
    EXPECT_EQ(DescribeTree(out), expected);
  }
}

TEST(MoltPackProgram, CompressesWhereItSavesAndStoresTheRest) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  ASSERT_EQ(RunMoltPack(Quoted(dir / "p%d.dat") + " " + Quoted(dir / "src"), dir / "err.txt"), 0);
  const auto records = Records(dir / "p%d.dat");
  EXPECT_NE(Record(records, "Read me first.txt").flags & molt::ENTRY_DEFLATED, 0);
  EXPECT_EQ(Record(records, "NOISE.BIN").flags & molt::ENTRY_DEFLATED, 0) << "noise does not shrink";
  EXPECT_EQ(Record(records, "UPDATE.MSU").flags & molt::ENTRY_DEFLATED, 0) << "*.msu is stored by default";
  EXPECT_EQ(Record(records, "DOCS/A.TXT").flags & molt::ENTRY_DEFLATED, 0) << "10 bytes do not shrink";

  // The first --store replaces the defaults.
  ASSERT_EQ(RunMoltPack("--store \"*.TXT\" " + Quoted(dir / "q%d.dat") + " " + Quoted(dir / "src"), dir / "err.txt"),
            0);
  const auto replaced = Records(dir / "q%d.dat");
  EXPECT_EQ(Record(replaced, "Read me first.txt").flags & molt::ENTRY_DEFLATED, 0);
  EXPECT_NE(Record(replaced, "UPDATE.MSU").flags & molt::ENTRY_DEFLATED, 0);
}

TEST(MoltPackProgram, MasksGoIntoTheRecordsAndMaskedEntriesAreNotUnpacked) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  ASSERT_EQ(RunMoltPack("--mask \"DEEP=0x80000001\" --mask \"*.BIN=7\" " + Quoted(dir / "p%d.dat") + " " +
                            Quoted(dir / "src"),
                        dir / "err.txt"),
            0)
      << ReadFileBytes(dir / "err.txt");
  const auto records = Records(dir / "p%d.dat");
  EXPECT_EQ(Record(records, "DOCS/DEEP").selectionMask, 0x80000001u);
  EXPECT_EQ(Record(records, "NOISE.BIN").selectionMask, 7u);
  EXPECT_EQ(Record(records, "DOCS/A.TXT").selectionMask, 0u);

  ASSERT_EQ(Extract(dir / "p%d.dat", dir.path() / "out"), 0);
  EXPECT_FALSE(fs::exists(dir.path() / "out" / "DOCS" / "DEEP"));
  EXPECT_FALSE(fs::exists(dir.path() / "out" / "NOISE.BIN"));
  EXPECT_TRUE(fs::exists(dir.path() / "out" / "DOCS" / "A.TXT"));
}

// Files above the size that is compressed in memory are streamed: stored,
// compressed through a spool, or stored after all when they do not shrink.
TEST(MoltPackProgram, LargeFilesStreamInAndComeBack) {
  TempDir dir;
  const std::size_t large = moltpack::kWholeFileLimit + 100000;
  fs::create_directories(dir.path() / "src" / "SUB");
  WriteFileBytes(dir.path() / "src" / "SUB" / "TEXT.DAT", TextBytes(large));
  WriteFileBytes(dir.path() / "src" / "NOISE.DAT", NoiseBytes(large, 11));
  const std::map<std::string, DiskItem> expected = Expected(dir.path() / "src", kTreeTime);
  const std::string cases[] = {"--level 1", "--level 1 --store \"*\"", "--level 1 --volume-size 1000000"};
  int run = 0;
  for (const std::string& options : cases) {
    SCOPED_TRACE(options);
    const std::string format = dir / Numbered("p", ++run, "-%d.dat");
    ASSERT_EQ(RunMoltPack("--verify --time " + std::string(kTreeTimeText) + " " + options + " " + Quoted(format) +
                              " " + Quoted(dir / "src"),
                          dir / "err.txt"),
              0)
        << ReadFileBytes(dir / "err.txt");
    const auto records = Records(format);
    const bool storeAll = options.find("--store") != std::string::npos;
    EXPECT_EQ((Record(records, "SUB/TEXT.DAT").flags & molt::ENTRY_DEFLATED) != 0, !storeAll);
    EXPECT_EQ(Record(records, "NOISE.DAT").flags & molt::ENTRY_DEFLATED, 0);
    EXPECT_EQ(Record(records, "NOISE.DAT").crc, packwriter::Crc32(ReadFileBytes(dir.path() / "src" / "NOISE.DAT")));
    const fs::path out = dir.path() / Numbered("out", run, "");
    ASSERT_EQ(Extract(format, out), 0);
    EXPECT_EQ(DescribeTree(out), expected);
    EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{}) << "spools are removed";
  }
}

TEST(MoltPackProgram, SameTreeAndOptionsGiveTheSameBytesWhateverTheThreads) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  WriteFileBytes(dir.path() / "src" / "LARGE.TXT", TextBytes(moltpack::kWholeFileLimit + 1));
  for (const std::string options : {"", "--volume-size 5000", "--level 9"}) {
    SCOPED_TRACE(options);
    std::vector<std::vector<std::string>> packs;
    for (const char* jobs : {"1", "2", "7"}) {
      const std::string format = dir / (std::string("j") + jobs + "-%d.dat");
      ASSERT_EQ(RunMoltPack(options + " --jobs " + jobs + " " + Quoted(format) + " " + Quoted(dir / "src"),
                            dir / "err.txt"),
                0)
          << ReadFileBytes(dir / "err.txt");
      packs.push_back(ReadVolumes(format));
    }
    EXPECT_TRUE(SameBytes(packs[1], packs[0]));
    EXPECT_TRUE(SameBytes(packs[2], packs[0]));
  }
}

TEST(MoltPackProgram, TimeStampsOneTimeOnEveryEntry) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  ASSERT_EQ(RunMoltPack("--time 2020-02-29T23:59:58Z " + Quoted(dir / "p%d.dat") + " " + Quoted(dir / "src"),
                        dir / "err.txt"),
            0);
  const std::uint16_t date = packwriter::DosDate(2020, 2, 29);
  const std::uint16_t time = packwriter::DosTime(23, 59, 58);
  for (const packwriter::ListedRecord& record : Records(dir / "p%d.dat")) {
    EXPECT_EQ(record.times.lastWriteDate, date) << record.path;
    EXPECT_EQ(record.times.lastWriteTime, time) << record.path;
    EXPECT_EQ(record.times.creationDate, date) << record.path;
    EXPECT_EQ(record.times.creationTime, time) << record.path;
    EXPECT_EQ(record.times.lastAccessDate, date) << record.path;
  }
}

TEST(MoltPackProgram, AFailedRunLeavesTheEarlierPackAndNoTemporaryFiles) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  ASSERT_EQ(RunMoltPack("--list " + Quoted(dir / "list.txt") + " " + Quoted(dir / "p.dat") + " " + Quoted(dir / "src"),
                        dir / "err.txt"),
            0);
  const std::string before = ReadFileBytes(dir / "p.dat");
  const std::string listBefore = ReadFileBytes(dir / "list.txt");
  // A set needs a number in its name: this run fails once volume 2 begins,
  // after volume 1 was written.
  EXPECT_EQ(RunMoltPack("--volume-size 200 --list " + Quoted(dir / "list.txt") + " " + Quoted(dir / "p.dat") + " " +
                            Quoted(dir / "src"),
                        dir / "err.txt"),
            1);
  EXPECT_NE(ReadFileBytes(dir / "err.txt").find("p.dat: "), std::string::npos) << ReadFileBytes(dir / "err.txt");
  EXPECT_EQ(ReadFileBytes(dir / "p.dat"), before);
  EXPECT_EQ(ReadFileBytes(dir / "list.txt"), listBefore);
  EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(MoltPackProgram, VolumesOfAnEarlierLongerPackAreRemoved) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  const std::string format = dir / "v%02d.dat";
  ASSERT_EQ(RunMoltPack("--volume-size 500 " + Quoted(format) + " " + Quoted(dir / "src"), dir / "err.txt"), 0);
  const std::size_t longer = VolumePaths(format).size();
  // Not a volume: stays, and ends the search.
  const std::string stranger = packwriter::FormatVolumeName(format, static_cast<unsigned>(longer + 1));
  WriteFileBytes(stranger, "not a volume");

  ASSERT_EQ(RunMoltPack("--volume-size 3000 " + Quoted(format) + " " + Quoted(dir / "src"), dir / "err.txt"), 0);
  const std::size_t shorter = VolumePaths(format).size();
  ASSERT_LT(shorter, longer);
  for (std::size_t k = shorter + 1; k <= longer; ++k) {
    EXPECT_FALSE(fs::exists(packwriter::FormatVolumeName(format, static_cast<unsigned>(k)))) << k;
  }
  EXPECT_TRUE(fs::exists(stranger));
  ASSERT_EQ(Extract(format, dir.path() / "out"), 0);
}

TEST(MoltPackProgram, ListFileNamesTheVolumesInOrder) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  const std::string format = dir / "v%02d.dat";
  ASSERT_EQ(RunMoltPack("--volume-size 3000 --list " + Quoted(dir / "list.txt") + " " + Quoted(format) + " " +
                            Quoted(dir / "src"),
                        dir / "err.txt"),
            0);
  std::string expected;
  for (const std::string& path : VolumePaths(format)) {
    EXPECT_LE(fs::file_size(path), 3000u);
    expected += path + "\n";
  }
  EXPECT_EQ(ReadFileBytes(dir / "list.txt"), expected);
}

// The scan's warnings go to standard error, unless --quiet; a path over
// the budget is a warning, or with --refuse-long-paths a failure.
TEST(MoltPackProgram, WarningsFromTheScanUnlessQuiet) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  const std::string pack = Quoted(dir / "p%d.dat") + " " + Quoted(dir / "src");
  ASSERT_EQ(RunMoltPack("--path-budget 12 " + pack, dir / "err.txt"), 0);
  const std::string warnings = ReadFileBytes(dir / "err.txt");
  EXPECT_EQ(warnings.rfind("molt-pack: warning: ", 0), 0u) << warnings;
  EXPECT_NE(warnings.find("DEEPER"), std::string::npos) << warnings;

  ASSERT_EQ(RunMoltPack("--quiet --path-budget 12 " + pack, dir / "err.txt"), 0);
  EXPECT_EQ(ReadFileBytes(dir / "err.txt"), "");

  // One line for each topmost path over the budget, all in one run.
  EXPECT_EQ(RunMoltPack("--refuse-long-paths --path-budget 12 " + pack, dir / "err.txt"), 1);
  const std::string refusal = ReadFileBytes(dir / "err.txt");
  EXPECT_EQ(std::count(refusal.begin(), refusal.end(), '\n'), 3) << refusal;
  for (const char* path : {"DEEPER: ", "NOTHING.DAT: ", "Read me first.txt: "}) {
    EXPECT_NE(refusal.find(path), std::string::npos) << path << " in " << refusal;
  }
}

struct FailureCase {
  const char* name;
  std::string arguments;  // <pack> and <src> stand for the pack path and the tree
  int exitCode;
  const char* message;  // a part of the one line on standard error
};

TEST(MoltPackProgram, FailuresExitWithACodeAndOneLine) {
  const FailureCase cases[] = {
      {"no arguments", "", 2, "expected PACK-PATH and SOURCE-DIR"},
      {"unknown option", "--bogus <pack> <src>", 2, "unknown option --bogus"},
      {"level out of range", "--level 13 <pack> <src>", 2, "--level 13"},
      {"volume below the minimum", "--volume-size 64 <pack>%d <src>", 2, "at least 65"},
      {"volume of 4 GiB", "--volume-size 4294967296 <pack>%d <src>", 2, "above 4294967295"},
      {"mask without a value", "--mask ABC <pack> <src>", 2, "PATTERN=VALUE"},
      {"mask above 32 bits", "--mask A=0x100000000 <pack> <src>", 2, "32 bits"},
      {"bad time", "--time 2008-02-30T00:00:00Z <pack> <src>", 2, "--time"},
      {"no jobs", "--jobs 0 <pack> <src>", 2, "--jobs"},
      {"unknown code page", "--codepage 1234 <pack> <src>", 2, "--codepage: code page 1234"},
      {"--store as the old switch", "--store <pack> <src>", 2, "--store '*'"},
      {"store pattern with an empty component", "--store a//b <pack> <src>", 2, "pattern 'a//b' is empty"},
      {"mask pattern of separators only", "--mask /=1 <pack> <src>", 2, "pattern '/' is empty"},
      {"jobs above the bound", "--jobs 65 <pack> <src>", 2, "--jobs: 65 is above 64"},
      {"'-' as PACK-PATH", "- <src>", 2, "write ./- for a file named '-'"},
      {"'-' as PACK-PATH after --", "-- - <src>", 2, "PACK-PATH '-'"},
      {"missing source", "<pack> <src>/missing", 1, "missing"},
      {"bad name format", "<pack>%s <src>", 1, "<pack>%s: "},
      {"set without a number in the name", "--volume-size 100 <pack> <src>", 1, "<pack>: "},
      {"unwritable pack", "<src>/../missing/p.dat <src>", 1, "p.dat: "},
      {"pack inside the tree", "<src>/p%d.dat <src>", 1, "inside the folder being packed"},
      {"pack over a source file", "<src>/ro.dat <src>", 1, "inside the folder being packed"},
      {"list inside the tree", "--list <src>/DOCS/l.txt <pack> <src>", 1, "inside the folder being packed"},
      {"pack over a folder", "<src>/../folder <src>", 1, "folder: is a folder, not a regular file"},
      {"list over a folder", "--list <src>/../folder <pack> <src>", 1, "folder: is a folder, not a regular file"},
  };
  TempDir dir;
  MakeTree(dir.path() / "src");
  fs::create_directory(dir.path() / "folder");
  const std::string sourceBefore = ReadFileBytes(dir.path() / "src" / "ro.dat");
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string arguments = c.arguments;
    std::string message = c.message;
    for (const auto& [word, path] : {std::pair{std::string("<pack>"), dir / "out"}, std::pair{std::string("<src>"), dir / "src"}}) {
      for (std::string* text : {&arguments, &message}) {
        for (std::size_t at = text->find(word); at != std::string::npos; at = text->find(word, at + path.size())) {
          text->replace(at, word.size(), path);
        }
      }
    }
    EXPECT_EQ(RunMoltPack(arguments, dir / "err.txt"), c.exitCode);
    const std::string error = ReadFileBytes(dir / "err.txt");
    EXPECT_EQ(error.rfind("molt-pack: ", 0), 0u) << error;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    const std::size_t lines = static_cast<std::size_t>(std::count(error.begin(), error.end(), '\n'));
    EXPECT_EQ(lines, c.exitCode == 2 ? 2u : 1u) << "one line, and a hint after a usage error: " << error;
  }
  EXPECT_EQ(ReadFileBytes(dir.path() / "src" / "ro.dat"), sourceBefore);
  EXPECT_FALSE(fs::exists(dir.path() / "src" / "p1.dat"));
  EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(MoltPackProgram, HelpAndVersionGoToStandardOutput) {
  TempDir dir;
  EXPECT_EQ(RunShell(Quoted(Program()) + " --help >" + Quoted(dir / "out.txt")), 0);
  const std::string help = ReadFileBytes(dir / "out.txt");
  for (const char* part : {"usage: molt-pack [OPTION]... PACK-PATH SOURCE-DIR", "--volume-size", "from 65",
                           "Exit status: 0 success, 1 failure, 2 a usage error", "Examples:", "--store '*'",
                           "SOURCE_DATE_EPOCH", "-q, --quiet", "1 to 64", "write ./- for a file named '-'"}) {
    EXPECT_NE(help.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(RunShell(Quoted(Program()) + " --version >" + Quoted(dir / "out.txt")), 0);
  EXPECT_NE(ReadFileBytes(dir / "out.txt").find("zlib "), std::string::npos);
}

// ---------------------------------------------------------------------------
// The command line, parsed

TEST(MoltPackCommandLine, TakesEveryOption) {
  const moltpack::CommandLine line = moltpack::ParseCommandLine(
      {"--store", "*.a", "--store=*.b", "--mask", "X*=0x10", "--mask", "Y=12", "--level", "1", "--volume-size", "65",
       "--list", "l.txt", "--time", "2008-03-15T13:45:30Z", "--codepage", "932", "--path-budget", "100",
       "--refuse-long-paths", "--jobs", "3", "--verify", "--quiet", "p%d", "src"});
  EXPECT_EQ(line.scan.storePatterns, (std::vector<std::string>{"*.a", "*.b"}));
  EXPECT_EQ(line.scan.masks, (std::vector<std::pair<std::string, std::uint32_t>>{{"X*", 16}, {"Y", 12}}));
  EXPECT_EQ(line.level, 1);
  EXPECT_EQ(line.volumeSize, 65u);
  EXPECT_EQ(line.listFile, "l.txt");
  EXPECT_EQ(line.scan.fixedTime, kTreeTime);
  EXPECT_EQ(line.scan.codePage, 932);
  EXPECT_EQ(line.scan.pathBudget, 100u);
  EXPECT_TRUE(line.scan.refuseLongPaths);
  EXPECT_EQ(line.jobs, 3u);
  EXPECT_TRUE(line.verify);
  EXPECT_TRUE(line.quiet);
  EXPECT_EQ(line.packPath, "p%d");
  EXPECT_EQ(line.sourceDir, "src");
}

TEST(MoltPackCommandLine, ShortFormsAndBounds) {
  EXPECT_TRUE(moltpack::ParseCommandLine({"-q", "p", "s"}).quiet);
  EXPECT_EQ(moltpack::ParseCommandLine({"./-", "s"}).packPath, "./-");
  EXPECT_EQ(moltpack::ParseCommandLine({"--jobs", "64", "p", "s"}).jobs, 64u);
  EXPECT_LE(moltpack::ParseCommandLine({"p", "s"}).jobs, 64u) << "the default keeps to the bound";
}

TEST(MoltPackCommandLine, DefaultsAndTheEnvironmentsTime) {
  const moltpack::CommandLine line = moltpack::ParseCommandLine({"p", "s"});
  EXPECT_EQ(line.level, moltpack::DefaultLevel());
  EXPECT_EQ(line.scan.storePatterns, (std::vector<std::string>{"*.msu", "*.cab", "*.zip"}));
  EXPECT_EQ(line.volumeSize, 0u);
  EXPECT_GE(line.jobs, 1u);
  EXPECT_FALSE(line.scan.fixedTime);

  EXPECT_EQ(moltpack::ParseCommandLine({"p", "s"}, "1205588730").scan.fixedTime, kTreeTime);
  EXPECT_EQ(moltpack::ParseCommandLine({"--time", "2000-01-01T00:00:00Z", "p", "s"}, "1205588730").scan.fixedTime,
            946684800) << "--time before SOURCE_DATE_EPOCH";
  EXPECT_THROW(moltpack::ParseCommandLine({"p", "s"}, "12x"), moltpack::UsageError);
  EXPECT_THROW(moltpack::ParseCommandLine({"p", "s"}, ""), moltpack::UsageError);
}

TEST(MoltPackCommandLine, RefusesWhatItCannotTake) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"only-one"},
      {"a", "b", "c"},
      {"--level"},
      {"--level", "-1", "p", "s"},
      {"--level", "13", "p", "s"},
      {"--volume-size", "64", "p", "s"},
      {"--volume-size", "4294967296", "p", "s"},
      {"--mask", "=1", "p", "s"},
      {"--mask", "A=", "p", "s"},
      {"--mask", "A=0xG", "p", "s"},
      {"--mask", "A=4294967296", "p", "s"},
      {"--time", "2008-03-15 13:45:30", "p", "s"},
      {"--time", "2008-13-01T00:00:00Z", "p", "s"},
      {"--time", "2008-03-15T24:00:00Z", "p", "s"},
      {"--jobs", "0", "p", "s"},
      {"--codepage", "65536", "p", "s"},
      {"--verify=yes", "p", "s"},
      {"--bogus", "p", "s"},
  };
  for (const std::vector<std::string>& arguments : bad) {
    EXPECT_THROW(moltpack::ParseCommandLine(arguments), moltpack::UsageError) << testing::PrintToString(arguments);
  }
}

TEST(MoltPackCommandLine, ReadsUtcTimes) {
  EXPECT_EQ(moltpack::ParseUtcTime("1970-01-01T00:00:00Z"), 0);
  EXPECT_EQ(moltpack::ParseUtcTime("2008-03-15T13:45:30Z"), kTreeTime);
  EXPECT_EQ(moltpack::ParseUtcTime("2000-02-29T00:00:01Z"), 951782401);
  for (const char* bad : {"2001-02-29T00:00:00Z", "2008-03-15T13:45:30", "2008-03-15T13:45:60Z", "08-03-15T13:45:30Z",
                          "2008-3-15T13:45:30Z", "2008-03-15t13:45:30Z", ""}) {
    EXPECT_FALSE(moltpack::ParseUtcTime(bad)) << bad;
  }
}

}  // namespace
