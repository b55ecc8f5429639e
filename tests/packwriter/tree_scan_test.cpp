// molt-pack's scan of a source tree: what it refuses, the names it gives in
// the target code page, masks and store patterns, times, and a round trip
// of what it describes through the extractor.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

#include "extraction/extraction_fixture.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "tree_scan.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using moltpack::ScanOptions;
using moltpack::SourceEntry;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr long long kTreeTime = 1205588730;  // 2008-03-15 13:45:30 UTC

// A path from UTF-8 text, on every system.
fs::path U8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

void SetTime(const fs::path& path, long long unixSeconds) {
  const auto moment = std::chrono::sys_seconds{std::chrono::seconds{unixSeconds}};
  fs::last_write_time(path, std::chrono::file_clock::from_sys(moment));
}

// Files (a trailing '/' makes a folder) under `root`, each holding its name.
void MakeTree(const fs::path& root, const std::vector<std::string>& paths) {
  fs::create_directories(root);
  for (const std::string& path : paths) {
    if (path.back() == '/') {
      fs::create_directories(root / U8(path));
    } else {
      fs::create_directories((root / U8(path)).parent_path());
      WriteFileBytes(root / U8(path), path);
    }
  }
}

struct Scanned {
  std::vector<SourceEntry> tree;
  std::vector<std::string> warnings;
  // Every entry by its path in the pack.
  std::map<std::string, const SourceEntry*> byPackPath;
};

void Index(const std::vector<SourceEntry>& entries, std::map<std::string, const SourceEntry*>& index) {
  for (const SourceEntry& entry : entries) {
    index[entry.packPath] = &entry;
    Index(entry.children, index);
  }
}

std::unique_ptr<Scanned> Scan(const fs::path& root, const ScanOptions& options = {}) {
  auto scanned = std::make_unique<Scanned>();
  scanned->tree = moltpack::ScanSourceTree(root, options, [&scanned](const std::string& text) {
    scanned->warnings.push_back(text);
  });
  Index(scanned->tree, scanned->byPackPath);
  return scanned;
}

