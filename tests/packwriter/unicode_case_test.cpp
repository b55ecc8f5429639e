// Names upper-cased as Windows' file systems compare them, by the table of
// letters that names are made of.
#include <gtest/gtest.h>

#include <string>

#include "unicode_case.h"

namespace {

struct CasePair {
  const char* lower;
  const char* upper;  // what `lower` upper-cases to
};

TEST(UnicodeCase, UpperCasesTheLettersOfNamesOneByOne) {
  const CasePair pairs[] = {
      {"readme.txt", "README.TXT"},
      {"é", "É"}, {"àöø þ", "ÀÖØ Þ"}, {"ÿ", "Ÿ"}, {"µ", "Μ"},
      {"ā", "Ā"}, {"į", "Į"}, {"ĳ", "Ĳ"}, {"ĺ", "Ĺ"}, {"ň", "Ň"}, {"ŋ", "Ŋ"}, {"ŷ", "Ŷ"}, {"ź", "Ź"}, {"ž", "Ž"},
      {"αβγω", "ΑΒΓΩ"}, {"ς", "Σ"}, {"άέήίόύώ", "ΆΈΉΊΌΎΏ"}, {"ϋ", "Ϋ"},
      {"абвя", "АБВЯ"}, {"ёђџ", "ЁЂЏ"}, {"ѡ", "Ѡ"}, {"ґ", "Ґ"}, {"ӂ", "Ӂ"}, {"ӏ", "Ӏ"}, {"ӑ", "Ӑ"}, {"ԯ", "Ԯ"},
      {"ａｚ", "ＡＺ"},
      // Already upper case, or no simple upper case, or an upper case in
      // ASCII that Windows does not give: unchanged.
      {"ÀΣЯＡ", "ÀΣЯＡ"}, {"ß", "ß"}, {"ı", "ı"}, {"ſ", "ſ"}, {"÷", "÷"}, {"ĸ", "ĸ"}, {"日本", "日本"},
      {"😀", "😀"}, {"", ""},
  };
  for (const CasePair& pair : pairs) {
    EXPECT_EQ(moltpack::UpperCaseUtf8(pair.lower), std::optional<std::string>(pair.upper)) << pair.lower;
  }
}

TEST(UnicodeCase, NamesThatAreNotUtf8HaveNoUpperCase) {
  for (const char* bad : {"\xE9", "a\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF",
                          "\x80", "\xE3\x82"}) {
    EXPECT_FALSE(moltpack::UpperCaseUtf8(bad)) << testing::PrintToString(std::string(bad));
  }
}

}  // namespace
