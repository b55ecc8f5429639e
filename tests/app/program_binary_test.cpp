// The real program: the kup binary and libmolt.so copied into a program
// folder, a pack made by the pack writer, and a stand-in installer on PATH.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pack_writer.h"
#include "program_harness.h"

extern char** environ;

namespace app_test {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

struct BinaryOutcome {
  int exitCode = -1;
  std::string standardError;
};

// Runs "<folder>/kup" with its standard error in a file.
BinaryOutcome RunKup(const fs::path& folder, const fs::path& scratch) {
  const std::string program = (folder / "kup").string();
  const std::string errors = (scratch / "stderr.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
  pid_t child = 0;
  BinaryOutcome outcome;
  if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  outcome.standardError = ReadFileBytes(errors);
  return outcome;
}

std::string PackBytes(std::vector<packwriter::Entry> root) {
  packwriter::Pack pack;
  pack.root = std::move(root);
  return packwriter::BuildVolumes(pack).at(0);
}

packwriter::Entry MsuEntry() {
  return packwriter::WithLongName(
      packwriter::DeflatedFile("WINDOW~1.MSU", std::string(5000, 'u') + "update"), kMsuName);
}

class KupBinary : public ::testing::Test {
 protected:
  void MakeProgramFolder(const std::string& name = "program") {
    folder = temp.path() / name;
    fs::create_directories(folder);
    fs::copy_file(KUP_BINARY, folder / "kup");
    InstallExtractor(folder, Extractor::kReal);
  }
  void WritePack(const std::string& bytes) {
    testing_support::WriteFileBytes(folder / "package.dat", bytes);
  }

  TempDir temp;
  TempDir scratch;
  fs::path folder;
};

TEST_F(KupBinary, UnpacksRunsTheInstallerOnThePackageAndDeletesIt) {
  MakeProgramFolder();
  WritePack(PackBytes({MsuEntry(), packwriter::File("README.TXT", "read me")}));
  StubInstaller installer;

  const BinaryOutcome outcome = RunKup(folder, scratch.path());

  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.standardError, "");
  EXPECT_EQ(installer.Arguments(),
            (std::vector<std::string>{"/norestart", "/quiet", (folder / kMsuName).string()}));
  EXPECT_TRUE(installer.SawPackage());
  EXPECT_FALSE(fs::exists(folder / kMsuName));
  // Everything else the extraction wrote stays.
  EXPECT_EQ(ReadFileBytes(folder / "README.TXT"), "read me");
}

TEST_F(KupBinary, FolderWithBlanksAndPercentSigns) {
  MakeProgramFolder("KORU update 100% %d");
  WritePack(PackBytes({MsuEntry()}));
  StubInstaller installer;

  const BinaryOutcome outcome = RunKup(folder, scratch.path());

  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.standardError, "");
  ASSERT_TRUE(installer.Ran());
  EXPECT_EQ(installer.Arguments().back(), (folder / kMsuName).string());
  EXPECT_TRUE(installer.SawPackage());
}

TEST_F(KupBinary, PackWithoutTheUpdatePackageEndsWithCode2) {
  MakeProgramFolder();
  WritePack(PackBytes({packwriter::File("OTHER.TXT", "not it")}));
  StubInstaller installer;

  const BinaryOutcome outcome = RunKup(folder, scratch.path());

  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.standardError, "KORU Update Program [16]: Cannot run update program\n");
  EXPECT_FALSE(installer.Ran());
  EXPECT_TRUE(fs::exists(folder / "OTHER.TXT"));
}

TEST_F(KupBinary, CorruptPackShowsTheExtractorsBoxThenMsg6) {
  MakeProgramFolder();
  WritePack(std::string(64, '\x5A'));
  StubInstaller installer;

  const BinaryOutcome outcome = RunKup(folder, scratch.path());

  EXPECT_EQ(outcome.exitCode, 105);
  const std::string msg6 = "KORU Update Program [16]: Setting up the update program failed\n";
  const std::size_t extractorBox = outcome.standardError.find("Molt Error: ");
  ASSERT_NE(extractorBox, std::string::npos) << outcome.standardError;
  EXPECT_EQ(outcome.standardError.find(msg6), outcome.standardError.size() - msg6.size());
  EXPECT_LT(extractorBox, outcome.standardError.find(msg6));
  EXPECT_FALSE(installer.Ran());
}

TEST_F(KupBinary, FolderWithOnlyTheProgramEndsWith103) {
  MakeProgramFolder();
  fs::remove(folder / "libmolt.so");

  const BinaryOutcome outcome = RunKup(folder, scratch.path());

  EXPECT_EQ(outcome.exitCode, 103);
  EXPECT_EQ(outcome.standardError, "KORU Update Program [16]: Cannot find a required file\n");
  EXPECT_EQ(FolderContents(folder), std::vector<std::string>{"kup"});
}

}  // namespace
}  // namespace app_test
