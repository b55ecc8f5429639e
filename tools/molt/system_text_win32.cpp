// Names as text on Windows: the system's ANSI code page, the one the
// extractor's Win32 backend reads names in.
#include <windows.h>

#include <string>

#include "system_text.h"

namespace moltcli {
namespace {

std::wstring Wide(std::string_view bytes, bool* exact) {
  const int length = static_cast<int>(bytes.size());
  if (length == 0) return {};
  DWORD flags = MB_ERR_INVALID_CHARS;
  int size = ::MultiByteToWideChar(CP_ACP, flags, bytes.data(), length, nullptr, 0);
  if (size == 0) {
    // Bytes that are no character of the code page: the system's default
    // character stands for them.
    *exact = false;
    flags = 0;
    size = ::MultiByteToWideChar(CP_ACP, flags, bytes.data(), length, nullptr, 0);
  }
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_ACP, flags, bytes.data(), length, wide.data(), size);
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = ::WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0,
                                         nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(codePage, flags, wide.data(), length, narrow.data(), size, nullptr,
                        nullptr);
  return narrow;
}

}  // namespace

bool SelectCodePage(const std::string& codePage, std::string* problem) {
  const std::string system = std::to_string(::GetACP());
  if (codePage == system) return true;
  *problem = "--codepage " + codePage + ": this build reads names in the system's code page, " +
             system;
  return false;
}

std::string NameCodePage() { return "ansi-" + std::to_string(::GetACP()); }

Utf8Text NameToUtf8(std::string_view bytes) {
  Utf8Text result;
  const std::wstring wide = Wide(bytes, &result.exact);
  // Unpaired surrogates cannot come from an ANSI code page, so the UTF-8 is valid.
  result.text = Narrow(wide, CP_UTF8);
  if (result.exact) result.exact = Narrow(wide, CP_ACP) == bytes;
  return result;
}

Utf8Text ArgumentToUtf8(std::string_view bytes) { return NameToUtf8(bytes); }

void ClearSystemError() { ::SetLastError(ERROR_SUCCESS); }

std::uint32_t LastSystemError() { return ::GetLastError(); }

std::string SystemErrorText(std::uint32_t error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
      nullptr);
  if (length == 0 || text == nullptr) return "system error " + std::to_string(error);
  std::string result(text, length);
  ::LocalFree(text);
  // The system's texts end with a period and CR LF; the line goes on after them.
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n' ||
                             result.back() == ' ' || result.back() == '.')) {
    result.pop_back();
  }
  return result;
}

}  // namespace moltcli
