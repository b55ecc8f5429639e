// molt-pack: the command line, and packs of a small tree read back through
// the writer's own lister.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "command_line.h"
#include "core/pack_format.h"
#include "pack_writer.h"
#include "support/temp_dir.h"
#include "tree_scan.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr long long kTreeTime = 1205588730;  // 2008-03-15 13:45:30 UTC
const std::string kLongText = [] {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "The quick brown fox, line " + std::to_string(i) + ".\n";
  return text;
}();

void SetTime(const fs::path& path) {
  const auto moment = std::chrono::sys_seconds{std::chrono::seconds{kTreeTime}};
  fs::last_write_time(path, std::chrono::file_clock::from_sys(moment));
}

// DOCS/A.TXT (10 bytes), EMPTY/, "Read me first.txt" (compressible), "ro.dat" (read-only).
void MakeTree(const fs::path& root) {
  fs::create_directories(root / "DOCS");
  fs::create_directories(root / "EMPTY");
  WriteFileBytes(root / "DOCS" / "A.TXT", "0123456789");
  WriteFileBytes(root / "Read me first.txt", kLongText);
  WriteFileBytes(root / "ro.dat", "fixed");
  fs::permissions(root / "ro.dat", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  // Only files: not every platform lets a directory's time be set.
  for (const char* name : {"DOCS/A.TXT", "Read me first.txt", "ro.dat"}) SetTime(root / name);
}

packwriter::DosTimes DosTimesOf(const fs::path& path) {
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(path));
  return moltpack::DosTimesFromUnix(std::chrono::floor<std::chrono::seconds>(written).time_since_epoch().count());
}

// The program's path with the separators of the platform: the Windows
// command interpreter takes a leading '/' for an option.
std::string Program() { return fs::path(MOLT_PACK_PROGRAM).make_preferred().string(); }

// Runs a command line through the shell. The Windows command interpreter
// drops the first and the last quote of a line that holds more than two, so
// there the line gets an extra pair.
int RunShell(const std::string& command) {
#ifdef _WIN32
  return std::system(("\"" + command + "\"").c_str());
#else
  return std::system(command.c_str());
#endif
}

int RunMoltPack(const std::string& arguments, const std::string& errorFile) {
  const int status = RunShell("\"" + Program() + "\" " + arguments + " 2>\"" + errorFile + "\"");
#ifdef WEXITSTATUS
  return WEXITSTATUS(status);
#else
  return status;
#endif
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

TEST(MoltPackScan, ListsTheTreeSortedWithNamesTimesAndAttributes) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  packwriter::Pack pack;
  pack.root = moltpack::ScanTree(dir.path() / "src", {});
  const std::vector<packwriter::ListedRecord> records =
      packwriter::ListRecords(packwriter::StreamFromVolumes(packwriter::BuildVolumes(pack)));

  ASSERT_EQ(records.size(), 5u);
  const char* paths[] = {"DOCS", "DOCS/A.TXT", "EMPTY", "Read me first.txt", "ro.dat"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].path, paths[i]);
    const bool isDirectory = records[i].kind == packwriter::Entry::Kind::kDirectory;
    const packwriter::DosTimes expected =
        isDirectory ? DosTimesOf(dir.path() / "src" / paths[i]) : moltpack::DosTimesFromUnix(kTreeTime);
    EXPECT_EQ(records[i].times.lastWriteDate, expected.lastWriteDate) << paths[i];
    EXPECT_EQ(records[i].times.lastWriteTime, expected.lastWriteTime) << paths[i];
    EXPECT_EQ(records[i].times.creationDate, expected.lastWriteDate) << paths[i];
    EXPECT_EQ(records[i].times.creationTime, expected.lastWriteTime) << paths[i];
    EXPECT_EQ(records[i].times.lastAccessDate, expected.lastWriteDate) << paths[i];
  }
  EXPECT_EQ(records[1].times.lastWriteDate, (28 << 9) | (3 << 5) | 15);
  EXPECT_EQ(records[1].times.lastWriteTime, (13 << 11) | (45 << 5) | 15);
  EXPECT_EQ(records[0].kind, packwriter::Entry::Kind::kDirectory);
  EXPECT_EQ(records[2].size, 4u);  // an empty directory holds its end tag only

  const packwriter::ListedRecord& small = records[1];
  EXPECT_EQ(small.flags, 0) << "10 bytes do not shrink, so they are stored";
  EXPECT_EQ(small.packedData, "0123456789");
  EXPECT_EQ(small.crc, packwriter::Crc32("0123456789"));

  const packwriter::ListedRecord& text = records[3];
  EXPECT_EQ(text.flags, molt::ENTRY_LONG_NAME | molt::ENTRY_DEFLATED);
  EXPECT_EQ(text.shortName, "README~1.TXT");
  EXPECT_EQ(text.size, kLongText.size());
  EXPECT_LT(text.packedSize, kLongText.size());
  EXPECT_EQ(packwriter::InflateRaw(text.packedData), kLongText);
  EXPECT_EQ(text.crc, packwriter::Crc32(kLongText));

  EXPECT_EQ(records[4].shortName, "RO.DAT") << "an 8.3 name once upper-cased";
  EXPECT_EQ(records[4].longName, "ro.dat");
  EXPECT_EQ(records[4].attributes & 0x01, 0x01) << "read-only";
  EXPECT_EQ(small.attributes & 0x01, 0);
}

