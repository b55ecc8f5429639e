// The message table: defaults, "config.ini" and '@' as line feeds.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "messages.h"
#include "program_folder.h"
#include "update_dlg.h"

namespace app_test {
namespace {

namespace fs = std::filesystem;

// Reads the table of a dialog that has no window.
class TableDialog : public CUpdateDlg {
 public:
  std::string Text(int number) {
    std::string text;
    EXPECT_TRUE(m_messages.Lookup(kup::MessageKey(number).c_str(), text));
    return text;
  }
  int Count() const { return m_messages.GetCount(); }
};

const std::string kLong1023(1023, 'x');
const std::string kLong1022(1022, 'y');

struct ConfigCase {
  const char* name;
  std::optional<std::string> config;  // none: no config.ini
  CodePage codePage;
  int number;  // the entry checked
  std::string expected;
  std::string otherEntries;  // what MSG1 (or MSG2 when MSG1 is checked) becomes
};

const std::string kDefault1 = "The update could not be completed";
const std::string kDefault2 = "Cannot obtain information necessary for setup";

const ConfigCase kConfigCases[] = {
    {"NoConfig", std::nullopt, CodePage::kAny, 4, "Cannot find a required file", kDefault1},
    {"NoSectionKup", "[Other]\nMSG4=elsewhere\n", CodePage::kAny, 4, "", ""},
    {"OnlyMsg4", "[KUP]\nMSG4=Datei fehlt\n", CodePage::kAny, 4, "Datei fehlt", ""},
    {"CaseAndBlanks", "[ kup ]\r\n  msg4 \t=  spaced text \t\r\n", CodePage::kAny, 4, "spaced text",
     ""},
    {"EmptyValue", "[KUP]\nMSG9=\nMSG1=x\n", CodePage::kAny, 9, "", "x"},
    {"Value1023KeepsDefault", "[KUP]\nMSG6=" + kLong1023 + "\nMSG1=read\n", CodePage::kAny, 6,
     "Setting up the update program failed", "read"},
    {"Value1022IsTaken", "[KUP]\nMSG6=" + kLong1022 + "\n", CodePage::kAny, 6, kLong1022, ""},
    {"LongerValueKeepsDefault", "[KUP]\nMSG6=" + kLong1023 + "zz\n", CodePage::kAny, 6,
     "Setting up the update program failed", ""},
    {"AtBetweenPhrases", "[KUP]\nMSG5=first@second\n", CodePage::kAny, 5, "first\nsecond", ""},
    {"AtAtEndAndDoubled", "[KUP]\nMSG5=a@@b@\n", CodePage::kAny, 5, "a\n\nb\n", ""},
    {"Msg10IsItsOwnKey", "[KUP]\nMSG1=one\nMSG10=ten\n", CodePage::kAny, 10, "ten", "one"},
    // Code page 932: 0x83 0x40 is one character whose trail byte is '@'.
    {"ShiftJisTrailByteKept", "[KUP]\nMSG4=\x83\x40@\x83\x40\n", CodePage::kShiftJis, 4,
     "\x83\x40\n\x83\x40", ""},
    {"SingleByteSameBytes", "[KUP]\nMSG4=\x83\x40@\x83\x40\n", CodePage::kSingleByte, 4,
     "\x83\n\n\x83\n", ""},
};

void PrintTo(const ConfigCase& row, std::ostream* out) { *out << row.name; }

class ConfigTable : public ::testing::TestWithParam<ConfigCase> {
 protected:
  void SetUp() override { kup::SetSystemServices(&system); }
  void TearDown() override { kup::SetSystemServices(nullptr); }

  testing_support::TempDir temp;
  ProgramFolderSystem system{temp.path()};
};

TEST_P(ConfigTable, FillsTheTable) {
  const ConfigCase& row = GetParam();
  const CodePageScope codePage(row.codePage);
  if (!codePage.Active()) {
    GTEST_SKIP() << "written for another code page than " << CodePageScope::SystemCodePage();
  }
  if (row.config) testing_support::WriteFileBytes(temp.path() / "config.ini", *row.config);

  TableDialog dialog;
  EXPECT_TRUE(dialog.LoadMessages());

  EXPECT_EQ(dialog.Count(), 10);
  EXPECT_EQ(dialog.Text(row.number), row.expected);
  EXPECT_EQ(dialog.Text(row.number == 1 ? 2 : 1), row.otherEntries);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigTable, ::testing::ValuesIn(kConfigCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A lead byte that ends the text has no trail byte to take along. The
// system's profile read never hands one over (it makes a character of it),
// so the scan is tried on the text itself.
TEST(LineBreakMarks, LeadByteAtTheEndStays) {
  const CodePageScope codePage(CodePage::kShiftJis);
  if (!codePage.Active()) GTEST_SKIP() << "code page " << CodePageScope::SystemCodePage();
  std::string text = "@\x83";
  kup::ReplaceLineBreakMarks(text);
  EXPECT_EQ(text, "\n\x83");
}

TEST(MessageTable, DefaultsWithoutConfigIniAndRebuiltOnEveryLoad) {
  testing_support::TempDir temp;
  ProgramFolderSystem system{temp.path()};
  kup::SetSystemServices(&system);
  TableDialog dialog;
  dialog.LoadMessages();
  for (int number = 1; number <= 10; ++number) {
    EXPECT_EQ(dialog.Text(number), kup::DefaultMessage(number)) << number;
  }
  EXPECT_EQ(dialog.Text(1), kDefault1);
  EXPECT_EQ(dialog.Text(9), "Cannot run update program");

  testing_support::WriteFileBytes(temp.path() / "config.ini", "[KUP]\nMSG2=two\n");
  dialog.LoadMessages();
  EXPECT_EQ(dialog.Text(2), "two");
  EXPECT_EQ(dialog.Text(3), "");
  kup::SetSystemServices(nullptr);
}

}  // namespace
}  // namespace app_test
