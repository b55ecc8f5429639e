// Text helpers shared by the small Win32 programs of the UI tests.
#pragma once

#include <windows.h>

#include <string>

inline std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                      nullptr, nullptr);
  return text;
}

// What follows the program's name in a command line, by the rule the
// system's startup code uses for the first token: a quoted name runs to the
// next quote, an unquoted one to the first blank; the blanks after it are not
// part of the rest.
inline const wchar_t* AfterProgramName(const wchar_t* p) {
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}