// The message of the scan's failure, or "" when it succeeds.
std::string ScanFailure(const fs::path& root, const ScanOptions& options = {}) {
  try {
    Scan(root, options);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

TEST(TreeScan, DescribesTheTreeSortedByNameBytes) {
  TempDir dir;
  const fs::path src = dir.path() / "src";
  MakeTree(src, {"b.txt", "a dir/Inner File.TXT", "a dir/empty/", "ro.dat", "B2"});
  fs::permissions(src / "ro.dat", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  for (const char* file : {"b.txt", "a dir/Inner File.TXT", "ro.dat", "B2"}) SetTime(src / file, kTreeTime);
  const auto scanned = Scan(src);

  std::vector<std::string> order;
  for (const SourceEntry& entry : scanned->tree) order.push_back(entry.packPath);
  EXPECT_EQ(order, (std::vector<std::string>{"B2", "a dir", "b.txt", "ro.dat"}));

  const SourceEntry& folder = scanned->tree[1];
  EXPECT_EQ(folder.kind, SourceEntry::Kind::kDirectory);
  EXPECT_EQ(folder.attributes, 0x10);
  EXPECT_EQ(folder.shortName, "ADIR~1");
  EXPECT_EQ(folder.longName, "a dir");
  EXPECT_EQ(folder.source, src / "a dir");
  ASSERT_EQ(folder.children.size(), 2u);
  const SourceEntry& inner = folder.children[0];
  EXPECT_EQ(inner.packPath, "a dir\\Inner File.TXT");
  EXPECT_EQ(inner.displayPath, (fs::path("a dir") / "Inner File.TXT").string());
  EXPECT_EQ(inner.shortName, "INNERF~1.TXT");
  EXPECT_EQ(inner.size, std::string("a dir/Inner File.TXT").size());
  EXPECT_EQ(inner.times.lastWriteDate, (28 << 9) | (3 << 5) | 15);
  EXPECT_EQ(inner.times.lastWriteTime, (13 << 11) | (45 << 5) | 15);
  EXPECT_EQ(inner.attributes, 0);
  EXPECT_EQ(folder.children[1].packPath, "a dir\\empty");

  const SourceEntry& readOnly = *scanned->byPackPath.at("ro.dat");
  EXPECT_EQ(readOnly.attributes, 0x01);
  EXPECT_EQ(readOnly.shortName, "RO.DAT") << "a lower-case 8.3 name needs no ~1";
  EXPECT_EQ(readOnly.longName, "ro.dat");
  EXPECT_EQ(scanned->byPackPath.at("B2")->longName, std::nullopt);
  EXPECT_TRUE(scanned->warnings.empty());
}

TEST(TreeScan, SourceDirMustBeAFolder) {
  TempDir dir;
  WriteFileBytes(dir.path() / "file", "x");
  const std::string missing = ScanFailure(dir.path() / "missing");
  EXPECT_NE(missing.find("missing: does not exist"), std::string::npos) << missing;
  const std::string file = ScanFailure(dir.path() / "file");
  EXPECT_NE(file.find("file: is a file, not a folder"), std::string::npos) << file;
}

#ifndef _WIN32
// Names that the extractor's Windows backend refuses (it would stop with 34)
// or that Windows cannot hold are refused by name. POSIX file systems can
// hold them all.
TEST(TreeScan, RefusesNamesThatWindowsRefuses) {
  for (const char* name : {"aux.c", "con.txt", "NUL", "COM1.log", "lpt9", "CON .txt", "nul.", "Prn  .doc",
                           "a\\b", "a:b", "a|b", "a?", "x ", "tab\there", "say \"hi\""}) {
    TempDir dir;
    MakeTree(dir.path(), {std::string("sub/") + name});
    const std::string failure = ScanFailure(dir.path());
    EXPECT_NE(failure.find(std::string("sub/") + name + ": "), std::string::npos) << name << ": " << failure;
  }
}

TEST(TreeScan, RefusesLinksAndWhatIsNeitherFileNorFolder) {
  TempDir dir;
  MakeTree(dir.path() / "a", {"target.txt"});
  fs::create_symlink("target.txt", dir.path() / "a" / "link.txt");
  EXPECT_NE(ScanFailure(dir.path() / "a").find("link.txt: is a symbolic link"), std::string::npos);

  MakeTree(dir.path() / "b", {"x"});
  fs::create_directory_symlink(".", dir.path() / "b" / "loop");
  EXPECT_NE(ScanFailure(dir.path() / "b").find("loop: is a symbolic link"), std::string::npos);

  MakeTree(dir.path() / "c", {"x"});
  ASSERT_EQ(mkfifo((dir.path() / "c" / "pipe").c_str(), 0600), 0);
  EXPECT_NE(ScanFailure(dir.path() / "c").find("pipe: is neither a regular file nor a folder"), std::string::npos);
}
#endif

// Code page 932 from UTF-8 sources: 'ソ' is 83 5C, '表' 95 5C, 'ポ' 83 7C;
// 'ア' 83 41 and 'ヂ' 83 61 differ only in a trail byte that reads as 'A'
// or 'a'.
TEST(TreeScan, NamesInCodePage932AreCheckedByItsCharacters) {
  TempDir dir;
  MakeTree(dir.path(), {"ソ.txt", "表/ポ.txt", "ア", "ヂ", "ｱ"});
  ScanOptions options;
  options.codePage = 932;
  const auto scanned = Scan(dir.path(), options);
  std::vector<std::string> names;
  for (const auto& [packPath, entry] : scanned->byPackPath) names.push_back(packPath);
  EXPECT_EQ(names, (std::vector<std::string>{"\x83\x41", "\x83\x5C.txt", "\x83\x61", "\x95\x5C", "\x95\x5C\\\x83\x7C.txt",
                                             "\xB1"}));
  const SourceEntry& file = *scanned->byPackPath.at("\x83\x5C.txt");
  EXPECT_EQ(file.longName, "\x83\x5C.txt");
  EXPECT_EQ(file.shortName, "_~1.TXT");
  EXPECT_EQ(file.source, dir.path() / U8("ソ.txt"));

#ifndef _WIN32
  // Code page 0 keeps the names' own bytes (on Windows: the ANSI code page).
  const auto kept = Scan(dir.path());
  EXPECT_EQ(kept->byPackPath.count("\xE3\x82\xBD.txt"), 1u);
  EXPECT_EQ(kept->byPackPath.count("\xE8\xA1\xA8\\\xE3\x83\x9D.txt"), 1u);
#endif
}

TEST(TreeScan, NamesWithoutAnExactFormInTheCodePageAreRefused) {
  // No such character in 932; the yen sign would become a backslash and the
  // wave dash the full-width tilde: neither comes back as itself.
  for (const char* name : {"caf\xC3\xA9.txt", "\xF0\x9F\x98\x80", "a\xC2\xA5" "b", "\xE3\x80\x9C"}) {
    TempDir dir;
    MakeTree(dir.path(), {std::string("sub/") + name});
    ScanOptions options;
    options.codePage = 932;
    const std::string failure = ScanFailure(dir.path(), options);
    EXPECT_NE(failure.find(std::string(name) + ": its name cannot be written in code page 932"), std::string::npos)
        << failure;
  }
#ifndef _WIN32
  TempDir dir;
  MakeTree(dir.path(), {"\xFF.bin"});  // no UTF-8
  ScanOptions options;
  options.codePage = 932;
  EXPECT_NE(ScanFailure(dir.path(), options).find("cannot be written in code page 932"), std::string::npos);
  options.codePage = 0;
  EXPECT_EQ(ScanFailure(dir.path(), options), "") << "code page 0 keeps the bytes";
#endif
}

struct TwinCase {
  const char* a;
  const char* b;
  int codePage;
};

// Windows' file systems take each pair for one name, whatever the code page:
// ASCII, accented Latin, Greek, Cyrillic and full-width letters alike.
TEST(TreeScan, NamesAlikeWithoutCaseInTheCodePageAreRefused) {
  const TwinCase cases[] = {
      {"Name.txt", "NAME.TXT", 0},      {"Name.txt", "NAME.TXT", 932},
      {"é.txt", "É.txt", 0},            {"ŝ", "Ŝ", 0},
      {"Ａ.txt", "ａ.txt", 0},          {"Ａ.txt", "ａ.txt", 932},
      {"αβγ", "ΑΒΓ", 932},              {"привет", "ПРИВЕТ", 932},
      {"Ёлка", "ёлка", 0},
  };
  for (const TwinCase& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b + " in code page " + std::to_string(c.codePage));
    TempDir dir;
    MakeTree(dir.path(), {c.a, c.b});
    if (std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}) != 2) {
      GTEST_SKIP() << "this file system does not tell the two names apart";
    }
    ScanOptions options;
    options.codePage = c.codePage;
    const std::string failure = ScanFailure(dir.path(), options);
    EXPECT_NE(failure.find("are the same name where case is not told apart"), std::string::npos) << failure;
  }
  // Not alike: no simple upper case (ß), a full-width letter and ASCII.
  TempDir dir;
  MakeTree(dir.path(), {"ß", "SS", "Ａ", "A", "ı", "I"});
  EXPECT_EQ(ScanFailure(dir.path()), "");
}

