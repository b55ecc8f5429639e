// The message table: built-in defaults, reworded from "config.ini".
#include "messages.h"

#include <cstdint>

#include "program_paths.h"
#include "update_dlg.h"

namespace kup {
namespace {

constexpr const char* kDefaultMessages[kMessageCount] = {
    "The update could not be completed",
    "Cannot obtain information necessary for setup",
    "This update program is not needed for your KORU computer",
    "Cannot find a required file",
    "Cannot find a required folder",
    "Setting up the update program failed",
    "Setting up the update program installer failed",
    "Success",
    "Cannot run update program",
    "Clean up failed",
};

constexpr const char* kConfigSection = "KUP";
constexpr std::uint32_t kValueBufferSize = 1024;

}  // namespace

std::string MessageKey(int number) { return "MSG" + std::to_string(number); }

const char* DefaultMessage(int number) { return kDefaultMessages[number - 1]; }

void ReplaceLineBreakMarks(std::string& text) {
  ProgramSystem& system = SystemServices();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (system.IsLeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size()) {
      ++i;
    } else if (text[i] == '@') {
      text[i] = '\n';
    }
  }
}

}  // namespace kup

bool CUpdateDlg::LoadMessages() {
  kup::ProgramSystem& system = kup::SystemServices();
  char configPath[kup::kPathBufferSize];
  const bool haveConfig =
      kup::BuildProgramPath(configPath, kup::kConfigName) && system.FileExists(configPath);

  m_messages.RemoveAll();
  for (int number = 1; number <= kup::kMessageCount; ++number) {
    m_messages.SetAt(kup::MessageKey(number).c_str(), kup::DefaultMessage(number));
  }
  if (haveConfig) {
    for (int number = 1; number <= kup::kMessageCount; ++number) {
      const std::string key = kup::MessageKey(number);
      char value[kup::kValueBufferSize];
      const std::uint32_t count = system.ReadProfileString(kup::kConfigSection, key.c_str(), "",
                                                           value, sizeof value, configPath);
      // A value that filled the buffer may have been cut: the default stays.
      if (count != kup::kValueBufferSize - 1) m_messages.SetAt(key.c_str(), value);
    }
  }
  for (POSITION position = m_messages.GetStartPosition(); position != nullptr;) {
    std::string key;
    std::string text;
    m_messages.GetNextAssoc(position, key, text);
    kup::ReplaceLineBreakMarks(text);
    m_messages.SetAt(key.c_str(), text.c_str());
  }
  return true;
}