TEST(MoltPackScan, RefusesNamesThatCollideOnCaseInsensitiveDisks) {
  TempDir dir;
  fs::create_directories(dir.path() / "src");
  WriteFileBytes(dir.path() / "src" / "readme.txt", "a");
  WriteFileBytes(dir.path() / "src" / "README.TXT", "b");
  const auto count = std::distance(fs::directory_iterator(dir.path() / "src"), fs::directory_iterator{});
  if (count != 2) GTEST_SKIP() << "this file system does not tell the two names apart";
  EXPECT_THROW(moltpack::ScanTree(dir.path() / "src", {}), std::runtime_error);
}

TEST(MoltPackCommandLine, ParsesOptionsAndRefusesBadOnes) {
  const moltpack::CommandLine line =
      moltpack::ParseCommandLine({"--store", "--level", "9", "--volume-size", "4096", "--list", "l.txt", "p%d", "src"});
  EXPECT_TRUE(line.store);
  EXPECT_EQ(line.level, 9);
  EXPECT_EQ(line.volumeSize, 4096u);
  EXPECT_EQ(line.listFile, "l.txt");
  EXPECT_EQ(line.packPath, "p%d");
  EXPECT_EQ(line.sourceDir, "src");
  EXPECT_TRUE(moltpack::ParseCommandLine({"--help"}).help);

  const std::vector<std::vector<std::string>> bad = {
      {},          {"only-one"},           {"a", "b", "c"},          {"--level", "10", "p", "s"},
      {"--level"}, {"--level", "-1", "p", "s"}, {"--volume-size", "0", "p", "s"},
      {"--volume-size", "99999999999", "p", "s"}, {"--bogus", "p", "s"},
  };
  for (const std::vector<std::string>& arguments : bad) {
    EXPECT_THROW(moltpack::ParseCommandLine(arguments), moltpack::UsageError) << testing::PrintToString(arguments);
  }
}

TEST(MoltPackProgram, PacksATreeIntoASingleVolume) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  ASSERT_EQ(RunMoltPack(Quoted(dir / "package.dat") + " " + Quoted(dir / "src"), dir / "err.txt"), 0)
      << ReadFileBytes(dir / "err.txt");
  const std::string volume = ReadFileBytes(dir / "package.dat");

  packwriter::Pack expected;
  expected.root = moltpack::ScanTree(dir.path() / "src", {});
  EXPECT_EQ(volume, packwriter::BuildVolumes(expected).at(0));

  // Same tree, same bytes.
  ASSERT_EQ(RunMoltPack(Quoted(dir / "again.dat") + " " + Quoted(dir / "src"), dir / "err.txt"), 0);
  EXPECT_EQ(ReadFileBytes(dir / "again.dat"), volume);
}

