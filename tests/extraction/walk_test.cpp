// The tree walk: which entries are extracted, with and without a path filter.
#include <functional>

#include "errors.h"
#include "extraction_fixture.h"
#include "platform/codepage.h"

namespace extraction_test {
namespace {

using packwriter::Directory;
using packwriter::File;
using Tree = std::set<std::string>;

Entry Masked(Entry entry, std::uint32_t mask) {
  entry.selectionMask = mask;
  return entry;
}

// A root with masked and unmasked files and folders, nested.
std::vector<Entry> MaskedTree() {
  return {
      File("a.txt", "a"),
      Masked(File("masked.txt", "m"), 1),
      Directory("sub", {File("b.txt", "b"), Masked(File("c.txt", "c"), 4),
                        Directory("deep", {File("d.txt", "d")})}),
      Masked(Directory("hidden", {File("e.txt", "e")}), 2),
      File("z.txt", "z"),
  };
}

struct WalkCase {
  const char* name;
  const char* filter;  // null: no filter
  int result;
  Tree written;
};

class WalkSelectionTest : public ExtractionTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkSelectionTest, ExtractsWhatTheMasksAndTheFilterSelect) {
  const WalkCase& test = GetParam();
  EXPECT_EQ(Extract(MaskedTree(), test.filter), test.result);
  EXPECT_EQ(this->Tree(), test.written);
}

const WalkCase kWalkCases[] = {
    // Without a filter the masks decide; a masked folder hides all it holds.
    {"NoFilter", nullptr, 0,
     {"a.txt", "sub/", "sub/b.txt", "sub/deep/", "sub/deep/d.txt", "z.txt"}},
    // A file that completes the filter is written whatever its mask; the walk ends.
    {"MaskedFileByFilter", "masked.txt", 0, {"masked.txt"}},
    // A folder that completes the filter is written whatever its mask, and the
    // masks inside it count again.
    {"MaskedFolderByFilter", "hidden", 0, {"hidden/", "hidden/e.txt"}},
    {"FolderByFilterTestsMasksInside", "sub", 0,
     {"sub/", "sub/b.txt", "sub/deep/", "sub/deep/d.txt"}},
    // A folder on the way to the filter's last component is created and entered.
    {"FileInsideFolder", "sub\\deep\\d.txt", 0, {"sub/", "sub/deep/", "sub/deep/d.txt"}},
    {"FirstWildcardMatchInStreamOrder", "sub\\*.txt", 0, {"sub/", "sub/b.txt"}},
    {"StarTakesTheFirstRootEntry", "*", 0, {"a.txt"}},
    {"EmptyFilterTakesTheFirstRootEntry", "", 0, {"a.txt"}},
    {"SingleBackslashTakesTheFirstRootEntry", "\\", 0, {"a.txt"}},
    {"LeadingBackslashIsIgnored", "\\sub\\b.txt", 0, {"sub/", "sub/b.txt"}},
    {"TrailingBackslashTakesTheFolderWhole", "sub\\", 0,
     {"sub/", "sub/b.txt", "sub/deep/", "sub/deep/d.txt"}},
    {"TrailingBackslashTakesAFile", "a.txt\\", 0, {"a.txt"}},
    // A file is no folder: nothing under it can match.
    {"FileIsNotEntered", "a.txt\\x", molt::ERR_NOT_FOUND, {}},
    {"MissingLeafLeavesTheFolder", "sub\\none.txt", molt::ERR_NOT_FOUND, {"sub/"}},
    {"CaseIsIgnored", "SUB\\B.TXT", 0, {"sub/", "sub/b.txt"}},
    {"QuestionMarkNeedsOneCharacter", "a.tx?", 0, {"a.txt"}},
    {"QuestionMarkDoesNotMatchNothing", "a.txt?", molt::ERR_NOT_FOUND, {}},
    {"StarMatchesAnEmptyRest", "z.txt*", 0, {"z.txt"}},
};

INSTANTIATE_TEST_SUITE_P(Table, WalkSelectionTest, ::testing::ValuesIn(kWalkCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each case brings its own tree: siblings that match the same filter
// component, and entries after the one that completes the filter.
struct FilterWalkCase {
  const char* name;
  const char* filter;
  std::vector<Entry> root;
  int result;
  Tree written;
};

class FilterWalkTest : public ExtractionTest,
                       public ::testing::WithParamInterface<FilterWalkCase> {};

TEST_P(FilterWalkTest, ExtractsWhatTheFilterSelects) {
  const FilterWalkCase& test = GetParam();
  EXPECT_EQ(Extract(test.root, test.filter), test.result);
  EXPECT_EQ(this->Tree(), test.written);
}

// Files and folders at the root match 's*'; only 's2' holds a match for the
// rest of the filter, and only after folders that hold none.
std::vector<Entry> SiblingTree() {
  return {
      File("s0", "a file matching the first component"),
      Directory("s1", {File("a.txt", "a"), Directory("t1", {File("a.txt", "a")})}),
      Directory("s2", {Directory("t1", {File("c.txt", "c")}),
                       Directory("t2", {File("b.txt", "b"), File("b2.txt", "b2")}),
                       File("b.txt", "b")}),
      File("s3", "after"),
  };
}

const FilterWalkCase kFilterWalkCases[] = {
    // After an entry's subtree the filter cursor is back at the entry's own
    // component, so every sibling is matched against it again.
    {"SiblingsMatchTheSameComponent", "s*\\b.txt", SiblingTree(), 0,
     {"s1/", "s2/", "s2/b.txt"}},
    {"SiblingsTwoLevelsDeep", "s*\\t*\\b.txt", SiblingTree(), 0,
     {"s1/", "s1/t1/", "s2/", "s2/t1/", "s2/t2/", "s2/t2/b.txt"}},
    // A folder that completes the filter ends the walk after its subtree.
    {"FolderFirstUnderStarEndsTheWalk", "*",
     {Directory("first", {File("in.txt", "in")}), File("later.txt", "later"),
      Directory("later", {File("x.txt", "x")})},
     0, {"first/", "first/in.txt"}},
    // A file that completes the filter ends the walk at every level: its own
    // folder reads no further...
    {"FileMatchEndsItsFolder", "d*\\*.txt",
     {Directory("d", {File("a.txt", "a"), File("b.txt", "b")}), File("later.txt", "later")},
     0, {"d/", "d/a.txt"}},
    // ...and neither do the outer levels. The stream then stands inside 'd':
    // an outer level that read on would take 'd3' for one of its own entries.
    {"FileMatchEndsTheOuterLevels", "d*\\*.txt",
     {Directory("d", {File("a.txt", "a"), Directory("d3", {File("c.txt", "c")}),
                      File("b.txt", "b")}),
      Directory("d2", {File("c.txt", "c")}), File("later.txt", "later")},
     0, {"d/", "d/a.txt"}},
};

INSTANTIATE_TEST_SUITE_P(Table, FilterWalkTest, ::testing::ValuesIn(kFilterWalkCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A file that is not extracted is passed over by its packed size. Compressed
// data is shorter or longer than the contents, so a skip by the original
// size lands elsewhere than the next tag.
struct SkipCase {
  const char* name;
  const char* filter;  // null: no filter
  std::uint32_t mask;
  int level;  // 9 packs the data small; 0 makes stored blocks, a little longer
};

class SkipByPackedSizeTest : public ExtractionTest, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(SkipByPackedSizeTest, NextEntryIsReadIntact) {
  const SkipCase& test = GetParam();
  const std::string data(3000, 'k');
  ASSERT_NE(packwriter::DeflateRaw(data, test.level).size(), data.size());
  const std::vector<Entry> root = {Masked(packwriter::DeflatedFile("skip.bin", data, test.level),
                                          test.mask),
                                   File("next.txt", "next")};
  EXPECT_EQ(Extract(root, test.filter), 0);
  EXPECT_EQ(this->Tree(), (std::set<std::string>{"next.txt"}));
  EXPECT_EQ(Contents("next.txt"), "next");
}

const SkipCase kSkipCases[] = {
    {"MaskedSmallerPacked", nullptr, 1, 9},
    {"MaskedLargerPacked", nullptr, 1, 0},
    {"FilteredOutSmallerPacked", "next.txt", 0, 9},
    {"FilteredOutLargerPacked", "next.txt", 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, SkipByPackedSizeTest, ::testing::ValuesIn(kSkipCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExtractionTest, MissingLeafWithARootEndTagEndsWithZero) {
  std::vector<Entry> root = MaskedTree();
  root.push_back(packwriter::Raw(std::string("Dir ", 4)));  // an end tag at the root
  root.push_back(File("after.txt", "never read"));
  EXPECT_EQ(Extract(root, "sub\\none.txt"), 0);
  EXPECT_EQ(Tree(), (std::set<std::string>{"sub/"}));
}

TEST_F(ExtractionTest, FilterMatchesTheShortOrTheLongNameAndWritesTheLongOne) {
  const std::vector<Entry> root = {
      packwriter::WithLongName(File("LONGFI~1.TXT", "long"), "long file name.txt")};
  for (const char* filter : {"LONGFI~1.TXT", "long file name.txt", "LONG FILE*"}) {
    EXPECT_EQ(Extract(root, filter), 0) << filter;
    EXPECT_EQ(Tree(), (std::set<std::string>{"long file name.txt"})) << filter;
    std::filesystem::remove_all(out());
    std::filesystem::create_directory(out());
  }
}

TEST_F(ExtractionTest, TreeWithoutFilterKeepsStreamOrderContents) {
  ASSERT_EQ(Extract(MaskedTree()), 0);
  EXPECT_EQ(Contents("sub/deep/d.txt"), "d");
  EXPECT_EQ(Contents("a.txt"), "a");
}

TEST_F(ExtractionTest, UnknownTagRaises34AndKeepsWhatWasWritten) {
  std::vector<Entry> root = {File("first.txt", "1"), packwriter::Raw("XXXX"),
                             File("never.txt", "2")};
  EXPECT_EQ(Extract(root), molt::ERR_INPUT_FORMAT);
  EXPECT_EQ(Tree(), (std::set<std::string>{"first.txt"}));
}

// In code page 932 a trail byte may be 0x5C, the backslash: it belongs to its
// character, in names and in the filter alike.
TEST_F(ExtractionTest, DoubleByteNamesWithABackslashTrailByteMatchWholeCharacters) {
  platform.codePage = &molt::platform::ShiftJisCodePage();
  const std::string table = "\x95\x5C";  // one character whose trail byte is '\'
  const std::vector<Entry> root = {
      Directory(table + "dir", {File(table + ".txt", "x"), File("other.txt", "y")}),
  };
  const std::string filter = table + "DIR\\" + table + ".TXT";
  EXPECT_EQ(Extract(root, filter.c_str()), 0);
  // Looked up by their code-page names, as the extractor wrote them.
  const char separator = platform.PathSeparator();
  const std::string folder = out().string() + separator + table + "dir";
  std::uint32_t attributes = 0;
  EXPECT_TRUE(platform.GetFileAttributes(folder.c_str(), &attributes));
  EXPECT_TRUE(platform.GetFileAttributes((folder + separator + table + ".txt").c_str(), &attributes));
  EXPECT_FALSE(platform.GetFileAttributes((folder + separator + "other.txt").c_str(), &attributes));
  EXPECT_EQ(Tree().size(), 2u);
}

TEST(MatchComponentTest, ComparesWholeCharacters) {
  testing_support::FaultPlatform platform;
  platform.codePage = &molt::platform::ShiftJisCodePage();
  molt::Context context{platform};
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  for (const Case& test : std::initializer_list<Case>{
           {"abc*", "abc", true},
           {"a?", "a", false},
           {"*.txt", "notes.txt", true},
           {"*.txt", "notes.txt.bak", false},
           {"*a*b*c*d*e*", "aXbXcXdXeX", true},
           {"*a*b*c*d*e*f", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", false},
           {"?", "\x95\x5C", true},      // one double-byte character
           {"??", "\x95\x5C", false},
           {"\x95\x5C", "\x95\x5C", true},
           {"\x82\xA0", "\x82\xC0", false},  // double-byte characters compare exactly
           {"\x95", "\x95", false},          // a lone lead byte matches nothing
           {"\x81?", "\x81?", false},        // and '?' never trails it
           {"\x81\x40", "\x81\x40", true},    // the lowest trail byte
           {"x\\y", "x", true},              // a backslash ends the component
           {"x", "x\\y", true},              // and the name
       }) {
    EXPECT_EQ(molt::MatchComponent(context, test.pattern, test.name), test.matches)
        << test.pattern << " / " << test.name;
  }
}

}  // namespace
}  // namespace extraction_test
