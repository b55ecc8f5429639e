// Short names and DOS times of molt-pack.
#include <gtest/gtest.h>

#include "name_rules.h"
#include "platform/codepage.h"
#include "short_names.h"
#include "tree_scan.h"

namespace {

using molt::platform::CodePage;
using molt::platform::ShiftJisCodePage;
using molt::platform::SingleByteCodePage;

TEST(ShortNames, ValidOnlyAsUpperCaseEightDotThree) {
  for (const char* valid : {"A", "A.TXT", "ABCDEFGH.ABC", "X~1.{}", "1-2_3", "A.B"}) {
    EXPECT_TRUE(moltpack::IsValidShortName(valid)) << valid;
  }
  for (const char* invalid : {"", "a.txt", "ABCDEFGHI", "A.ABCD", "A.B.C", ".A", "A.", "A B", "A+B", "\xC4\x80"}) {
    EXPECT_FALSE(moltpack::IsValidShortName(invalid)) << invalid;
  }
}

struct GenerateCase {
  const char* name;
  std::set<std::string> taken;
  const char* expected;
  const CodePage* characters = &SingleByteCodePage();
};

TEST(ShortNames, GeneratedFromStemAndExtensionAndUnique) {
  const GenerateCase cases[] = {
      {"Read me first.txt", {}, "README~1.TXT"},
      {"readme.txt", {"README~1.TXT"}, "README~2.TXT"},
      {"archive.tar.gz", {}, "ARCHIV~1.GZ"},
      {".profile", {}, "PROFIL~1"},
      {"no extension at all", {}, "NOEXTE~1"},
      {"a.longext", {}, "A~1.LON"},
      {"...", {}, "_~1"},
      {"\xE6\x97\xA5\xE6\x9C\xAC.txt", {}, "_~1.TXT"},
      {"many", {"MANY~1", "MANY~2", "MANY~3", "MANY~4", "MANY~5", "MANY~6", "MANY~7", "MANY~8", "MANY~9"}, "MANY~10"},
      {"abcdefgh", {"ABCDEF~1", "ABCDEF~2", "ABCDEF~3", "ABCDEF~4", "ABCDEF~5", "ABCDEF~6", "ABCDEF~7", "ABCDEF~8",
                    "ABCDEF~9"}, "ABCDE~10"},
      // Code page 932: a double-byte character is left out whole, its trail
      // byte ('A', '{') is no letter or sign of the short name.
      {"\x83\x41\x83\x7B" "b.txt", {}, "B~1.TXT", &ShiftJisCodePage()},
      {"\x83\x41.\x83\x7B" "x", {}, "_~1.X", &ShiftJisCodePage()},
  };
  for (const GenerateCase& c : cases) {
    std::set<std::string> taken = c.taken;
    const std::string generated = moltpack::GenerateShortName(c.name, *c.characters, taken);
    EXPECT_EQ(generated, c.expected) << c.name;
    EXPECT_TRUE(moltpack::IsValidShortName(generated)) << generated;
    EXPECT_EQ(taken.count(generated), 1u);
  }
}

struct SiblingsCase {
  const char* what;
  std::vector<std::string> names;
  std::vector<moltpack::EntryNames> expected;
  const CodePage* characters = &SingleByteCodePage();
};

// The filter matches a component against either name of an entry, so no
// short name may be another sibling's name in any case.
TEST(ShortNames, NeverAnotherSiblingsNameWithoutCase) {
  const SiblingsCase cases[] = {
      {"a made-up name that a sibling has as its own",
       {"readme first.txt", "readme~1.txt"},
       {{"README~2.TXT", "readme first.txt"}, {"README~1.TXT", "readme~1.txt"}}},
      {"the same, the sibling upper case",
       {"README~1.TXT", "Read me first.txt"},
       {{"README~1.TXT", std::nullopt}, {"README~2.TXT", "Read me first.txt"}}},
      {"two taken", {"a b.txt", "ab~1.txt", "AB~2.TXT"},
       {{"AB~3.TXT", "a b.txt"}, {"AB~1.TXT", "ab~1.txt"}, {"AB~2.TXT", std::nullopt}}},
      {"a folder's name counts too", {"abc def", "abcdef~1"}, {{"ABCDEF~2", "abc def"}, {"ABCDEF~1", "abcdef~1"}}},
      {"a lower-case 8.3 name is its own short name", {"readme.txt", "Makefile"},
       {{"README.TXT", "readme.txt"}, {"MAKEFILE", "Makefile"}}},
      {"an upper-case 8.3 name needs no long name", {"README.TXT", "A"}, {{"README.TXT", std::nullopt}, {"A", std::nullopt}}},
      {"names that are no 8.3 name", {"a.b.c", "abcdefghi", "x.abcd", "a+b"},
       {{"AB~1.C", "a.b.c"}, {"ABCDEF~1", "abcdefghi"}, {"X~1.ABC", "x.abcd"}, {"AB~1", "a+b"}}},
      {"two katakana, 932", {"\x83\x41.txt", "\x83\x61.txt"},
       {{"_~1.TXT", "\x83\x41.txt"}, {"_~2.TXT", "\x83\x61.txt"}}, &ShiftJisCodePage()},
  };
  for (const SiblingsCase& c : cases) {
    const std::vector<moltpack::EntryNames> named = moltpack::NameSiblings(c.names, *c.characters);
    ASSERT_EQ(named.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < named.size(); ++i) {
      EXPECT_EQ(named[i].shortName, c.expected[i].shortName) << c.what << ": " << c.names[i];
      EXPECT_EQ(named[i].longName, c.expected[i].longName) << c.what << ": " << c.names[i];
      // Whatever the case: no other sibling answers to this short name.
      for (std::size_t j = 0; j < named.size(); ++j) {
        if (j == i) continue;
        EXPECT_NE(named[i].shortName, named[j].shortName) << c.what;
        EXPECT_NE(named[i].shortName, moltpack::FoldCase(c.names[j], *c.characters)) << c.what;
      }
    }
  }
}

// Thousands of siblings alike, under two extensions: each gets the name
// that searching from ~1 gives, all of them distinct.
TEST(ShortNames, ManySiblingsSharingAStemGetDistinctNames) {
  std::vector<std::string> names;
  for (int i = 0; i < 1500; ++i) {
    names.push_back("shared stem " + std::to_string(i) + (i % 3 == 0 ? ".doc" : ".txt"));
  }
  names.push_back("shared~5.txt");  // a sibling's own name is never given
  const std::vector<moltpack::EntryNames> named = moltpack::NameSiblings(names, SingleByteCodePage());

  std::set<std::string> taken{"SHARED~5.TXT"};
  std::set<std::string> given;
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    const std::string searched = moltpack::GenerateShortName(names[i], SingleByteCodePage(), taken);
    // The first difference tells it; the rest would follow from it.
    ASSERT_EQ(named[i].shortName, searched) << names[i];
    ASSERT_TRUE(given.insert(named[i].shortName).second) << named[i].shortName;
  }
  EXPECT_EQ(given.count("SHARED~5.TXT"), 0u);
  EXPECT_EQ(named[0].shortName, "SHARED~1.DOC");
  EXPECT_EQ(named[1].shortName, "SHARED~1.TXT");
  EXPECT_EQ(named[13].shortName, "SHARE~10.TXT");
  EXPECT_EQ(named[1499].shortName, "SHA~1001.TXT");
}

