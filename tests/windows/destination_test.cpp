// The destination folder with drive letters: how SetUpDestination joins the
// caller's destination to the current directory and where the walk's path
// ends. Windows-only: these are the Win32 path rules.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "core/context.h"
#include "core/extract.h"
#include "platform/codepage.h"
#include "support/fault_platform.h"

namespace {

struct DestinationCase {
  const char* name;
  const char* currentDirectory;
  const char* destination;
  const char* outputPath;
};

void PrintTo(const DestinationCase& c, std::ostream* out) { *out << c.name; }

class WindowsDestination : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(WindowsDestination, BuildsTheOutputPath) {
  const DestinationCase& c = GetParam();
  testing_support::FaultPlatform sys;
  sys.currentDirectory = c.currentDirectory;
  sys.codePage = &molt::platform::ShiftJisCodePage();
  molt::Context context(sys);

  ASSERT_TRUE(molt::SetUpDestination(context, c.destination));
  EXPECT_STREQ(context.walk.OutputPath, c.outputPath);
  EXPECT_EQ(context.walk.PathEnd, std::strlen(c.outputPath));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WindowsDestination,
    ::testing::Values(
        DestinationCase{"Relative", "C:\\work", "out", "C:\\work\\out"},
        DestinationCase{"RootedOnTheCurrentDrive", "C:\\work", "\\out", "C:\\out"},
        DestinationCase{"EmptyIsTheCurrentDirectory", "C:\\work", "", "C:\\work"},
        DestinationCase{"DriveWithTrailingBackslash", "C:\\work", "D:\\out\\", "D:\\out"},
        DestinationCase{"OnlyTheLastBackslashGoes", "C:\\work", "D:\\out\\\\", "D:\\out\\"},
        DestinationCase{"DriveRelative", "C:\\work", "D:out", "D:out"},
        DestinationCase{"BareDrive", "C:\\work", "D:", "D:"},
        DestinationCase{"CurrentDirectoryIsARoot", "C:\\", "out", "C:\\out"},
        DestinationCase{"RootCurrentDirectoryAndEmpty", "C:\\", "", "C:"},
        DestinationCase{"RootedFromARoot", "C:\\", "\\out", "C:\\out"},
        // 0x95 0x5C is one character of code page 932 whose second byte is
        // the backslash: it neither ends the current directory nor goes.
        DestinationCase{"TrailByteIsNotABackslash", "C:\\\x95\x5c", "out",
                        "C:\\\x95\x5c\\out"},
        DestinationCase{"TrailByteEndsTheDestination", "C:\\work", "D:\\\x95\x5c",
                        "D:\\\x95\x5c"},
        DestinationCase{"TrailByteEndsTheCurrentDirectory", "C:\\\x95\x5c", "",
                        "C:\\\x95\x5c"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowsDestinationLimits, APathThatDoesNotFitIsRefused) {
  testing_support::FaultPlatform sys;
  sys.currentDirectory = "C:\\work";
  molt::Context context(sys);
  // 'D:' and 257 more bytes make 259, and the NUL fills the 260-byte buffer.
  const std::string fits = "D:" + std::string(257, 'x');
  EXPECT_TRUE(molt::SetUpDestination(context, fits.c_str()));
  EXPECT_FALSE(molt::SetUpDestination(context, (fits + "x").c_str()));
  // Joined to the current directory: 'C:\work\' is 8 bytes.
  EXPECT_TRUE(molt::SetUpDestination(context, std::string(251, 'r').c_str()));
  EXPECT_FALSE(molt::SetUpDestination(context, std::string(252, 'r').c_str()));
}

TEST(WindowsDestinationLimits, FailsWhenTheCurrentDirectoryIsUnknown) {
  testing_support::FaultPlatform sys;
  sys.failCurrentDirectory = true;
  molt::Context context(sys);
  EXPECT_FALSE(molt::SetUpDestination(context, "out"));
  EXPECT_FALSE(molt::SetUpDestination(context, "\\out"));
  EXPECT_TRUE(molt::SetUpDestination(context, "D:\\out"));
}

}  // namespace
