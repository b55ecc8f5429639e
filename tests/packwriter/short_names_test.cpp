// Short names and DOS times of molt-pack.
#include <gtest/gtest.h>

#include "short_names.h"
#include "tree_scan.h"

namespace {

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
  };
  for (const GenerateCase& c : cases) {
    std::set<std::string> taken = c.taken;
    const std::string generated = moltpack::GenerateShortName(c.name, taken);
    EXPECT_EQ(generated, c.expected) << c.name;
    EXPECT_TRUE(moltpack::IsValidShortName(generated)) << generated;
    EXPECT_EQ(taken.count(generated), 1u);
  }
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
