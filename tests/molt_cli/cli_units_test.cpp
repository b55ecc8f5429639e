// The tool's pieces on their own: the command line, the English texts of
// the codes, the listing's fields and the JSON strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "json_text.h"
#include "listing.h"
#include "messages.h"
#include "system_text.h"
#include "volume_sizes.h"

namespace {

using moltcli::Command;
using moltcli::CommandLine;
using moltcli::ParseCommandLine;

struct ParseCase {
  std::vector<std::string> arguments;
  Command command;
  std::string pack;
  std::string destination;  // "-" for none
  std::string filter;       // "-" for none
};

TEST(MoltCommandLine, ReadsSubcommandsAndTheOldForm) {
  const ParseCase cases[] = {
      {{"list", "p.dat"}, Command::kList, "p.dat", "-", "-"},
      {{"list", "--json", "p.dat"}, Command::kList, "p.dat", "-", "-"},
      {{"test", "-v", "@l.txt"}, Command::kTest, "@l.txt", "-", "-"},
      {{"extract", "p.dat"}, Command::kExtract, "p.dat", "-", "-"},
      {{"extract", "p.dat", "out"}, Command::kExtract, "p.dat", "out", "-"},
      {{"extract", "--filter", "a/b", "p.dat", "out"}, Command::kExtract, "p.dat", "out", "a/b"},
      {{"extract", "--filter=a\\b", "p.dat"}, Command::kExtract, "p.dat", "-", "a\\b"},
      {{"p.dat", "out"}, Command::kExtract, "p.dat", "out", "-"},
      {{"-f", "docs", "p%d.bin", "out"}, Command::kExtract, "p%d.bin", "out", "docs"},
      {{"p.dat", "-q"}, Command::kExtract, "p.dat", "-", "-"},
      {{"extract", "list"}, Command::kExtract, "list", "-", "-"},
      {{"--", "list", "out"}, Command::kExtract, "list", "out", "-"},
      {{"list", "--codepage", "932", "p.dat"}, Command::kList, "p.dat", "-", "-"},
      {{"--help"}, Command::kHelp, "", "-", "-"},
      {{"list", "--help"}, Command::kHelp, "", "-", "-"},
      {{"--version"}, Command::kVersion, "", "-", "-"},
  };
  for (const ParseCase& c : cases) {
    const std::string shown = testing::PrintToString(c.arguments);
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.command, c.command) << shown;
    EXPECT_EQ(line.pack, c.pack) << shown;
    EXPECT_EQ(line.destination.value_or("-"), c.destination) << shown;
    EXPECT_EQ(line.filter.value_or("-"), c.filter) << shown;
  }
}

TEST(MoltCommandLine, RefusesWhatItCannotCarryOut) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"list"},
      {"list", "a", "b"},
      {"test", "a", "b"},
      {"extract", "a", "b", "c"},
      {"a", "b", "c"},
      {"--bogus", "p.dat"},
      {"list", "--filter", "x", "p.dat"},
      {"test", "--json", "p.dat"},
      {"list", "--quiet", "p.dat"},
      {"extract", "--verbose", "p.dat"},
      {"p.dat", "--json"},
      {"extract", "p.dat", "--filter"},
      {"list", "p.dat", "--codepage"},
      {"--json=yes", "list", "p.dat"},
      {""},
  };
  for (const std::vector<std::string>& arguments : bad) {
    EXPECT_THROW(ParseCommandLine(arguments), moltcli::UsageError)
        << testing::PrintToString(arguments);
  }
}

TEST(MoltCommandLine, FilterSlashesBecomeBackslashes) {
  EXPECT_EQ(moltcli::FilterForExtractor("docs/sub/a.txt"), "docs\\sub\\a.txt");
  EXPECT_EQ(moltcli::FilterForExtractor("/docs\\a*"), "\\docs\\a*");
  // A double-byte character of code page 932 whose trail byte is 0x5C stays whole.
  EXPECT_EQ(moltcli::FilterForExtractor("\x83\x5C/x"), "\x83\x5C\\x");
}

TEST(MoltCommandLine, VersionComesFromTheProject) {
  EXPECT_STREQ(moltcli::kVersion, MOLT_PROJECT_VERSION);
}

// Every code of the library's table has its name and an English text, plain
// ASCII on one line.
TEST(MoltMessages, EveryCodeHasItsNameAndAnEnglishText) {
  struct Code {
    int number;
    const char* name;
  };
  const Code codes[] = {
#define MOLT_ERROR(number, name, text) {number, #name},
#include "error_texts.def"
#undef MOLT_ERROR
  };
  for (const Code& code : codes) {
    ASSERT_NE(moltcli::ErrorName(code.number), nullptr) << code.number;
    EXPECT_STREQ(moltcli::ErrorName(code.number), code.name);
    const char* text = moltcli::EnglishText(code.number);
    ASSERT_NE(text, nullptr) << code.number;
    for (const char* p = text; *p != '\0'; ++p) {
      EXPECT_TRUE(*p >= 0x20 && *p < 0x7F) << code.name << ": " << text;
    }
  }
  EXPECT_EQ(moltcli::ErrorName(2), nullptr);
  EXPECT_EQ(moltcli::EnglishText(0), nullptr);
}

