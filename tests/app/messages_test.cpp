// The message table: defaults, "config.ini" and '@' as line feeds.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "messages.h"
#include "program_harness.h"
#include "system/profile_reader.h"
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
  const char* codePage;               // MOLT_CODEPAGE; null: single-byte
  int number;                         // the entry checked
  std::string expected;
  std::string otherEntries;  // what MSG1 (or MSG2 when MSG1 is checked) becomes
};

const std::string kDefault1 = "The update could not be completed";
const std::string kDefault2 = "Cannot obtain information necessary for setup";

const ConfigCase kConfigCases[] = {
    {"NoConfig", std::nullopt, nullptr, 4, "Cannot find a required file", kDefault1},
    {"NoSectionKup", "[Other]\nMSG4=elsewhere\n", nullptr, 4, "", ""},
    {"OnlyMsg4", "[KUP]\nMSG4=Datei fehlt\n", nullptr, 4, "Datei fehlt", ""},
    {"CaseAndBlanks", "[ kup ]\r\n  msg4 \t=  spaced text \t\r\n", nullptr, 4, "spaced text", ""},
    {"EmptyValue", "[KUP]\nMSG9=\nMSG1=x\n", nullptr, 9, "", "x"},
    {"Value1023KeepsDefault", "[KUP]\nMSG6=" + kLong1023 + "\nMSG1=read\n", nullptr, 6,
     "Setting up the update program failed", "read"},
    {"Value1022IsTaken", "[KUP]\nMSG6=" + kLong1022 + "\n", nullptr, 6, kLong1022, ""},
    {"LongerValueKeepsDefault", "[KUP]\nMSG6=" + kLong1023 + "zz\n", nullptr, 6,
     "Setting up the update program failed", ""},
    {"AtBetweenPhrases", "[KUP]\nMSG5=first@second\n", nullptr, 5, "first\nsecond", ""},
    {"AtAtEndAndDoubled", "[KUP]\nMSG5=a@@b@\n", nullptr, 5, "a\n\nb\n", ""},
    {"Msg10IsItsOwnKey", "[KUP]\nMSG1=one\nMSG10=ten\n", nullptr, 10, "ten", "one"},
    // Code page 932: 0x83 0x40 is one character whose trail byte is '@'.
    {"ShiftJisTrailByteKept", "[KUP]\nMSG4=\x83\x40@\x83\x40\n", "932", 4,
     "\x83\x40\n\x83\x40", ""},
    {"SingleByteSameBytes", "[KUP]\nMSG4=\x83\x40@\x83\x40\n", nullptr, 4, "\x83\n\n\x83\n", ""},
    {"LeadByteAtEnd", "[KUP]\nMSG4=@\x83\n", "932", 4, "\n\x83", ""},
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
  if (row.config) testing_support::WriteFileBytes(temp.path() / "config.ini", *row.config);
  std::optional<ScopedEnv> codePage;
  if (row.codePage != nullptr) codePage.emplace("MOLT_CODEPAGE", row.codePage);

  TableDialog dialog;
  EXPECT_TRUE(dialog.LoadMessages());

  EXPECT_EQ(dialog.Count(), 10);
  EXPECT_EQ(dialog.Text(row.number), row.expected);
  EXPECT_EQ(dialog.Text(row.number == 1 ? 2 : 1), row.otherEntries);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigTable, ::testing::ValuesIn(kConfigCases),
                         [](const auto& info) { return std::string(info.param.name); });

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

}  // namespace
}  // namespace app_test
