// Running the update program inside a test: a program folder of its own, the
// extractor library of the test's choice, a stand-in installer on PATH, and
// the headless framework's record of message boxes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "headless.h"
#include "program_folder.h"

namespace app_test {

inline constexpr const char* kCaption = "KORU Update Program";
inline constexpr const char* kMsuName = "windows6.0-kb937287-x86.msu";
inline constexpr unsigned kStopBoxStyle = 16;

// The longest a waiting stand-in installer waits for its release. A run whose
// close request goes unheard then ends as after a finished installer, and the
// case fails, instead of waiting for ever.
inline constexpr int kInstallerWaitLimitSeconds = 20;

// What the stand-in installer does once it has recorded its arguments.
enum class InstallerBehaviour {
  kExit,              // ends at once with status 3
  kWaitForRelease,    // ends once Release() was called, or after
                      // kInstallerWaitLimitSeconds
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
