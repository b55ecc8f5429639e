// Paths beside the executable, the installer's parameter string and the pack
// path handed to the extractor.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "extractor_binding.h"
#include "installer.h"
#include "program_folder.h"
#include "program_paths.h"

namespace app_test {
namespace {

struct AppendCase {
  const char* label;
  const char* executable;
  const char* name;
  const char* expected;
  CodePage codePage = CodePage::kAny;
};

#ifdef _WIN32
// "\x95\x5C" is one character of code page 932 whose trail byte is the
// separator's byte: a path scan that steps by bytes would cut there, or take
// the folder for one that already ends in a separator.
const AppendCase kAppendCases[] = {
    {"FileInFolder", "C:\\KORU\\KUP.exe", "package.dat", "C:\\KORU\\package.dat"},
    {"FileAtDriveRoot", "C:\\KUP.exe", "package.dat", "C:\\package.dat"},
    {"Folder", "C:\\KORU\\KUP.exe", "", "C:\\KORU"},
    {"DriveRoot", "C:\\KUP.exe", "", "C:\\"},
    {"NameWithSeparator", "C:\\KORU\\KUP.exe", "\\config.ini", "C:\\KORU\\config.ini"},
    {"FileInFolderEndingInTrailByte5C", "C:\\\x95\x5C\\KUP.exe", "package.dat",
     "C:\\\x95\x5C\\package.dat", CodePage::kShiftJis},
    {"ProgramNameWithTrailByte5C", "C:\\KORU\\\x95\x5C.exe", "package.dat", "C:\\KORU\\package.dat",
     CodePage::kShiftJis},
};
#else
const AppendCase kAppendCases[] = {
    {"FileInFolder", "/opt/kup/kup", "package.dat", "/opt/kup/package.dat"},
    {"FileAtRoot", "/kup", "package.dat", "/package.dat"},
    {"Folder", "/opt/kup/kup", "", "/opt/kup"},
    {"Root", "/kup", "", "/"},
    {"NameWithSeparator", "/opt/kup/kup", "/config.ini", "/opt/kup/config.ini"},
};
#endif

void PrintTo(const AppendCase& row, std::ostream* out) { *out << row.label; }

class ProgramPathTable : public ::testing::TestWithParam<AppendCase> {};

TEST_P(ProgramPathTable, OneSeparatorBetweenFolderAndName) {
  const CodePageScope codePage(GetParam().codePage);
  if (!codePage.Active()) {
    GTEST_SKIP() << "written for another code page than " << CodePageScope::SystemCodePage();
  }
  kup::ProgramSystem& system = kup::DefaultProgramSystem();
  char path[kup::kPathBufferSize];
  std::strcpy(path, GetParam().executable);
  system.RemoveFileSpec(path);
  ASSERT_TRUE(system.AppendPath(path, GetParam().name));
  EXPECT_STREQ(path, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramPathTable, ::testing::ValuesIn(kAppendCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ProgramPath, NameThatDoesNotFitFailsAndLeavesTheBufferAlone) {
  testing_support::TempDir temp;
  // A folder of 200 bytes: room for "package.dat" beside it, none for a
  // 60-byte name.
  const std::size_t base = temp.path().string().size() + 1;
  ASSERT_LT(base, 200u);
  ProgramFolderSystem system{temp.path() / std::string(200 - base, 'd')};
  kup::SetSystemServices(&system);
  char out[kup::kPathBufferSize] = "untouched";
  EXPECT_TRUE(kup::BuildProgramPath(out, "package.dat"));
  std::strcpy(out, "untouched");
  EXPECT_FALSE(kup::BuildProgramPath(out, std::string(60, 'n').c_str()));
  EXPECT_STREQ(out, "untouched");
  system.executablePathFails = true;
  EXPECT_FALSE(kup::BuildProgramPath(out, "package.dat"));
  EXPECT_STREQ(out, "untouched");
  kup::SetSystemServices(nullptr);
}

TEST(InstallerParameters, SwitchesThenTheQuotedPathAndNothingCut) {
  char out[260];
  ASSERT_TRUE(kup::BuildInstallerParameters(out, sizeof out, "/a b/x.msu"));
  EXPECT_STREQ(out, "/norestart /quiet \"/a b/x.msu\"");

  const std::string longest(239, 'p');
  ASSERT_TRUE(kup::BuildInstallerParameters(out, sizeof out, longest.c_str()));
  EXPECT_EQ(std::strlen(out), 259u);
  std::memset(out, '#', sizeof out);
  EXPECT_FALSE(kup::BuildInstallerParameters(out, sizeof out, (longest + "p").c_str()));
  EXPECT_EQ(out[0], '#');
}

TEST(VolumeFormat, EveryPercentDoubled) {
  EXPECT_EQ(kup::VolumeFormatOf("/p/100%/%d.dat"), "/p/100%%/%%d.dat");
  EXPECT_EQ(kup::VolumeFormatOf("/plain/package.dat"), "/plain/package.dat");
}

TEST(VolumeFormat, DoubleByteCharactersKept) {
  const CodePageScope codePage(CodePage::kShiftJis);
  if (!codePage.Active()) GTEST_SKIP() << "code page " << CodePageScope::SystemCodePage();
  // A trail byte is never a '%' in code page 932; a lead byte at the end
  // stays as it is, and a '%' right after a lead byte is no trail byte: the
  // extractor would read it as a conversion.
  EXPECT_EQ(kup::VolumeFormatOf("\x83\x40%\x83"), "\x83\x40%%\x83");
  EXPECT_EQ(kup::VolumeFormatOf("\x83%d"), "\x83%%d");
}

}  // namespace
}  // namespace app_test
