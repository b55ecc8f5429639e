// The extractor's entry: the order of its steps, which failures show a box,
// the destination rules, and a second call within one load.
#include <cstring>
#include <functional>

#include "errors.h"
#include "extraction_fixture.h"

namespace extraction_test {
namespace {

using packwriter::File;

// The box of a code: its text as the platform loads it, the code, a line feed.
std::string BoxText(testing_support::FaultPlatform& platform, int code) {
  char text[256];
  platform.LoadErrorText(code, text, sizeof text);
  return std::string(text) + " (Error: " + std::to_string(code) + ")\n";
}

struct EntryStep {
  const char* name;
  int code;
  bool showsBox;
  // Arranges the failure and calls the entry with the given showErrors.
  std::function<int(ExtractionTest&, int)> run;
};

class EntryBoxTest : public ExtractionTest,
                     public ::testing::WithParamInterface<std::tuple<EntryStep, int>> {
 public:
  int Call(const char* pack, const char* destination, const char* command, int showErrors) {
    return molt::Molt(context, pack, destination, nullptr, showErrors, command);
  }
  int CallOnGoodPack(const char* command, const char* destination, int showErrors) {
    packwriter::Pack pack;
    pack.root = {File("a.txt", "a")};
    const std::string path = packwriter::WritePack(pack, dir / "good.bin").front();
    return Call(path.c_str(), destination, command, showErrors);
  }
};

const EntryStep kSteps[] = {
    {"FileSystemTest", molt::ERR_FILE_SYSTEM, false,
     [](ExtractionTest& t, int show) {
       t.platform.maxComponentLength = 254;
       return static_cast<EntryBoxTest&>(t).CallOnGoodPack("UNPACK", "", show);
     }},
    {"LowerCaseCommand", molt::ERR_OPTION, true,
     [](ExtractionTest& t, int show) {
       return static_cast<EntryBoxTest&>(t).CallOnGoodPack("unpack", "", show);
     }},
    {"CommandWithTrailingBlank", molt::ERR_OPTION, true,
     [](ExtractionTest& t, int show) {
       return static_cast<EntryBoxTest&>(t).CallOnGoodPack("UNPACK ", "", show);
     }},
    {"NullCommand", molt::ERR_OPTION, true,
     [](ExtractionTest& t, int show) {
       return static_cast<EntryBoxTest&>(t).CallOnGoodPack(nullptr, "", show);
     }},
    {"MissingPack", molt::ERR_INPUT_OPEN, true,
     [](ExtractionTest& t, int show) {
       return static_cast<EntryBoxTest&>(t).Call((t.dir / "none.bin").c_str(), "", "UNPACK",
                                                 show);
     }},
    {"NullPack", molt::ERR_INPUT_OPEN, true,
     [](ExtractionTest& t, int show) {
       return static_cast<EntryBoxTest&>(t).Call(nullptr, "", "UNPACK", show);
     }},
    // The pack is opened before the destination is set up.
    {"MissingPackAndNoDestination", molt::ERR_INPUT_OPEN, true,
     [](ExtractionTest& t, int show) {
       return static_cast<EntryBoxTest&>(t).Call((t.dir / "none.bin").c_str(), nullptr, "UNPACK",
                                                 show);
     }},
    {"NullDestination", molt::ERR_UNRECOVERABLE, true,
     [](ExtractionTest& t, int show) {
       return static_cast<EntryBoxTest&>(t).CallOnGoodPack("UNPACK", nullptr, show);
     }},
    {"NoCurrentDirectory", molt::ERR_UNRECOVERABLE, true,
     [](ExtractionTest& t, int show) {
       t.platform.failCurrentDirectory = true;
       return static_cast<EntryBoxTest&>(t).CallOnGoodPack("UNPACK", "relative", show);
     }},
    {"CrcMismatchDuringTheWalk", molt::ERR_CRC, false,
     [](ExtractionTest& t, int show) {
       packwriter::Entry file = File("a.txt", "data");
       file.crc = 1;
       packwriter::Pack pack;
       pack.root = {file};
       return t.ExtractPack(pack, nullptr, show);
     }},
    {"FilterMatchedNothing", molt::ERR_NOT_FOUND, false,
     [](ExtractionTest& t, int show) {
       packwriter::Pack pack;
       pack.root = {File("a.txt", "a")};
       return t.ExtractPack(pack, "b.txt", show);
     }},
};

TEST_P(EntryBoxTest, ShowsABoxOnlyForTheStepsBeforeTheWalkAndOnlyWithShowErrorsOne) {
  const auto& [step, showErrors] = GetParam();
  EXPECT_EQ(step.run(*this, showErrors), step.code);
  if (step.showsBox && showErrors == 1) {
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].caption, "Molt Error");
    EXPECT_EQ(platform.boxes[0].icon, molt::platform::BoxIcon::None);
    EXPECT_EQ(platform.boxes[0].text, BoxText(platform, step.code));
  } else {
    EXPECT_TRUE(platform.boxes.empty());
  }
  // Whatever happened, no volume stays open.
  EXPECT_EQ(context.reader.VolumeHandle, molt::platform::kInvalidFile);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EntryBoxTest, ::testing::Combine(::testing::ValuesIn(kSteps), ::testing::Values(0, 1, 2)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_showErrors" +
             std::to_string(std::get<1>(info.param));
    });

