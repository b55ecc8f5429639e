// The POSIX stand-ins for two Windows calls that the program relies on: the
// private-profile read of "config.ini" and the splitting of the installer's
// command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/command_line.h"
#include "system/profile_reader.h"

namespace app_test {
namespace {

TEST(ProfileReader, FirstMatchWinsAndCutValuesCount1023) {
  char buffer[1024];
  const std::string text = "MSG1=outside\n[KUP]\nMSG1 = first\nMSG1=second\n[kup]\nMSG2=b\n";
  EXPECT_EQ(kup::ReadProfileValue(text, "KUP", "MSG1", "", buffer, sizeof buffer), 5u);
  EXPECT_STREQ(buffer, "first");
  EXPECT_EQ(kup::ReadProfileValue(text, "KUP", "MSG2", "", buffer, sizeof buffer), 1u);
  EXPECT_STREQ(buffer, "b");
  EXPECT_EQ(kup::ReadProfileValue(text, "KUP", "MSG3", "none", buffer, sizeof buffer), 4u);
  EXPECT_STREQ(buffer, "none");
  EXPECT_EQ(kup::ReadProfileValue("[KUP]\nMSG1=" + std::string(5000, 'v'), "KUP", "MSG1", "",
                                  buffer, sizeof buffer),
            1023u);
  EXPECT_EQ(std::string(buffer), std::string(1023, 'v'));
  EXPECT_EQ(kup::ReadProfileValue("[KUP]\nMSG1=a=b\n", "KUP", "MSG1", "", buffer, sizeof buffer),
            3u);
  EXPECT_STREQ(buffer, "a=b");
}

TEST(InstallerParameters, SplitLikeTheWindowsCommandLine) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(kup::SplitCommandLine("/norestart /quiet \"/a b/x.msu\""),
            (Args{"/norestart", "/quiet", "/a b/x.msu"}));
  EXPECT_EQ(kup::SplitCommandLine("  a\t\"\"  b\"c d\"e "), (Args{"a", "", "bc de"}));
  EXPECT_EQ(kup::SplitCommandLine("a\\\\\"b c\" d\\e \\\"q"), (Args{"a\\b c", "d\\e", "\"q"}));
}

}  // namespace
}  // namespace app_test