TEST(MoltMessages, OneLineNamesTheSubjectTheCodeAndTheText) {
  EXPECT_EQ(moltcli::FailureLine("docs\\a.txt", 45, "recorded 1"),
            "molt: docs\\a.txt: ERR_CRC (45): CRC error: the data does not match the file's "
            "CRC-32; recorded 1");
  EXPECT_EQ(moltcli::FailureLine("p.dat", 35).rfind("molt: p.dat: ERR_INPUT_EOF (35): ", 0), 0u);
  EXPECT_EQ(moltcli::FailureLine("a\nb\x1B", 99), "molt: a?b?: error 99");
}

TEST(MoltListingFields, AttributesAsLetters) {
  EXPECT_EQ(moltcli::AttributeLetters(0x00), "-----");
  EXPECT_EQ(moltcli::AttributeLetters(0x21), "R---A");
  EXPECT_EQ(moltcli::AttributeLetters(0x37), "RHSDA");
  EXPECT_EQ(moltcli::AttributeLetters(0x10), "---D-");
  EXPECT_EQ(moltcli::AttributeLetters(0x80), "-----+0080");
  EXPECT_EQ(moltcli::AttributeLetters(0xFFFF), "RHSDA+FFC8");
}

TEST(MoltListingFields, DosTimesAsIsoUtc) {
  EXPECT_EQ(moltcli::IsoTime((28 << 9) | (3 << 5) | 15, (13 << 11) | (45 << 5) | 15),
            "2008-03-15T13:45:30Z");
  EXPECT_EQ(moltcli::IsoTime((0 << 9) | (1 << 5) | 1, 0), "1980-01-01T00:00:00Z");
  EXPECT_EQ(moltcli::IsoTime((127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29),
            "2107-12-31T23:59:58Z");
  EXPECT_FALSE(moltcli::IsoTime(0, 0).has_value()) << "month 0";
  EXPECT_FALSE(moltcli::IsoTime((28 << 9) | (2 << 5) | 30, 0).has_value()) << "30 February";
  EXPECT_FALSE(moltcli::IsoTime((28 << 9) | (3 << 5) | 15, 24 << 11).has_value()) << "hour 24";
}

TEST(MoltJson, StringsAreValidJsonWhateverTheBytes) {
  EXPECT_EQ(moltcli::JsonString("plain"), "\"plain\"");
  EXPECT_EQ(moltcli::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(moltcli::JsonString("\n\t\x01\x1F\x7F"), "\"\\n\\t\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(moltcli::JsonString("\xE2\x80\xA8\xE2\x80\xA9"), "\"\\u2028\\u2029\"");
  EXPECT_EQ(moltcli::JsonString("\xE3\x82\xBD"), "\"\xE3\x82\xBD\"");  // U+30BD as it is
  EXPECT_EQ(moltcli::HexBytes("\x83\x5C" "a"), "835c61");
}

struct Utf8Case {
  std::string bytes;
  std::string text;
  bool exact;
};

TEST(MoltJson, BytesThatAreNoUtf8BecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  const Utf8Case cases[] = {
      {"readme.txt", "readme.txt", true},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", true},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", true},
      {"\x83\x5C", replacement + "\\", false},               // code page 932 'so'
      {"\xC0\xAF", replacement + replacement, false},        // overlong '/'
      {"\xED\xA0\x80", replacement + replacement + replacement, false},  // a surrogate
      {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement, false},
      {"abc\xE3\x82", "abc" + replacement + replacement, false},  // cut short
  };
  for (const Utf8Case& c : cases) {
    const moltcli::Utf8Text text = moltcli::Utf8OrReplacement(c.bytes);
    EXPECT_EQ(text.text, c.text) << moltcli::HexBytes(c.bytes);
    EXPECT_EQ(text.exact, c.exact) << moltcli::HexBytes(c.bytes);
  }
}

struct CutCase {
  const char* name;
  std::size_t opened;  // volumes asked for, the last perhaps not opened
  std::vector<std::uint64_t> sizes;
  int cut;  // the index found, -1 for none
};

// Only a volume that another followed can be told short, and only against
// another such volume.
TEST(MoltVolumeSizes, AVolumeFollowedByAnotherAndSmallerThanTheOthersIsCut) {
  const CutCase cases[] = {
      {"all of one size", 4, {200, 200, 200, 90}, -1},
      {"the second cut", 4, {200, 170, 200, 90}, 1},
      {"the second of three cut", 3, {200, 170, 200}, 1},
      {"the first cut", 4, {150, 200, 200, 90}, 0},
      {"the last is held against nothing", 3, {200, 200, 10}, -1},
      {"a lone middle volume", 2, {200, 170}, -1},
      {"the next could not be opened: the second was followed", 3, {200, 170}, 1},
      {"nothing sized", 3, {}, -1},
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> opened(c.opened, "v.bin");
    const std::optional<moltcli::CutVolume> cut = moltcli::FindCutVolume(opened, c.sizes);
    ASSERT_EQ(cut.has_value(), c.cut >= 0);
    if (!cut) continue;
    EXPECT_EQ(cut->index, static_cast<std::size_t>(c.cut));
    EXPECT_EQ(cut->size, c.sizes[cut->index]);
    EXPECT_EQ(cut->fullSize, 200u);
  }
  EXPECT_EQ((moltcli::CutVolume{1, 170, 0, 200}.Detail()),
            "the data of volume 2 ends early: it holds 170 bytes where volume 1 holds 200");
}

}  // namespace