#ifndef _WIN32
// Every refusal of the tree is told in one run, one line each, also below a
// refused folder; what is fine is not told.
TEST(TreeScan, EveryRefusedNameIsToldBeforeTheScanFails) {
  TempDir dir;
  MakeTree(dir.path(), {"aux.c", "fine.txt", "sub/a:b", "sub/ok", "con/nul.txt", "case/x.txt", "case/X.TXT"});
  fs::create_symlink("fine.txt", dir.path() / "link");
  std::vector<std::string> lines;
  try {
    Scan(dir.path());
  } catch (const moltpack::RefusedEntries& refused) {
    lines = refused.lines();
    const std::string text = refused.what();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<std::ptrdiff_t>(lines.size()) - 1);
  }
  std::vector<std::string> refusedPaths;
  for (const std::string& line : lines) refusedPaths.push_back(line.substr(0, line.find(": ")));
  std::sort(refusedPaths.begin(), refusedPaths.end());
  EXPECT_EQ(refusedPaths, (std::vector<std::string>{dir / "aux.c", dir / "case/x.txt", dir / "con",
                                                    dir / "con/nul.txt", dir / "link", dir / "sub/a:b"}))
      << testing::PrintToString(lines);
}
#endif

TEST(TreeScan, AnUnknownCodePageIsRefused) {
  TempDir dir;
  ScanOptions options;
  options.codePage = 4242;
  EXPECT_NE(ScanFailure(dir.path(), options).find("code page 4242 is not"), std::string::npos);
}