struct TimeCase {
  long long unixSeconds;
  std::uint16_t date;
  std::uint16_t time;
};

TEST(DosTimes, FromUtcSecondsWithClampsAtTheDosRange) {
  const TimeCase cases[] = {
      {1205588730, (28 << 9) | (3 << 5) | 15, (13 << 11) | (45 << 5) | 15},  // 2008-03-15 13:45:30
      {1204329599, (28 << 9) | (2 << 5) | 29, (23 << 11) | (59 << 5) | 29},  // 2008-02-29 23:59:59: odd second rounds down
      {315532800, (0 << 9) | (1 << 5) | 1, 0},                               // 1980-01-01, the first DOS moment
      {0, (0 << 9) | (1 << 5) | 1, 0},                                       // 1970: clamped up
      {-86400, (0 << 9) | (1 << 5) | 1, 0},                                  // before 1970 too
      {4354819199, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},  // 2107-12-31 23:59:59
      {4354819200, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},  // 2108: clamped down
      {10413792000, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},  // 2300
      {1LL << 62, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},    // beyond any calendar
      {-(1LL << 62), (0 << 9) | (1 << 5) | 1, 0},
  };
  for (const TimeCase& c : cases) {
    const packwriter::DosTimes times = moltpack::DosTimesFromUnix(c.unixSeconds);
    EXPECT_EQ(times.lastWriteDate, c.date) << c.unixSeconds;
    EXPECT_EQ(times.lastWriteTime, c.time) << c.unixSeconds;
    EXPECT_EQ(times.creationDate, c.date);
    EXPECT_EQ(times.creationTime, c.time);
    EXPECT_EQ(times.lastAccessDate, c.date);
  }
}

}  // namespace
