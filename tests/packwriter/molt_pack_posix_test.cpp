// molt-pack on POSIX systems: memory that does not grow with a file, a
// file-size limit reported as a failure, source files that are no longer
// what the scan saw, SOURCE_DATE_EPOCH and the progress line on a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "failure.h"
#include "molt_pack_fixture.h"
#include "pack_writer.h"
#include "support/temp_dir.h"
#include "system_files.h"

namespace {

using namespace molt_pack_test;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

struct ChildRun {
  int exitCode = -1;  // -1 when it ended by a signal
  int signal = 0;
  long peakKiB = 0;   // its largest resident set
};

// Starts molt-pack in a child with `arguments`, standard error into
// `errorFile`, after `prepare` ran in the child.
pid_t StartChild(const std::vector<std::string>& arguments, const std::string& errorFile,
                 void (*prepare)() = nullptr) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (prepare != nullptr) prepare();
    const int error = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(error, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(MOLT_PACK_PROGRAM)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(MOLT_PACK_PROGRAM, argv.data());
    ::_exit(127);
  }
  return child;
}

ChildRun WaitChild(pid_t child) {
  ChildRun run;
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) != child) return run;
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.peakKiB = usage.ru_maxrss;
  return run;
}

ChildRun RunChild(const std::vector<std::string>& arguments, const std::string& errorFile, void (*prepare)() = nullptr) {
  return WaitChild(StartChild(arguments, errorFile, prepare));
}

void MakeSparseFile(const fs::path& path, off_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ASSERT_EQ(::pwrite(fd, "end", 3, size - 3), 3);
  ::close(fd);
}

struct MemoryCase {
  const char* name;
  off_t first;       // a sparse file of this size, first in the pack
  int more;          // and this many after it
  off_t moreSize;    // of this size each
  std::vector<std::string> options;
};

// Files are streamed in, compressed or stored, and read back by --verify,
// and only a few of them are in flight at a time, also while the writer is
// busy with a large one: memory stays well below what the tree holds.
TEST(MoltPackPosix, MemoryDoesNotGrowWithTheTree) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers keep freed memory in quarantine";
#endif
  constexpr long kBoundKiB = 64 * 1024;
  constexpr off_t kMiB = 1 << 20;
  const MemoryCase cases[] = {
      {"one large file compressed", 128 * kMiB, 0, 0, {"--level", "9"}},
      {"one large file stored", 128 * kMiB, 0, 0, {"--store", "*"}},
      {"files held in memory behind a large one", 256 * kMiB, 40, 4 * kMiB, {"--store", "*"}},
  };
  for (const MemoryCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    fs::create_directories(dir.path() / "src");
    MakeSparseFile(dir.path() / "src" / "A.DAT", c.first);
    for (int i = 0; i < c.more; ++i) MakeSparseFile(dir.path() / "src" / ("F" + std::to_string(i)), c.moreSize);
    std::vector<std::string> arguments = c.options;
    for (const std::string& more : {std::string("--verify"), std::string("--jobs"), std::string("2"), dir / "p%d.dat",
                                    dir / "src"}) {
      arguments.push_back(more);
    }
    const ChildRun run = RunChild(arguments, dir / "err.txt");
    ASSERT_EQ(run.exitCode, 0) << ReadFileBytes(dir / "err.txt");
    EXPECT_LT(run.peakKiB, kBoundKiB);
  }
}

