// The installer that the update program starts, for tests: put in the
// place of the system's "wusa.exe", it only tells what it was given.
//
// Environment:
//   MOLT_WUSA_LOG       file (Windows path) that gets, in UTF-8:
//                         program: <the full path of the file that runs>
//                         bits: <32 or 64, the program's own build>
//                         command line: <the whole command line>
//                         parameters: <what follows the program's name>
//                       written and closed before any wait, so a test that
//                       sees it knows the installer is running; and, as
//                       the installer ends,
//                         ended
//                       so a test can wait until it is gone.
//   MOLT_WUSA_WAIT_FOR  file (Windows path) to wait for before ending, so a
//                       test can act while the installer runs; the wait
//                       gives up after MOLT_WUSA_WAIT_LIMIT seconds
//                       (default 120), so a broken test never hangs.
//   MOLT_WUSA_EXIT      the exit code (default 0); the update program
//                       must not care what it is.
#include <windows.h>

#include <cwchar>
#include <string>

#include "win32_text.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 || length >= 1024) return {};
  return std::wstring(value, length);
}

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length < MAX_PATH ? length : 0);
}

// Writes `text` to the log: a new log, or appended to the one there is.
bool WriteLog(const std::wstring& path, const std::string& text, bool append) {
  const HANDLE file =
      CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                  append ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(file);
  return ok;
}

void WaitForFile(const std::wstring& path, DWORD limitSeconds) {
  const ULONGLONG deadline = GetTickCount64() + 1000ULL * limitSeconds;
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount64() < deadline) {
    Sleep(50);
  }
}

DWORD NumberOr(const std::wstring& text, DWORD fallback) {
  if (text.empty()) return fallback;
  return static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 10));
}

}  // namespace

int main() {
  const wchar_t* commandLine = GetCommandLineW();
  const std::wstring log = Variable(L"MOLT_WUSA_LOG");
  const std::string start = "program: " + ToUtf8(ProgramPath()) + "\n" +
                            "bits: " + std::to_string(8 * sizeof(void*)) + "\n" +
                            "command line: " + ToUtf8(commandLine) + "\n" +
                            "parameters: " + ToUtf8(AfterProgramName(commandLine)) + "\n";
  // A log that cannot be written fails the run loudly rather than quietly.
  if (!log.empty() && !WriteLog(log, start, false)) return 99;
  const std::wstring waitFor = Variable(L"MOLT_WUSA_WAIT_FOR");
  if (!waitFor.empty()) WaitForFile(waitFor, NumberOr(Variable(L"MOLT_WUSA_WAIT_LIMIT"), 120));
  if (!log.empty() && !WriteLog(log, "ended\n", true)) return 99;
  return static_cast<int>(NumberOr(Variable(L"MOLT_WUSA_EXIT"), 0));
}