struct PatternCase {
  const char* what;
  std::vector<std::pair<std::string, std::uint32_t>> masks;
  std::vector<std::string> store;
  std::map<std::string, std::uint32_t> expectedMasks;  // entries not named: 0
  std::vector<std::string> expectedStored;
  int codePage = 0;
};

// Scans `tree` once per case and compares every entry's mask and store mark.
void ExpectPatternOutcomes(const std::vector<std::string>& tree, const std::vector<PatternCase>& cases) {
  TempDir dir;
  MakeTree(dir.path(), tree);
  for (const PatternCase& c : cases) {
    ScanOptions options;
    options.masks = c.masks;
    options.storePatterns = c.store;
    options.codePage = c.codePage;
    const auto scanned = Scan(dir.path(), options);
    for (const auto& [packPath, entry] : scanned->byPackPath) {
      const auto mask = c.expectedMasks.find(packPath);
      EXPECT_EQ(entry->selectionMask, mask == c.expectedMasks.end() ? 0 : mask->second) << c.what << ": " << packPath;
      const bool stored = std::find(c.expectedStored.begin(), c.expectedStored.end(), packPath) != c.expectedStored.end();
      EXPECT_EQ(entry->store, stored) << c.what << ": " << packPath;
    }
  }
}

TEST(TreeScan, MasksAndStorePatternsMatchAsTheFilterDoes) {
  const std::vector<std::string> defaults{"*.msu", "*.cab", "*.zip"};
  ExpectPatternOutcomes(
      {"setup.msu", "DATA.CAB", "docs/readme.txt", "docs/extras/x.zip", "extras/y.txt", "Read me first.txt"},
      {
          {"default store patterns, any case, any depth", {}, defaults, {},
           {"setup.msu", "DATA.CAB", "docs\\extras\\x.zip"}},
          {"a name at any depth, folders too", {{"extras", 1}}, {}, {{"extras", 1}, {"docs\\extras", 1}}, {}},
          {"a path from the root, '/' as '\\'", {{"docs/extras", 2}}, {}, {{"docs\\extras", 2}}, {}},
          {"leading and trailing separators are dropped", {{"/extras/", 3}}, {}, {{"extras", 3}}, {}},
          {"the last matching pattern wins", {{"*.txt", 3}, {"docs\\*.txt", 4}}, {},
           {{"docs\\readme.txt", 4}, {"extras\\y.txt", 3}, {"Read me first.txt", 3}}, {}},
          {"short names match", {{"README~1.TXT", 5}}, {}, {{"Read me first.txt", 5}}, {}},
          {"'?' is one character", {{"y.tx?", 6}, {"y.t?", 7}}, {}, {{"extras\\y.txt", 6}}, {}},
          {"store by path, files only", {}, {"docs\\*"}, {}, {"docs\\readme.txt"}},
      });
}

#ifndef _WIN32
// Patterns in UTF-8, as this system's command line gives them, under code
// page 932: '表' (95 5C) is one character, not a separator; 'ア' (83 41)
// and 'ヂ' (83 61) are two characters, not one in two cases.
TEST(TreeScan, PatternsMatchByTheCodePagesCharacters) {
  ExpectPatternOutcomes({"extras/表.txt", "extras/ア.txt"},
                        {
                            {"a trail byte 0x5C does not cut a pattern", {{"表*", 8}}, {},
                             {{"extras\\\x95\x5C.txt", 8}}, {}, 932},
                            {"a double-byte character matches only itself", {{"*ア*", 9}, {"*ヂ*", 10}}, {},
                             {{"extras\\\x83\x41.txt", 9}}, {}, 932},
                        });
}
#endif

