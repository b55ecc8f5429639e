// Paths beside the executable, the installer's parameter string and the pack
// path handed to the extractor.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "extractor_binding.h"
#include "installer.h"
#include "program_harness.h"
#include "program_paths.h"
#include "system/command_line.h"

namespace app_test {
namespace {

struct AppendCase {
  const char* executable;
  const char* name;
  const char* expected;
};

class ProgramPathTable : public ::testing::TestWithParam<AppendCase> {};

TEST_P(ProgramPathTable, OneSeparatorBetweenFolderAndName) {
  kup::ProgramSystem& system = kup::DefaultProgramSystem();
  char path[kup::kPathBufferSize];
  std::strcpy(path, GetParam().executable);
  system.RemoveFileSpec(path);
  ASSERT_TRUE(system.AppendPath(path, GetParam().name));
  EXPECT_STREQ(path, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramPathTable,
                         ::testing::Values(AppendCase{"/opt/kup/kup", "package.dat",
                                                      "/opt/kup/package.dat"},
                                           AppendCase{"/kup", "package.dat", "/package.dat"},
                                           AppendCase{"/opt/kup/kup", "", "/opt/kup"},
                                           AppendCase{"/kup", "", "/"},
                                           AppendCase{"/opt/kup/kup", "/config.ini",
                                                      "/opt/kup/config.ini"}));

TEST(ProgramPath, NameThatDoesNotFitFailsAndLeavesTheBufferAlone) {
  testing_support::TempDir temp;
  ProgramFolderSystem system{temp.path() / std::string(200, 'd')};
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

TEST(InstallerParameters, SplitLikeTheWindowsCommandLine) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(kup::SplitCommandLine("/norestart /quiet \"/a b/x.msu\""),
            (Args{"/norestart", "/quiet", "/a b/x.msu"}));
  EXPECT_EQ(kup::SplitCommandLine("  a\t\"\"  b\"c d\"e "), (Args{"a", "", "bc de"}));
  EXPECT_EQ(kup::SplitCommandLine("a\\\\\"b c\" d\\e \\\"q"), (Args{"a\\b c", "d\\e", "\"q"}));
}

TEST(VolumeFormat, EveryPercentDoubledAndDoubleByteCharactersKept) {
  EXPECT_EQ(kup::VolumeFormatOf("/p/100%/%d.dat"), "/p/100%%/%%d.dat");
  EXPECT_EQ(kup::VolumeFormatOf("/plain/package.dat"), "/plain/package.dat");
  ScopedEnv codePage("MOLT_CODEPAGE", "932");
  // A trail byte is never a '%' in code page 932, but the scan still steps
  // by characters; a lead byte at the end stays as it is.
  EXPECT_EQ(kup::VolumeFormatOf("\x83\x40%\x83"), "\x83\x40%%\x83");
}

}  // namespace
}  // namespace app_test