void LimitFileSize() {
  const struct rlimit limit = {256 * 1024, 256 * 1024};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// A pack p1.dat of a small tree src/, made before the run under test; its bytes.
std::string EarlierPack(const TempDir& dir) {
  fs::create_directories(dir.path() / "src");
  WriteFileBytes(dir.path() / "src" / "SMALL.TXT", "small");
  EXPECT_EQ(RunChild({dir / "p%d.dat", dir / "src"}, dir / "err.txt").exitCode, 0);
  return ReadFileBytes(dir / "p1.dat");
}

TEST(MoltPackPosix, AFileSizeLimitIsAFailureThatLeavesTheEarlierPack) {
  TempDir dir;
  const std::string before = EarlierPack(dir);
  WriteFileBytes(dir.path() / "src" / "NOISE.BIN", NoiseBytes(1 << 20, 5));

  const ChildRun run = RunChild({dir / "p%d.dat", dir / "src"}, dir / "err.txt", LimitFileSize);
  EXPECT_EQ(run.signal, 0) << "ended by signal " << run.signal;
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(dir / "err.txt"), "molt-pack: " + (dir / "p1.dat") + ": cannot write: File too large\n");
  EXPECT_EQ(ReadFileBytes(dir / "p1.dat"), before);
  EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

// An interrupt while the volumes are written removes them: the run leaves
// the earlier pack and no temporary files, and ends as the signal ends it.
TEST(MoltPackPosix, AnInterruptedRunLeavesNoTemporaryFiles) {
  TempDir dir;
  const std::string before = EarlierPack(dir);
  MakeSparseFile(dir.path() / "src" / "LARGE.DAT", off_t{3} << 30);

  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const pid_t child = StartChild({"--store", "*", "--volume-size", "100000000", dir / "p%d.dat", dir / "src"},
                                   dir / "err.txt");
    // Interrupted once its second volume is under way.
    int status = 0;
    pid_t ended = 0;
    while (TemporaryFiles(dir.path()).size() < 2 && (ended = ::waitpid(child, &status, WNOHANG)) == 0) ::usleep(1000);
    ASSERT_EQ(ended, 0) << "it ended before it was interrupted: " << ReadFileBytes(dir / "err.txt");
    ::kill(child, signal);
    EXPECT_EQ(WaitChild(child).signal, signal);
    EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
    EXPECT_EQ(ReadFileBytes(dir / "p1.dat"), before);
  }
}

struct ObstacleCase {
  const char* what;
  void (*make)(const fs::path& at);
  const char* reason;
};

// What stands at an output path and is not a regular file is refused and
// left as it is, and so is the earlier pack: at volume 1 and the list file,
// checked before the scan, and at a later volume, found only once written.
TEST(MoltPackPosix, OutputPathsThatAreNoRegularFilesAreRefusedAndLeftAlone) {
  const ObstacleCase kinds[] = {
      {"a link to a file", [](const fs::path& at) { fs::create_symlink(at.parent_path() / "TARGET", at); },
       "is a symbolic link, not a regular file: not replaced"},
      {"a FIFO", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); },
       "is a device, a FIFO or a socket, not a regular file: not replaced"},
      {"a folder", [](const fs::path& at) { fs::create_directory(at); }, "is a folder, not a regular file: not replaced"},
  };
  for (const ObstacleCase& kind : kinds) {
    for (const char* place : {"v1.dat", "v2.dat", "list.txt"}) {
      SCOPED_TRACE(std::string(kind.what) + " at " + place);
      TempDir dir;
      fs::create_directories(dir.path() / "src");
      WriteFileBytes(dir.path() / "src" / "NOISE.BIN", NoiseBytes(3000, 3));
      WriteFileBytes(dir.path() / "TARGET", "target");
      const std::vector<std::string> arguments{"--volume-size", "1000", "--list", dir / "list.txt", dir / "v%d.dat",
                                               dir / "src"};
      ASSERT_EQ(RunChild(arguments, dir / "err.txt").exitCode, 0);
      // The run under test would write other bytes.
      WriteFileBytes(dir.path() / "src" / "NOISE.BIN", NoiseBytes(3000, 4));
      std::vector<std::string> outputs = VolumePaths(dir / "v%d.dat");
      ASSERT_GE(outputs.size(), 3u);
      outputs.push_back(dir / "list.txt");
      std::map<std::string, std::string> before;
      for (const std::string& path : outputs) before[path] = ReadFileBytes(path);
      const std::string obstacle = dir / place;
      fs::remove(obstacle);
      kind.make(obstacle);
      const fs::file_type made = fs::symlink_status(obstacle).type();

      EXPECT_EQ(RunChild(arguments, dir / "err.txt").exitCode, 1);
      EXPECT_EQ(ReadFileBytes(dir / "err.txt"), "molt-pack: " + obstacle + ": " + kind.reason + "\n");
      EXPECT_EQ(fs::symlink_status(obstacle).type(), made);
      EXPECT_EQ(ReadFileBytes(dir / "TARGET"), "target");
      for (const auto& [path, bytes] : before) {
        if (path != obstacle) {
          EXPECT_EQ(ReadFileBytes(path), bytes) << path;
        }
      }
      EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
    }
  }
}