TEST(TreeScan, PatternsThatSelectNothingAreRefused) {
  TempDir dir;
  for (const std::string& pattern : {std::string(""), std::string("a//b"), std::string("/")}) {
    ScanOptions options;
    options.storePatterns = {pattern};
    EXPECT_NE(ScanFailure(dir.path(), options).find("empty"), std::string::npos) << pattern;
  }
#ifndef _WIN32
  // 'é' in UTF-8, which code page 932 does not have.
  ScanOptions options;
  options.codePage = 932;
  options.masks = {{"\xC3\xA9*", 1}};
  EXPECT_NE(ScanFailure(dir.path(), options).find("pattern '\xC3\xA9*' cannot be written in code page 932"),
            std::string::npos);
#endif
}

TEST(TreeScan, ClampedTimesAreToldOncePerRun) {
  TempDir dir;
  MakeTree(dir.path(), {"a", "b/c", "d"});
  for (const char* file : {"a", "b/c", "d"}) SetTime(dir.path() / file, 0);  // 1970
  const auto scanned = Scan(dir.path());
  ASSERT_EQ(scanned->warnings.size(), 1u) << testing::PrintToString(scanned->warnings);
  EXPECT_EQ(scanned->warnings[0].rfind("a and 2 more entries: times before 1980", 0), 0u) << scanned->warnings[0];
  EXPECT_EQ(scanned->byPackPath.at("a")->times.lastWriteDate, (0 << 9) | (1 << 5) | 1);

  ScanOptions fixed;
  fixed.fixedTime = kTreeTime;
  const auto stamped = Scan(dir.path(), fixed);
  EXPECT_TRUE(stamped->warnings.empty());
  for (const auto& [packPath, entry] : stamped->byPackPath) {
    EXPECT_EQ(entry->times.lastWriteDate, (28 << 9) | (3 << 5) | 15) << packPath;
    EXPECT_EQ(entry->times.creationTime, (13 << 11) | (45 << 5) | 15) << packPath;
  }
  fixed.fixedTime = 4354819200;  // 2108
  EXPECT_EQ(Scan(dir.path(), fixed)->warnings.size(), 1u);

#ifndef _WIN32
  // Past 2262 the library's nanosecond clock ends; the file is clamped all
  // the same, told in the same one warning.
  const struct timespec in2300[2] = {{10413792000, 0}, {10413792000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / "d").c_str(), in2300, AT_SYMLINK_NOFOLLOW), 0);
  const auto late = Scan(dir.path());
  ASSERT_EQ(late->warnings.size(), 1u) << testing::PrintToString(late->warnings);
  EXPECT_EQ(late->warnings[0].rfind("a and 2 more entries: ", 0), 0u) << late->warnings[0];
  EXPECT_EQ(late->byPackPath.at("d")->times.lastWriteDate, (127 << 9) | (12 << 5) | 31);
#endif
}

TEST(TreeScan, PathsOverTheBudgetAreToldOnceFromTheTopOrRefused) {
  TempDir dir;
  MakeTree(dir.path(), {"short", "long-folder-name/inner/file.txt", "long-file-name.txt"});
  ScanOptions options;
  options.pathBudget = 12;
  const auto scanned = Scan(dir.path(), options);
  ASSERT_EQ(scanned->warnings.size(), 2u) << testing::PrintToString(scanned->warnings);
  EXPECT_NE(scanned->warnings[0].find("long-file-name.txt: its path in the pack is 18 bytes, over the budget of 12"),
            std::string::npos)
      << scanned->warnings[0];
  EXPECT_NE(scanned->warnings[0].find("at most 240 bytes"), std::string::npos) << scanned->warnings[0];
  EXPECT_NE(scanned->warnings[1].find("long-folder-name: its path in the pack is 16 bytes"), std::string::npos);
  EXPECT_NE(scanned->warnings[1].find("everything inside it"), std::string::npos);

  options.refuseLongPaths = true;
  EXPECT_NE(ScanFailure(dir.path(), options).find("long-file-name.txt: its path in the pack is 18 bytes"),
            std::string::npos);
  options.pathBudget = 160;
  EXPECT_EQ(ScanFailure(dir.path(), options), "");
}

