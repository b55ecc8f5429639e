// Running the update program inside a test: a program folder of its own, the
// extractor library of the test's choice, a stand-in installer on PATH, and
// the headless framework's record of message boxes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "headless.h"
#include "support/temp_dir.h"
#include "system/program_system.h"

namespace app_test {

inline constexpr const char* kCaption = "KORU Update Program";
inline constexpr const char* kMsuName = "windows6.0-kb937287-x86.msu";
inline constexpr unsigned kStopBoxStyle = 16;

// The real system, except that the executable lives in `folder` (as
// "<folder>/kup") and a test may declare paths missing.
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

// What the stand-in installer does once it has recorded its arguments.
enum class InstallerBehaviour {
  kExit,              // ends at once with status 3
  kWaitForRelease,    // ends once Release() was called
  kReplaceWithFolder, // puts a folder where the package was, so it cannot be deleted
};

// A "wusa.exe" script in a folder of its own, put first on PATH. It writes
// its arguments, one per line, and whether the last one named an existing
// file, to its log.
class StubInstaller {
 public:
  explicit StubInstaller(InstallerBehaviour behaviour = InstallerBehaviour::kExit,
                         bool executable = true);

  bool Ran() const;
  // The arguments it got, the program name not included.
  std::vector<std::string> Arguments() const;
  bool SawPackage() const;
  // Waits until the installer has recorded its start; false after 10 s.
  bool WaitUntilRunning() const;
  void Release();

 private:
  testing_support::TempDir dir_;
  std::string log_;
  std::string release_;
  ScopedEnv path_;
};

// Shared libraries a program folder can hold as libmolt.so.
enum class Extractor { kNone, kFake, kWithoutExport, kReal };

// A program folder with the extractor of choice in it.
void InstallExtractor(const std::filesystem::path& folder, Extractor extractor);

// One in-process run: the application object, the framework entry and its
// exit code. Message boxes shown are collected in `boxes`.
struct RunOutcome {
  int exitCode = -1;
  std::vector<afx_headless::RecordedMessageBox> boxes;
};
RunOutcome RunProgram();

// The lines "molt-call.txt" holds after the stand-in extractor ran.
std::vector<std::string> ReadLines(const std::filesystem::path& file);

// File names in a folder, sorted.
std::vector<std::string> FolderContents(const std::filesystem::path& folder);

}  // namespace app_test