struct SwapCase {
  const char* name;
  void (*swap)(const fs::path& file);
  const char* reason;
};

// The file at a scanned name is opened without following a link there, and
// without waiting on a FIFO; other changes since the scan are the pack
// stream test's.
TEST(MoltPackPosix, ASourceFileIsOpenedOnlyAsTheFileTheScanSaw) {
  const SwapCase cases[] = {
      {"the file", [](const fs::path&) {}, ""},
      {"a link to a file",
       [](const fs::path& file) {
         fs::remove(file);
         fs::create_symlink(file.parent_path() / "OTHER", file);
       },
       "has become a symbolic link since the scan"},
      {"a FIFO",
       [](const fs::path& file) {
         fs::remove(file);
         ::mkfifo(file.c_str(), 0644);
       },
       "is no longer a regular file"},
  };
  for (const SwapCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFileBytes(dir.path() / "OTHER", "0123456789");
    WriteFileBytes(dir.path() / "FILE", "0123456789");
    c.swap(dir.path() / "FILE");
    std::string failure;
    try {
      moltpack::SourceFile file(dir.path() / "FILE", 10);
      char bytes[10];
      file.Read(bytes, sizeof bytes);
      file.ExpectEnd();
    } catch (const moltpack::Failure& error) {
      failure = error.what();
    }
    EXPECT_EQ(failure, *c.reason == '\0' ? "" : (dir / "FILE") + ": " + c.reason);
  }
}

TEST(MoltPackPosix, SourceDateEpochStampsEveryEntryAndMustBeANumber) {
  TempDir dir;
  fs::create_directories(dir.path() / "src" / "SUB");
  WriteFileBytes(dir.path() / "src" / "SUB" / "A.TXT", "a");
  ::setenv("SOURCE_DATE_EPOCH", "1205588730", 1);
  const int packed = RunMoltPack(Quoted(dir / "p%d.dat") + " " + Quoted(dir / "src"), dir / "err.txt");
  ::setenv("SOURCE_DATE_EPOCH", "tomorrow", 1);
  const int refused = RunMoltPack(Quoted(dir / "q%d.dat") + " " + Quoted(dir / "src"), dir / "err.txt");
  const std::string refusal = ReadFileBytes(dir / "err.txt");
  ::unsetenv("SOURCE_DATE_EPOCH");
  ASSERT_EQ(packed, 0);
  for (const packwriter::ListedRecord& record :
       packwriter::ListRecords(packwriter::StreamFromVolumes(ReadVolumes(dir / "p%d.dat")))) {
    EXPECT_EQ(record.times.lastWriteDate, packwriter::DosDate(2008, 3, 15)) << record.path;
    EXPECT_EQ(record.times.lastWriteTime, packwriter::DosTime(13, 45, 30)) << record.path;
  }
  EXPECT_EQ(refused, 2);
  EXPECT_NE(refusal.find("SOURCE_DATE_EPOCH"), std::string::npos) << refusal;
}

// Everything the child writes to its terminal until it ends.
std::string RunOnTerminal(const std::vector<std::string>& arguments) {
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(MOLT_PACK_PROGRAM)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(MOLT_PACK_PROGRAM, argv.data());
    ::_exit(127);
  }
  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;  // EIO once the child's side is closed
    output.append(buffer, static_cast<std::size_t>(got));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(terminal);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
  return output;
}

TEST(MoltPackPosix, AProgressLineOnATerminalUnlessQuiet) {
  TempDir dir;
  fs::create_directories(dir.path() / "src");
  WriteFileBytes(dir.path() / "src" / "TEXT.TXT", TextBytes(3 << 20));
  const std::string shown = RunOnTerminal({dir / "p%d.dat", dir / "src"});
  EXPECT_NE(shown.find("\rpacking "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" MiB of 3.0 MiB"), std::string::npos) << shown;
  EXPECT_EQ(shown.back(), '\r') << "the line is erased at the end";
  EXPECT_EQ(RunOnTerminal({"--quiet", dir / "q%d.dat", dir / "src"}), "");
}

}  // namespace
