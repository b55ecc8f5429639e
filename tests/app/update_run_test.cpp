// Whole runs of the update program in this process: the framework entry, the
// progress dialog, the update sequence against a stand-in extractor, and a
// stand-in installer on PATH.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "program_harness.h"
#include "update_codes.h"
#include "wnd.h"

namespace app_test {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const std::string kUnpackMsu = std::string("0 ") + kMsuName;

void PostToDialog(HWND dialog, UINT message, WPARAM wParam) {
  CWnd view;
  view.m_hWnd = dialog;
  view.PostMessage(message, wParam, 0);
  view.m_hWnd = nullptr;
}

class UpdateRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder);
    kup::SetSystemServices(&system);
  }
  void TearDown() override {
    afx_headless::WaitForWorkerThreads();
    afx_headless::SetThreadStartFails(false);
    afx_headless::SetWindowCreationFails(false);
    kup::SetSystemServices(nullptr);
  }
  void WritePack(const std::string& script) { WriteFileBytes(folder / "package.dat", script); }
  bool ExtractorCalled() const { return fs::exists(folder / "molt-call.txt"); }
  bool PackageLeft() const { return fs::exists(folder / kMsuName); }

  TempDir temp;
  fs::path folder = temp.path() / "program";
  ProgramFolderSystem system{folder};
};

// ---- The failure table, row by row ---------------------------------------

enum class Fault { kNone, kExecutablePathUnknown, kFolderMissing, kThreadNotCreated };
enum class Installer { kExits, kMissingFromPath, kNotExecutable, kPackageUndeletable };

struct FailureRow {
  const char* name;
  Extractor extractor;
  const char* pack;  // package.dat for the stand-in extractor; null: none
  Fault fault;
  Installer installer;
  const char* box;  // the one box's text; null: no box
  int exitCode;
  bool extractorCalled;
  bool installerRan;
  bool packageLeft;
};

std::string MsuPack(int code) { return std::to_string(code) + " " + kMsuName; }

const std::string kMsu0 = MsuPack(0);
const std::string kMsu45 = MsuPack(45);

const FailureRow kFailureRows[] = {
    {"NoPackage", Extractor::kFake, nullptr, Fault::kNone, Installer::kExits,
     "Cannot find a required file", 103, false, false, false},
    {"ExecutablePathUnknown", Extractor::kFake, kMsu0.c_str(), Fault::kExecutablePathUnknown,
     Installer::kExits, "Cannot find a required file", 103, false, false, false},
    {"ProgramFolderMissing", Extractor::kFake, kMsu0.c_str(), Fault::kFolderMissing,
     Installer::kExits, "Cannot find a required folder", 104, false, false, false},
    {"NoExtractorLibrary", Extractor::kNone, kMsu0.c_str(), Fault::kNone, Installer::kExits,
     "Setting up the update program failed", 105, false, false, false},
    {"LibraryWithoutExport", Extractor::kWithoutExport, kMsu0.c_str(), Fault::kNone,
     Installer::kExits, "Setting up the update program failed", 105, false, false, false},
    {"ExtractorFails", Extractor::kFake, kMsu45.c_str(), Fault::kNone, Installer::kExits,
     "Setting up the update program failed", 105, true, false, true},
    {"ThreadNotCreated", Extractor::kFake, kMsu0.c_str(), Fault::kThreadNotCreated,
     Installer::kExits, "Cannot run update program", 108, true, false, false},
    {"PackageNotProduced", Extractor::kFake, "0", Fault::kNone, Installer::kExits,
     "Cannot run update program", 2, true, false, false},
    {"InstallerMissingFromPath", Extractor::kFake, kMsu0.c_str(), Fault::kNone,
     Installer::kMissingFromPath, "Cannot run update program", 1, true, false, false},
    {"InstallerNotExecutable", Extractor::kFake, kMsu0.c_str(), Fault::kNone,
     Installer::kNotExecutable, "Cannot run update program", 1, true, false, false},
    {"InstallerRan", Extractor::kFake, kMsu0.c_str(), Fault::kNone, Installer::kExits, nullptr, 0,
     true, true, false},
    {"PackageCannotBeDeleted", Extractor::kFake, kMsu0.c_str(), Fault::kNone,
     Installer::kPackageUndeletable, nullptr, 0, true, true, true},
};

