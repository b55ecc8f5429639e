// libFuzzer target: the fuzzer's bytes are the update program's config.ini,
// read into the message table by the dialog as the program does, once with
// single-byte characters and once under code page 932. Every entry of the
// table obeys the cut rule: a value that fills the 1024-byte buffer (1023
// bytes) may have been cut, so the built-in text stays; anything the table
// takes from the file is at most 1022 bytes. No '@' is left as a character
// of its own. The reader itself, asked with small buffers, cuts each value
// to size - 1 bytes and terminates it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "messages.h"
#include "program_folder.h"
#include "support/temp_dir.h"
#include "system/profile_reader.h"
#include "update_dlg.h"

namespace {

using fuzz_support::Fail;

constexpr std::uint32_t kValueBufferSize = 1024;  // the dialog's buffer

// The dialog's message table, read from outside.
class TableDialog : public CUpdateDlg {
 public:
  std::optional<std::string> Text(int number) const {
    std::string text;
    if (!m_messages.Lookup(kup::MessageKey(number).c_str(), text)) return std::nullopt;
    return text;
  }
  int Count() const { return m_messages.GetCount(); }
};

// The program folder, one per process, holding config.ini.
struct Harness {
  Harness() : system(folder.path()) { kup::SetSystemServices(&system); }
  testing_support::TempDir folder;
  app_test::ProgramFolderSystem system;
};

Harness& TheHarness() {
  static Harness harness;
  return harness;
}

bool HasLineBreakMark(const std::string& text, bool shiftJis) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (shiftJis && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC))) {
      ++i;  // the trail byte, '@' or not, belongs to its character
    } else if (text[i] == '@') {
      return true;
    }
  }
  return false;
}

void CheckTable(Harness& harness, bool shiftJis) {
  const app_test::CodePageScope codePage(shiftJis ? app_test::CodePage::kShiftJis
                                                  : app_test::CodePage::kSingleByte);
  const std::string where = shiftJis ? " (932)" : " (single-byte)";
  const std::string config = (harness.folder.path() / "config.ini").string();

  TableDialog dialog;
  dialog.LoadMessages();
  if (dialog.Count() != kup::kMessageCount) {
    Fail("the message table holds " + std::to_string(dialog.Count()) + " entries" + where);
  }
  for (int number = 1; number <= kup::kMessageCount; ++number) {
    const std::string key = kup::MessageKey(number);
    const std::optional<std::string> text = dialog.Text(number);
    if (!text) Fail(key + " is missing from the message table" + where);
    char value[kValueBufferSize];
    const std::uint32_t count = harness.system.ReadProfileString(
        "KUP", key.c_str(), "", value, sizeof value, config.c_str());
    const std::string shown = fuzz_support::Hex(*text, 32) + " (" + std::to_string(text->size()) +
                              " bytes)" + where;
    if (count == kValueBufferSize - 1 && *text != kup::DefaultMessage(number)) {
      Fail(key + ": a value of 1023 bytes replaced the built-in text: " + shown);
    }
    if (count != kValueBufferSize - 1 && (text->size() > count || text->size() > 1022)) {
      Fail(key + ": the table holds more than the " + std::to_string(count) +
           " bytes read: " + shown);
    }
    if (HasLineBreakMark(*text, shiftJis)) Fail(key + ": an '@' was left: " + shown);
  }
}

// The reader with buffers too small for most values.
void CheckCuts(std::string_view contents) {
  for (int number = 1; number <= kup::kMessageCount; ++number) {
    const std::string key = kup::MessageKey(number);
    char whole[kValueBufferSize * 4];
    const std::uint32_t full =
        kup::ReadProfileValue(contents, "KUP", key, "", whole, sizeof whole);
    for (std::uint32_t size : {0u, 1u, 2u, 5u}) {
      // A buffer of exactly `size` bytes, so that a write past it is caught.
      const auto buffer = std::make_unique<char[]>(size);
      const std::uint32_t count = kup::ReadProfileValue(contents, "KUP", key, "", buffer.get(), size);
      const std::uint32_t expected = size == 0 ? 0 : std::min(full, size - 1);
      if (count != expected || (size > 0 && (buffer[count] != '\0' ||
                                             std::memcmp(buffer.get(), whole, count) != 0))) {
        Fail(key + " read into " + std::to_string(size) + " bytes: " + std::to_string(count) +
             " bytes returned, " + std::to_string(expected) + " expected");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Harness& harness = TheHarness();
  const std::string_view contents(reinterpret_cast<const char*>(data), size);
  testing_support::WriteFileBytes(harness.folder.path() / "config.ini", std::string(contents));
  CheckTable(harness, false);
  CheckTable(harness, true);
  CheckCuts(contents);
  return 0;
}
