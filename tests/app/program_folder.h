// The real system with the executable moved into a folder of the test's
// choice, and the code page a case is written for. Builds on POSIX and on
// Windows, where the tests that use it meet the real path, settings-file and
// code page calls.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "support/temp_dir.h"
#include "system/program_system.h"

namespace app_test {

// The real system, except that the executable lives in `folder` (as
// "<folder>/kup", on Windows "<folder>\KUP.exe") and a test may declare paths
// missing.
class ProgramFolderSystem : public kup::ProgramSystem {
 public:
  explicit ProgramFolderSystem(std::filesystem::path folder);

  std::filesystem::path folder;
  bool executablePathFails = false;
  std::function<bool(const std::string& path)> hidePath;  // true: FileExists says no

  bool ModuleFileName(char* buffer, std::size_t size) override;
  void RemoveFileSpec(char* path) override { real_.RemoveFileSpec(path); }
  bool AppendPath(char* path, const char* name) override { return real_.AppendPath(path, name); }
  bool FileExists(const char* path) override;
  bool RemoveFile(const char* path) override { return real_.RemoveFile(path); }
  std::uint32_t ReadProfileString(const char* section, const char* key, const char* fallback,
                                  char* buffer, std::uint32_t size, const char* file) override {
    return real_.ReadProfileString(section, key, fallback, buffer, size, file);
  }
  bool IsLeadByte(std::uint8_t byte) override { return real_.IsLeadByte(byte); }
  const char* ExtractorLibraryName() override { return real_.ExtractorLibraryName(); }
  kup::LibraryHandle OpenLibrary(const char* path) override { return real_.OpenLibrary(path); }
  kup::ProcAddress FindExport(kup::LibraryHandle library, const char* name) override {
    return real_.FindExport(library, name);
  }
  void CloseLibrary(kup::LibraryHandle library) override { real_.CloseLibrary(library); }
  bool StartInstaller(const char* parameters, kup::InstallerProcess* process) override {
    return real_.StartInstaller(parameters, process);
  }
  void WaitForInstaller(kup::InstallerProcess process) override {
    real_.WaitForInstaller(process);
  }
  void RestrictLibrarySearch() override { real_.RestrictLibrarySearch(); }

 private:
  kup::ProgramSystem& real_;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

// The ANSI code page a case is written for.
enum class CodePage {
  kAny,         // the case holds no byte above 0x7F
  kSingleByte,  // no double-byte characters
  kShiftJis,    // code page 932
};

// Puts the code page in force for the life of the object where a test can
// choose it: on POSIX through MOLT_CODEPAGE, the rule the program shares with
// the extractor. On Windows the code page is the system's, and Active() tells
// whether it is the one the case needs.
class CodePageScope {
 public:
  explicit CodePageScope(CodePage page);
  bool Active() const { return active_; }
  // The system's code page, for the message of a case that cannot run.
  static std::string SystemCodePage();

 private:
  std::optional<ScopedEnv> env_;
  bool active_ = true;
};

}  // namespace app_test
