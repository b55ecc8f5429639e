// Runs a program on the test desktop that MOLT_UI_DESKTOP names and ends
// with its exit code:
//
//   start_on_desktop PROGRAM [ARGUMENTS...]
//
// It also prints "exit code: N" with the whole 32-bit code: a Unix parent
// sees only its low 8 bits.
// The update program is the product itself and knows nothing of test
// desktops, so it is placed on one from outside, as the system places a
// program that a service starts on a given desktop. Exits 120 when the
// program cannot be started.
#include <windows.h>

#include <cstdio>
#include <string>

#include "test_desktop.h"
#include "win32_text.h"

namespace {

constexpr int kCannotStart = 120;

}  // namespace

int main() {
  std::wstring commandLine = AfterProgramName(GetCommandLineW());
  if (commandLine.empty()) {
    std::fprintf(stderr, "usage: start_on_desktop PROGRAM [ARGUMENTS...]\n");
    return kCannotStart;
  }
  // Made (or opened) here, so it exists before the program asks for it.
  if (!JoinTestDesktop()) {
    std::fprintf(stderr, "cannot join the test desktop (%lu)\n", GetLastError());
    return kCannotStart;
  }
  wchar_t desktop[128] = {};
  GetEnvironmentVariableW(L"MOLT_UI_DESKTOP", desktop, 128);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = desktop[0] != L'\0' ? desktop : nullptr;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "cannot start the program (%lu)\n", GetLastError());
    return kCannotStart;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = kCannotStart;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  std::printf("exit code: %lu\n", exitCode);
  return static_cast<int>(exitCode);
}
