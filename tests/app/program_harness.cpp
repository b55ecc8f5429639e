#include "program_harness.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "update_app.h"

namespace app_test {

namespace {

std::string CurrentPath() {
  const char* path = std::getenv("PATH");
  return path != nullptr ? path : "/usr/bin:/bin";
}

std::string ScriptFor(InstallerBehaviour behaviour, const std::string& log,
                      const std::string& release) {
  std::string script =
      "#!/bin/sh\n"
      "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + log + ".tmp'\n"
      "for last in \"$@\"; do :; done\n"
      "if [ -f \"$last\" ]; then echo present >> '" + log + ".tmp'; "
      "else echo absent >> '" + log + ".tmp'; fi\n"
      "mv '" + log + ".tmp' '" + log + "'\n";
  switch (behaviour) {
    case InstallerBehaviour::kExit:
      break;
    case InstallerBehaviour::kWaitForRelease:
      script += "end=$(($(date +%s) + " + std::to_string(kInstallerWaitLimitSeconds) +
                "))\n"
                "while [ ! -e '" + release + "' ] && [ \"$(date +%s)\" -lt \"$end\" ]; do\n"
                "  sleep 0.02\n"
                "done\n";
      break;
    case InstallerBehaviour::kReplaceWithFolder:
      script += "rm -f \"$last\" && mkdir \"$last\"\n";
      break;
  }
  return script + "exit 3\n";
}

}  // namespace

StubInstaller::StubInstaller(InstallerBehaviour behaviour, bool executable)
    : log_(dir_ / "wusa.log"),
      release_(dir_ / "release"),
      path_("PATH", dir_.path().string() + ":" + CurrentPath()) {
  const auto script = dir_.path() / "wusa.exe";
  testing_support::WriteFileBytes(script, ScriptFor(behaviour, log_, release_));
  std::filesystem::permissions(script,
                               executable ? std::filesystem::perms::owner_all
                                          : std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_write);
}

bool StubInstaller::Ran() const { return std::filesystem::exists(log_); }

std::vector<std::string> StubInstaller::Arguments() const {
  std::vector<std::string> lines = ReadLines(log_);
  if (!lines.empty()) lines.pop_back();
  return lines;
}

bool StubInstaller::SawPackage() const {
  const std::vector<std::string> lines = ReadLines(log_);
  return !lines.empty() && lines.back() == "present";
}

bool StubInstaller::WaitUntilRunning() const {
  for (int i = 0; i < 1000; ++i) {
    if (Ran()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void StubInstaller::Release() { testing_support::WriteFileBytes(release_, ""); }

void InstallExtractor(const std::filesystem::path& folder, Extractor extractor) {
  const char* source = nullptr;
  switch (extractor) {
    case Extractor::kNone:
      return;
    case Extractor::kFake:
      source = FAKE_MOLT_LIBRARY;
      break;
    case Extractor::kWithoutExport:
      source = NO_MOLT_LIBRARY;
      break;
    case Extractor::kReal:
      source = REAL_MOLT_LIBRARY;
      break;
  }
  // A copy, not a link: each folder's library is a load of its own.
  std::filesystem::copy_file(source, folder / "libmolt.so",
                             std::filesystem::copy_options::overwrite_existing);
}

RunOutcome RunProgram() {
  afx_headless::ResetThreadMessages();
  afx_headless::TakeMessageBoxes();
  RunOutcome outcome;
  {
    CUpdateApp app;
    outcome.exitCode = AfxWinMain();
  }
  outcome.boxes = afx_headless::TakeMessageBoxes();
  return outcome;
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> FolderContents(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace app_test