#ifndef _WIN32
// Sizes that the pack's 32-bit fields cannot hold, in sparse files.
TEST(TreeScan, SizesBeyondThirtyTwoBitsAreRefused) {
  TempDir dir;
  fs::create_directories(dir.path() / "big");
  WriteFileBytes(dir.path() / "big" / "huge.bin", "");
  fs::resize_file(dir.path() / "big" / "huge.bin", 0x100000000ull);
  EXPECT_NE(ScanFailure(dir.path() / "big").find("huge.bin: a file of 4 GiB or more"), std::string::npos);
  fs::resize_file(dir.path() / "big" / "huge.bin", 0xFFFFFFFFull);
  EXPECT_EQ(ScanFailure(dir.path() / "big"), "");

  // Two stored files of 2.5 GiB: their folder's contents cannot be counted.
  fs::create_directories(dir.path() / "set" / "folder");
  for (const char* name : {"one.bin", "two.bin"}) {
    WriteFileBytes(dir.path() / "set" / "folder" / name, "");
    fs::resize_file(dir.path() / "set" / "folder" / name, 0xA0000000ull);
  }
  ScanOptions stored;
  stored.storePatterns = {"*.bin"};
  EXPECT_NE(ScanFailure(dir.path() / "set", stored).find("folder: its contents take at least 5368709"),
            std::string::npos);
  // Compressed, they may well fit: the pack output knows their sizes.
  EXPECT_EQ(ScanFailure(dir.path() / "set"), "");
}
#endif

// The pack that the scan describes, with the files' contents, as the writer
// takes it.
std::vector<packwriter::Entry> PackEntries(const std::vector<SourceEntry>& tree) {
  std::vector<packwriter::Entry> entries;
  for (const SourceEntry& source : tree) {
    packwriter::Entry entry = source.kind == SourceEntry::Kind::kDirectory
                                  ? packwriter::Directory(source.shortName, PackEntries(source.children))
                                  : packwriter::File(source.shortName, testing_support::ReadFileBytes(source.source));
    entry.longName = source.longName;
    entry.attributes = source.attributes;
    entry.times = source.times;
    entry.selectionMask = source.selectionMask;
    entries.push_back(entry);
  }
  return entries;
}

class ScanRoundTrip : public extraction_test::ExtractionTest {};

// The filter 'readme~1.txt' names the file of that name, not the one whose
// short name was made up.
TEST_F(ScanRoundTrip, AFilterForAShortNamePicksTheFileOfThatName) {
  MakeTree(dir.path() / "src", {"readme first.txt", "readme~1.txt"});
  ASSERT_EQ(Extract(PackEntries(Scan(dir.path() / "src")->tree), "readme~1.txt"), 0);
  EXPECT_EQ(Tree(), (std::set<std::string>{"readme~1.txt"}));
  EXPECT_EQ(Contents("readme~1.txt"), "readme~1.txt");
}

#ifndef _WIN32
// Under code page 932 the extractor creates the names that the scan
// converted, trail bytes 0x5C and all.
TEST_F(ScanRoundTrip, CodePage932NamesComeOutAsConverted) {
  MakeTree(dir.path() / "src", {"表/ソ.txt", "ア", "ヂ"});
  ScanOptions options;
  options.codePage = 932;
  const std::vector<packwriter::Entry> pack = PackEntries(Scan(dir.path() / "src", options)->tree);
  platform.codePage = &molt::platform::ShiftJisCodePage();
  ASSERT_EQ(Extract(pack), 0);
  EXPECT_EQ(Tree(), (std::set<std::string>{"\x83\x41", "\x83\x61", "\x95\x5C/", "\x95\x5C/\x83\x5C.txt"}));
  EXPECT_EQ(Contents("\x95\x5C/\x83\x5C.txt"), "表/ソ.txt");
}

// The filter finds a name by its katakana, whose trail bytes read as 'A'
// and 'a'.
TEST_F(ScanRoundTrip, CodePage932NamesAreFoundByTheFilter) {
  MakeTree(dir.path() / "src", {"ア", "ヂ"});
  ScanOptions options;
  options.codePage = 932;
  const std::vector<packwriter::Entry> pack = PackEntries(Scan(dir.path() / "src", options)->tree);
  platform.codePage = &molt::platform::ShiftJisCodePage();
  ASSERT_EQ(Extract(pack, "\x83\x61"), 0);
  EXPECT_EQ(Tree(), (std::set<std::string>{"\x83\x61"}));
  EXPECT_EQ(Contents("\x83\x61"), "ヂ");
}
#endif

}  // namespace