void PrintTo(const FailureRow& row, std::ostream* out) { *out << row.name; }

class FailureTable : public UpdateRun, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(FailureTable, ShowsItsBoxEndsWithItsCodeAndLeavesItsFiles) {
  const FailureRow& row = GetParam();
  InstallExtractor(folder, row.extractor);
  if (row.pack != nullptr) WritePack(row.pack);
  const std::vector<std::string> before = FolderContents(folder);

  system.executablePathFails = row.fault == Fault::kExecutablePathUnknown;
  if (row.fault == Fault::kFolderMissing) {
    const std::string folderPath = folder.string();
    system.hidePath = [folderPath](const std::string& path) { return path == folderPath; };
  }
  afx_headless::SetThreadStartFails(row.fault == Fault::kThreadNotCreated);

  TempDir emptyPath;
  std::optional<ScopedEnv> noInstaller;
  std::optional<StubInstaller> installer;
  switch (row.installer) {
    case Installer::kExits:
      installer.emplace(InstallerBehaviour::kExit);
      break;
    case Installer::kMissingFromPath:
      noInstaller.emplace("PATH", emptyPath.path().string());
      break;
    case Installer::kNotExecutable:
      installer.emplace(InstallerBehaviour::kExit, false);
      break;
    case Installer::kPackageUndeletable:
      installer.emplace(InstallerBehaviour::kReplaceWithFolder);
      break;
  }

  const RunOutcome outcome = RunProgram();
  afx_headless::WaitForWorkerThreads();