TEST(ErrorBoxTest, TextOfCode7AndTheTwoLinesOf255) {
  testing_support::FaultPlatform platform;
  molt::Context context{platform};
  context.ShowErrors = true;
  EXPECT_EQ(molt::ReportError(context, 7), 7);
  EXPECT_EQ(molt::ReportError(context, 255), 255);
  EXPECT_EQ(molt::ReportError(context, 0), 0);
  ASSERT_EQ(platform.boxes.size(), 2u);
  EXPECT_EQ(platform.boxes[0].text, BoxText(platform, 7));
  EXPECT_EQ(platform.boxes[1].text, BoxText(platform, 255));
  // The compiled-in texts (the string table of the Windows build is checked
  // in its own code page by the Windows suite).
  if (platform.PathSeparator() == '/') {
    EXPECT_EQ(platform.boxes[0].text, "オプションが正しくありません。 (Error: 7)\n");
    EXPECT_EQ(platform.boxes[1].text,
              "実行途中にエラーがありました。\nリカバリ処理を続けることができません。 (Error: 255)\n");
  }
  context.ShowErrors = false;
  EXPECT_EQ(molt::ReportError(context, 45), 45);
  EXPECT_EQ(platform.boxes.size(), 2u);
}

TEST(ErrorTextTest, EveryCodeHasItsText) {
  for (const int code : {4, 7, 21, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45,
                         46, 47, 255}) {
    ASSERT_NE(molt::ErrorText(code), nullptr) << code;
    EXPECT_GT(std::strlen(molt::ErrorText(code)), 0u) << code;
  }
  EXPECT_EQ(molt::ErrorText(0), nullptr);
  EXPECT_EQ(molt::ErrorText(5), nullptr);
}

TEST_F(ExtractionTest, FileSystemTestFailsBeforeAnythingIsOpened) {
  platform.maxComponentLength = 254;
  EXPECT_EQ(Extract({File("a.txt", "a")}, nullptr, 1), molt::ERR_FILE_SYSTEM);
  EXPECT_TRUE(platform.openedVolumes.empty());
  platform.maxComponentLength = 255;
  EXPECT_EQ(Extract({File("a.txt", "a")}), 0);
}

TEST_F(ExtractionTest, WrongCommandOpensNoPack) {
  packwriter::Pack pack;
  pack.root = {File("a.txt", "a")};
  const std::string path = packwriter::WritePack(pack, dir / "p.bin").front();
  EXPECT_EQ(molt::Molt(context, path.c_str(), out().string().c_str(), nullptr, 0, "Unpack"),
            molt::ERR_OPTION);
  EXPECT_TRUE(platform.openedVolumes.empty());
}

