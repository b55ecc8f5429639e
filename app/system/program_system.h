// The update program's view of the operating system beyond its windows: the
// path helpers, the settings file, the extractor library and the installer.
// Each operation does what the program relies on of the Windows call it
// stands for. The build picks one backend, program_system_win32.cpp or
// program_system_posix.cpp; tests may put a wrapper in front of it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kup {

struct LibraryTag;
using LibraryHandle = LibraryTag*;
using ProcAddress = void (*)();
// A started installer process (a process handle or a process id).
using InstallerProcess = std::intptr_t;

// Path buffers hold this many bytes, the terminator included.
inline constexpr std::size_t kPathBufferSize = 260;

class ProgramSystem {
 public:
  virtual ~ProgramSystem() = default;

  // The full path of the running executable (GetModuleFileName of the
  // process's own module). False when it cannot be obtained or does not fit.
  virtual bool ModuleFileName(char* buffer, std::size_t size) = 0;
  // Removes the last component of a path (PathRemoveFileSpec); a root stays.
  virtual void RemoveFileSpec(char* path) = 0;
  // Appends `name` to the path in a kPathBufferSize buffer with exactly one
  // separator between them; an empty name leaves the path as it is
  // (PathAppend). False, the path unchanged, when the result would not fit.
  virtual bool AppendPath(char* path, const char* name) = 0;
  // True for existing files and folders alike (PathFileExists).
  virtual bool FileExists(const char* path) = 0;
  virtual bool RemoveFile(const char* path) = 0;
  // GetPrivateProfileString: the value of `key` in `section` of `file`, or
  // `fallback`, in `buffer`; returns the bytes copied without the terminator.
  virtual std::uint32_t ReadProfileString(const char* section, const char* key,
                                          const char* fallback, char* buffer,
                                          std::uint32_t size, const char* file) = 0;
  // Whether the byte leads a double-byte character of the ANSI code page.
  virtual bool IsLeadByte(std::uint8_t byte) = 0;

  // The extractor library's file name in the program folder.
  virtual const char* ExtractorLibraryName() = 0;
  virtual LibraryHandle OpenLibrary(const char* path) = 0;
  virtual ProcAddress FindExport(LibraryHandle library, const char* name) = 0;
  virtual void CloseLibrary(LibraryHandle library) = 0;

  // Starts the installer with the parameter string through the shell's
  // "open" verb, without any error dialog of the system's own.
  virtual bool StartInstaller(const char* parameters, InstallerProcess* process) = 0;
  // Waits without a time limit until the installer process has ended.
  virtual void WaitForInstaller(InstallerProcess process) = 0;

  // Keeps libraries from being loaded out of the current directory.
  virtual void RestrictLibrarySearch() = 0;
};

// The backend of this build.
ProgramSystem& DefaultProgramSystem();
// The system the program uses: the backend, or the replacement a test set.
ProgramSystem& SystemServices();
// Replaces the system for the whole process; null restores the backend. Set
// it before the program's threads start.
void SetSystemServices(ProgramSystem* replacement);

}  // namespace kup