  EXPECT_EQ(outcome.exitCode, row.exitCode);
  if (row.box == nullptr) {
    EXPECT_TRUE(outcome.boxes.empty());
  } else {
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].text, row.box);
    EXPECT_EQ(outcome.boxes[0].caption, kCaption);
    EXPECT_EQ(outcome.boxes[0].type, kStopBoxStyle);
    EXPECT_NE(outcome.boxes[0].owner, nullptr);
  }
  EXPECT_EQ(ExtractorCalled(), row.extractorCalled);
  EXPECT_EQ(installer.has_value() && installer->Ran(), row.installerRan);
  EXPECT_EQ(PackageLeft(), row.packageLeft);
  if (!row.extractorCalled) {
    EXPECT_EQ(FolderContents(folder), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FailureTable, ::testing::ValuesIn(kFailureRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The extractor library's load ------------------------------------------

// The system, with a log of the extractor library's loads and unloads.
class LibraryLog : public ProgramFolderSystem {
 public:
  using ProgramFolderSystem::ProgramFolderSystem;

  std::vector<std::string> events;

  kup::LibraryHandle OpenLibrary(const char* path) override {
    const kup::LibraryHandle library = ProgramFolderSystem::OpenLibrary(path);
    if (library != nullptr) {
      loaded_ = library;
      events.push_back("load");
    }
    return library;
  }
  void CloseLibrary(kup::LibraryHandle library) override {
    // The stand-in extractor leaves molt-call.txt behind once it was called.
    if (library != loaded_) {
      events.push_back("unload of a library never loaded");
    } else {
      events.push_back(fs::exists(folder / "molt-call.txt") ? "unload after the call" : "unload");
    }
    ProgramFolderSystem::CloseLibrary(library);
  }

 private:
  kup::LibraryHandle loaded_ = nullptr;
};

struct LibraryRow {
  const char* name;
  Extractor extractor;
  int code;  // what the stand-in extractor returns
  std::vector<std::string> events;
};

const LibraryRow kLibraryRows[] = {
    {"ExtractorSucceeds", Extractor::kFake, 0, {"load", "unload after the call"}},
    {"ExtractorFails", Extractor::kFake, 45, {"load", "unload after the call"}},
    {"WithoutTheExport", Extractor::kWithoutExport, 0, {"load", "unload"}},
    {"NoLibrary", Extractor::kNone, 0, {}},
};

void PrintTo(const LibraryRow& row, std::ostream* out) { *out << row.name; }

class LibraryUnload : public UpdateRun, public ::testing::WithParamInterface<LibraryRow> {
 protected:
  LibraryLog libraries{folder};
};

TEST_P(LibraryUnload, EveryLoadIsUndoneOnceTheCallIsOver) {
  const LibraryRow& row = GetParam();
  kup::SetSystemServices(&libraries);
  InstallExtractor(folder, row.extractor);
  WritePack(MsuPack(row.code));
  StubInstaller installer;

  RunProgram();

  EXPECT_EQ(libraries.events, row.events);
}

INSTANTIATE_TEST_SUITE_P(Rows, LibraryUnload, ::testing::ValuesIn(kLibraryRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The road of one run ---------------------------------------------------

TEST_F(UpdateRun, SuccessfulRunHandsTheExtractorAndTheInstallerTheirArguments) {
  InstallExtractor(folder, Extractor::kFake);
  WritePack(kMsu0);
  StubInstaller installer;

  const RunOutcome outcome = RunProgram();

  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(outcome.boxes.empty());
  const std::string pack = (folder / "package.dat").string();
  EXPECT_EQ(ReadLines(folder / "molt-call.txt"),
            (std::vector<std::string>{pack, folder.string(), "(null)", "1", "UNPACK", pack}));
  EXPECT_EQ(installer.Arguments(),
            (std::vector<std::string>{"/norestart", "/quiet", (folder / kMsuName).string()}));
  EXPECT_TRUE(installer.SawPackage());
  EXPECT_FALSE(PackageLeft());
}

TEST_F(UpdateRun, BlanksAndPercentSignsInTheFolderReachExtractorAndInstallerIntact) {
  folder = temp.path() / "Update 100% %d %s files";
  fs::create_directories(folder);
  system.folder = folder;
  InstallExtractor(folder, Extractor::kFake);
  WritePack(kMsu0);
  StubInstaller installer;

  const RunOutcome outcome = RunProgram();

  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(outcome.boxes.empty());
  const std::vector<std::string> call = ReadLines(folder / "molt-call.txt");
  ASSERT_EQ(call.size(), 6u);
  // The pack path goes over as a volume-name format: every '%' doubled, so
  // that naming volume 1 gives the path itself.
  EXPECT_EQ(call[0], (temp.path() / "Update 100%% %%d %%s files" / "package.dat").string());
  EXPECT_EQ(call[1], folder.string());
  EXPECT_EQ(call[5], (folder / "package.dat").string());
  EXPECT_EQ(installer.Arguments(),
            (std::vector<std::string>{"/norestart", "/quiet", (folder / kMsuName).string()}));
}

// The parameter string holds the package path plus 20 bytes in 260, so 239
// bytes is the longest path the installer can be given.
class PackagePathLength : public UpdateRun, public ::testing::WithParamInterface<int> {};

TEST_P(PackagePathLength, LongestPathFitsOneMoreIsAnInstallerThatCannotStart) {
  const int length = GetParam();
  const std::size_t fixed = temp.path().string().size() + 2 + std::string(kMsuName).size();
  ASSERT_LT(fixed, static_cast<std::size_t>(length));
  folder = temp.path() / std::string(length - fixed, 'f');
  fs::create_directories(folder);
  system.folder = folder;
  ASSERT_EQ((folder / kMsuName).string().size(), static_cast<std::size_t>(length));
  InstallExtractor(folder, Extractor::kFake);
  WritePack(kMsu0);
  StubInstaller installer;

  const RunOutcome outcome = RunProgram();

  const bool fits = length <= 239;
  EXPECT_EQ(installer.Ran(), fits);
  EXPECT_EQ(outcome.exitCode, fits ? 0 : 1);
  EXPECT_EQ(outcome.boxes.size(), fits ? 0u : 1u);
  EXPECT_FALSE(PackageLeft());
  if (fits) {
    EXPECT_EQ(installer.Arguments().back(), (folder / kMsuName).string());
  }
}

INSTANTIATE_TEST_SUITE_P(Bytes, PackagePathLength, ::testing::Values(239, 240, 259));

TEST_F(UpdateRun, DialogThatCannotBeCreatedEndsAtOnceWithCode1) {
  InstallExtractor(folder, Extractor::kFake);
  WritePack(kMsu0);
  afx_headless::SetWindowCreationFails(true);

  const RunOutcome outcome = RunProgram();

  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_TRUE(outcome.boxes.empty());
  EXPECT_FALSE(ExtractorCalled());
}

TEST_F(UpdateRun, EnterAndEscapeLeaveTheDialogRunning) {
  InstallExtractor(folder, Extractor::kFake);
  WritePack(kMsu0);
  StubInstaller installer(InstallerBehaviour::kWaitForRelease);
  std::string titleWhileRunning;
  std::thread user([&] {
    if (!installer.WaitUntilRunning()) return;
    const HWND dialog = afx_headless::LastCreatedWindow();
    titleWhileRunning = afx_headless::WindowTitle(dialog);
    PostToDialog(dialog, WM_COMMAND, IDOK);
    PostToDialog(dialog, WM_COMMAND, IDCANCEL);
    installer.Release();
  });

  const RunOutcome outcome = RunProgram();
  user.join();

  EXPECT_EQ(titleWhileRunning, kCaption);
  // The loop went on to the installer's completion, which deleted the package.
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(outcome.boxes.empty());
  EXPECT_FALSE(PackageLeft());
}

// A close request ends the program at once, with the code that tells
// deployment tools the user cancelled: the update did not complete. The
// installer goes on by itself and its completion is never handled, so the
// package stays. The request's own WPARAM does not become the exit code.
constexpr int kCancelledByUser = 1602;

class CloseRequest : public UpdateRun, public ::testing::WithParamInterface<WPARAM> {};

TEST_P(CloseRequest, WhileTheInstallerRunsEndsTheProgramAndLeavesThePackage) {
  InstallExtractor(folder, Extractor::kFake);
  WritePack(kMsu0);
  StubInstaller installer(InstallerBehaviour::kWaitForRelease);
  std::thread user([&] {
    if (installer.WaitUntilRunning()) {
      PostToDialog(afx_headless::LastCreatedWindow(), WM_CLOSE, GetParam());
    }
  });

  const RunOutcome outcome = RunProgram();
  user.join();

  EXPECT_EQ(outcome.exitCode, kCancelledByUser);
  EXPECT_TRUE(outcome.boxes.empty());
  EXPECT_TRUE(PackageLeft());
  installer.Release();
  afx_headless::WaitForWorkerThreads();
  EXPECT_TRUE(PackageLeft());
}

INSTANTIATE_TEST_SUITE_P(RequestWParam, CloseRequest, ::testing::Values(WPARAM{0}, WPARAM{5}));

TEST_F(UpdateRun, ReworkedTextsFromConfigIniReachTheBox) {
  WriteFileBytes(folder / "config.ini", "[KUP]\nMSG6=Unpacking failed.@Call us.\n");
  WritePack(kMsu0);

  const RunOutcome outcome = RunProgram();

  EXPECT_EQ(outcome.exitCode, 105);
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_EQ(outcome.boxes[0].text, "Unpacking failed.\nCall us.");
}

}  // namespace
}  // namespace app_test