TEST_F(ExtractionTest, SecondCallInOneLoadStartsAfresh) {
  // The first call leaves a matched filter and stop flags behind.
  EXPECT_EQ(Extract({File("a.txt", "a"), File("b.txt", "b")}, "a.txt"), 0);
  EXPECT_EQ(Tree(), (std::set<std::string>{"a.txt"}));
  EXPECT_EQ(Extract({File("a.txt", "a"), File("b.txt", "b")}), 0);
  EXPECT_EQ(Tree(), (std::set<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Extract({File("c.txt", "c")}, "none"), molt::ERR_NOT_FOUND);
}

// A call that ends early closes the whole reader, its list file included:
// the next call in the same load names its volumes by its own pack path,
// never by a line left over in that list.
struct ListFileEnding {
  const char* name;
  int result;
  std::string firstLine;  // the list's first volume, under dir/
  bool withDestination;
};

class ListFileEndingTest : public ExtractionTest,
                           public ::testing::WithParamInterface<ListFileEnding> {};

TEST_P(ListFileEndingTest, NextCallReadsItsOwnPack) {
  const ListFileEnding& test = GetParam();
  packwriter::Pack listed;
  listed.root = {File("listed.txt", "listed")};
  packwriter::WritePack(listed, dir / "listed.bin");
  packwriter::Pack badCrc;
  badCrc.root = {File("bad.txt", "bad")};
  badCrc.root[0].crc = 0;
  packwriter::WritePack(badCrc, dir / "bad.bin");
  packwriter::Pack own;
  own.root = {File("own.txt", "own")};
  const std::string ownPath = packwriter::WritePack(own, dir / "own.bin").front();
  testing_support::WriteFileBytes(
      dir.path() / "list.txt",
      packwriter::ListFileText({dir / test.firstLine, dir / "listed.bin"}));

  const std::string list = "@" + (dir / "list.txt");
  const std::string destination = out().string();
  EXPECT_EQ(molt::Molt(context, list.c_str(), test.withDestination ? destination.c_str() : nullptr,
                       nullptr, 0, "UNPACK"),
            test.result);
  EXPECT_EQ(molt::Molt(context, ownPath.c_str(), destination.c_str(), nullptr, 0, "UNPACK"), 0);
  EXPECT_EQ(Contents("own.txt"), "own");
  EXPECT_FALSE(fs::exists(out() / "listed.txt"));
}

const ListFileEnding kListFileEndings[] = {
    {"OpenFails", molt::ERR_INPUT_OPEN, "none.bin", true},
    {"DestinationFails", molt::ERR_UNRECOVERABLE, "listed.bin", false},
    {"WalkFails", molt::ERR_CRC, "bad.bin", true},
};

INSTANTIATE_TEST_SUITE_P(Table, ListFileEndingTest, ::testing::ValuesIn(kListFileEndings),
                         [](const auto& info) { return std::string(info.param.name); });

// Destination rules with '/' as the separator.
TEST(PosixDestinationTest, BuildsTheOutputPath) {
  struct Case {
    const char* current;
    const char* destination;
    const char* path;
  };
  for (const Case& test : std::initializer_list<Case>{
           {"/work", "out", "/work/out"},
           {"/work", "", "/work"},
           {"/work", "out/", "/work/out"},
           {"/work", "out//", "/work/out/"},
           {"/work", "/abs/out/", "/abs/out"},
           {"/work", "/abs", "/abs"},
           {"/", "out", "/out"},
           {"/work/", "out", "/work/out"},
       }) {
    testing_support::FaultPlatform platform;
    if (platform.PathSeparator() != '/') GTEST_SKIP() << "POSIX path rules";
    platform.currentDirectory = test.current;
    molt::Context context{platform};
    ASSERT_TRUE(molt::SetUpDestination(context, test.destination)) << test.destination;
    EXPECT_STREQ(context.walk.OutputPath, test.path) << test.current << " + " << test.destination;
    EXPECT_EQ(context.walk.PathEnd, std::strlen(test.path));
  }
}

TEST(PosixDestinationTest, DestinationThatDoesNotFitIsRefused) {
  testing_support::FaultPlatform platform;
  if (platform.PathSeparator() != '/') GTEST_SKIP() << "POSIX path rules";
  platform.currentDirectory = "/work";
  molt::Context context{platform};
  const std::string tooLong = "/" + std::string(platform.MaxPath(), 'd');
  EXPECT_FALSE(molt::SetUpDestination(context, tooLong.c_str()));
  const std::string fits = "/" + std::string(platform.MaxPath() - 2, 'd');
  EXPECT_TRUE(molt::SetUpDestination(context, fits.c_str()));
  const std::string relativeTooLong(platform.MaxPath() - 5, 'r');  // "/work/" makes it too long
  EXPECT_FALSE(molt::SetUpDestination(context, relativeTooLong.c_str()));
}

TEST_F(ExtractionTest, PosixRootDestinationWritesUnderTheRoot) {
  if (platform.PathSeparator() != '/') GTEST_SKIP() << "POSIX path rules";
  // The destination '/' loses its one separator; names still go under the root.
  platform.currentDirectory = "/";
  ASSERT_TRUE(molt::SetUpDestination(context, "/"));
  EXPECT_STREQ(context.walk.OutputPath, "");
  EXPECT_EQ(context.walk.PathEnd, 0u);
}

}  // namespace
}  // namespace extraction_test
