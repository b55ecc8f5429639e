// Code-page conversion with the Windows calls: source names are UTF-16, the
// command line's text is in the ANSI code page; code page 0 is the ANSI code
// page.
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "codepage_converter.h"

namespace moltpack {
namespace {

// UTF-16 into the code page, or nothing where a character has no exact form
// there: no best fit, no default character, and the text must come back.
std::optional<std::string> Narrow(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr,
                                           nullptr);
  if (length <= 0) return std::nullopt;
  std::string narrow(static_cast<std::size_t>(length), '\0');
  BOOL usedDefault = FALSE;
  if (::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, narrow.data(), length, nullptr,
                            &usedDefault) != length ||
      usedDefault) {
    return std::nullopt;
  }
  std::vector<wchar_t> back(wide.size() + 1);
  const int backLength = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow.data(), length, back.data(),
                                               static_cast<int>(back.size()));
  if (backLength != size || std::wstring(back.data(), static_cast<std::size_t>(backLength)) != wide) {
    return std::nullopt;
  }
  return narrow;
}

std::optional<std::wstring> Widen(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) != length) {
    return std::nullopt;
  }
  return wide;
}

}  // namespace

struct TargetCodePage::Converter::State {
  UINT codePage = CP_ACP;
  bool keepArguments = true;  // code page 0: the command line is in it already
};

TargetCodePage::Converter::Converter(int number) : state_(std::make_unique<State>()) {
  if (number == 0) return;
  state_->codePage = static_cast<UINT>(number);
  state_->keepArguments = false;
  // Code pages that cannot take the exact conversion (no best fit) fail
  // even on plain ASCII.
  if (!::IsValidCodePage(state_->codePage) || !Narrow(state_->codePage, L"a")) {
    throw std::runtime_error("code page " + std::to_string(number) + " is not available on this system");
  }
}

TargetCodePage::Converter::~Converter() = default;

std::optional<std::string> TargetCodePage::Converter::FromSourceName(const std::filesystem::path& name) {
  return Narrow(state_->codePage, name.native());
}

std::optional<std::string> TargetCodePage::Converter::FromArgument(const std::string& text) {
  if (state_->keepArguments) return text;
  const std::optional<std::wstring> wide = Widen(CP_ACP, text);
  if (!wide) return std::nullopt;
  return Narrow(state_->codePage, *wide);
}

bool TargetCodePage::Converter::IsLeadByte(std::uint8_t byte) {
  return ::IsDBCSLeadByteEx(state_->codePage, byte) != FALSE;
}

}  // namespace moltpack
