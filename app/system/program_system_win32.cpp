// The program's system operations on Windows.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

#include "program_system.h"

namespace kup {
namespace {

constexpr const char* kInstallerName = "wusa.exe";
// LOAD_LIBRARY_SEARCH_SYSTEM32, which older headers lack.
constexpr DWORD kSearchSystem32 = 0x00000800;

// Looks up an optional export of kernel32 at run time, so the program still
// starts on systems that lack it.
template <typename Function>
Function Kernel32Export(const char* name) {
  const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(kernel32, name)));
}

bool IsWow64() {
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64Process = Kernel32Export<IsWow64ProcessFunction>("IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64Process != nullptr && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool FitsAppended(const char* path, const char* name) {
  return std::strlen(path) + 1 + std::strlen(name) + 1 <= kPathBufferSize;
}

// The installer's full path in the system directory. A 32-bit program on
// 64-bit Windows would be redirected to the 32-bit system directory, so it
// names the native one through Sysnative.
bool InstallerPath(char* path) {
  UINT length = 0;
  if (IsWow64()) {
    length = GetSystemWindowsDirectoryA(path, kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize || !FitsAppended(path, "Sysnative") ||
        !PathAppendA(path, "Sysnative")) {
      return false;
    }
  } else {
    length = GetSystemDirectoryA(path, kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize) return false;
  }
  return FitsAppended(path, kInstallerName) && PathAppendA(path, kInstallerName);
}

class Win32ProgramSystem final : public ProgramSystem {
 public:
  bool ModuleFileName(char* buffer, std::size_t size) override {
    const DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    // A path that filled the buffer was cut.
    return length != 0 && length < size;
  }

  void RemoveFileSpec(char* path) override { PathRemoveFileSpecA(path); }

  bool AppendPath(char* path, const char* name) override {
    if (*name != '\0' && !FitsAppended(path, name)) return false;
    PathAppendA(path, name);
    return true;
  }

  bool FileExists(const char* path) override { return PathFileExistsA(path) != FALSE; }

  bool RemoveFile(const char* path) override { return DeleteFileA(path) != FALSE; }

  std::uint32_t ReadProfileString(const char* section, const char* key, const char* fallback,
                                  char* buffer, std::uint32_t size, const char* file) override {
    return GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
  }

  bool IsLeadByte(std::uint8_t byte) override { return IsDBCSLeadByte(byte) != FALSE; }

  const char* ExtractorLibraryName() override { return "MOLT.DLL"; }

  LibraryHandle OpenLibrary(const char* path) override {
    return reinterpret_cast<LibraryHandle>(LoadLibraryA(path));
  }

  ProcAddress FindExport(LibraryHandle library, const char* name) override {
    return reinterpret_cast<ProcAddress>(
        GetProcAddress(reinterpret_cast<HMODULE>(library), name));
  }

  void CloseLibrary(LibraryHandle library) override {
    FreeLibrary(reinterpret_cast<HMODULE>(library));
  }

  // Started by its full path in the system directory: a "wusa.exe" planted
  // beside the program must never run in its place.
  bool StartInstaller(const char* parameters, InstallerProcess* process) override {
    char installer[kPathBufferSize];
    if (!InstallerPath(installer)) return false;
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = "open";
    info.lpFile = installer;
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWDEFAULT;
    if (!ShellExecuteExA(&info)) return false;
    *process = reinterpret_cast<InstallerProcess>(info.hProcess);
    return true;
  }

  void WaitForInstaller(InstallerProcess process) override {
    const HANDLE handle = reinterpret_cast<HANDLE>(process);
    // No handle comes back when the shell did not start a new process.
    if (handle == nullptr) return;
    while (WaitForSingleObject(handle, INFINITE) == WAIT_TIMEOUT) {
    }
    CloseHandle(handle);
  }

  void RestrictLibrarySearch() override {
    SetDllDirectoryA("");
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefault =
        Kernel32Export<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    if (setDefault != nullptr) setDefault(kSearchSystem32);
  }
};

}  // namespace

ProgramSystem& DefaultProgramSystem() {
  static Win32ProgramSystem system;
  return system;
}

}  // namespace kup