TEST(MoltPackProgram, StoreLeavesEveryFileUncompressed) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  ASSERT_EQ(RunMoltPack("--store " + Quoted(dir / "p.dat") + " " + Quoted(dir / "src"), dir / "err.txt"), 0);
  for (const packwriter::ListedRecord& record :
       packwriter::ListRecords(packwriter::StreamFromVolumes({ReadFileBytes(dir / "p.dat")}))) {
    EXPECT_EQ(record.flags & molt::ENTRY_DEFLATED, 0) << record.path;
  }
}

TEST(MoltPackProgram, SplitsIntoNumberedVolumesWithAList) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  ASSERT_EQ(RunMoltPack("--volume-size 100 --list " + Quoted(dir / "list.txt") + " " + Quoted(dir / "v%02d.dat") +
                            " " + Quoted(dir / "src"),
                        dir / "err.txt"),
            0)
      << ReadFileBytes(dir / "err.txt");

  std::vector<std::string> volumes;
  std::string expectedList;
  for (int n = 1; fs::exists(dir / ("v" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".dat")); ++n) {
    const std::string path = dir / ("v" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".dat");
    volumes.push_back(ReadFileBytes(path));
    EXPECT_LE(volumes.back().size(), 100u);
    expectedList += path + "\n";
  }
  ASSERT_GT(volumes.size(), 2u);
  EXPECT_EQ(ReadFileBytes(dir / "list.txt"), expectedList);

  packwriter::Pack single;
  single.root = moltpack::ScanTree(dir.path() / "src", {});
  EXPECT_EQ(packwriter::StreamFromVolumes(volumes), packwriter::BuildStream(single.root).bytes);
}

struct FailureCase {
  const char* name;
  std::string arguments;  // PACK and SRC stand for the pack path and the tree
  int exitCode;
};

TEST(MoltPackProgram, FailuresExitWithACodeAndAMessage) {
  const FailureCase cases[] = {
      {"no arguments", "", 2},
      {"unknown option", "--bogus PACK SRC", 2},
      {"level out of range", "--level 12 PACK SRC", 2},
      {"missing source", "PACK SRC/missing", 1},
      {"bad name format", "PACK%s SRC", 1},
      {"volume too small", "--volume-size 64 PACK%d SRC", 1},
      {"set without a number in the name", "--volume-size 100 PACK SRC", 1},
      {"unwritable pack", "SRC/missing/p.dat SRC", 1},
  };
  TempDir dir;
  MakeTree(dir.path() / "src");
  for (const FailureCase& c : cases) {
    std::string arguments = c.arguments;
    for (const auto& [word, path] : {std::pair{std::string("PACK"), dir / "out"}, std::pair{std::string("SRC"), dir / "src"}}) {
      for (std::size_t at = arguments.find(word); at != std::string::npos; at = arguments.find(word, at + path.size())) {
        arguments.replace(at, word.size(), path);
      }
    }
    EXPECT_EQ(RunMoltPack(arguments, dir / "err.txt"), c.exitCode) << c.name;
    EXPECT_NE(ReadFileBytes(dir / "err.txt").find("molt-pack: "), std::string::npos) << c.name;
  }
}

TEST(MoltPackProgram, HelpGoesToStandardOutput) {
  TempDir dir;
  EXPECT_EQ(RunShell("\"" + Program() + "\" --help >\"" + (dir / "out.txt") + "\""), 0);
  EXPECT_NE(ReadFileBytes(dir / "out.txt").find("usage: molt-pack"), std::string::npos);
}

}  // namespace
