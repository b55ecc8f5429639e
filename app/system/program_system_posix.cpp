// The program's system operations on POSIX. The extractor is "libmolt.so" in
// the program folder; the installer is whatever program named "wusa.exe" the
// PATH finds, started with the arguments the Windows command line would give.
#include <dlfcn.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command_line.h"
#include "platform/codepage.h"
#include "profile_reader.h"
#include "program_system.h"

extern char** environ;

namespace kup {
namespace {

constexpr char kSeparator = '/';
constexpr const char* kInstallerName = "wusa.exe";

class PosixProgramSystem final : public ProgramSystem {
 public:
  bool ModuleFileName(char* buffer, std::size_t size) override {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path ||
        static_cast<std::size_t>(length) >= size) {
      return false;
    }
    std::memcpy(buffer, path, static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return true;
  }

  void RemoveFileSpec(char* path) override {
    char* last = std::strrchr(path, kSeparator);
    if (last == nullptr) {
      path[0] = '\0';
    } else if (last == path) {
      path[1] = '\0';  // the root stays
    } else {
      *last = '\0';
    }
  }

  bool AppendPath(char* path, const char* name) override {
    while (*name == kSeparator) ++name;
    if (*name == '\0') return true;
    const std::size_t length = std::strlen(path);
    const bool needSeparator = length > 0 && path[length - 1] != kSeparator;
    const std::size_t total = length + (needSeparator ? 1 : 0) + std::strlen(name) + 1;
    if (total > kPathBufferSize) return false;
    char* end = path + length;
    if (needSeparator) *end++ = kSeparator;
    std::strcpy(end, name);
    return true;
  }

  bool FileExists(const char* path) override {
    struct stat status;
    return stat(path, &status) == 0;
  }

  bool RemoveFile(const char* path) override { return unlink(path) == 0; }

  std::uint32_t ReadProfileString(const char* section, const char* key, const char* fallback,
                                  char* buffer, std::uint32_t size, const char* file) override {
    std::ifstream in(file, std::ios::binary);
    const std::string contents = in ? std::string(std::istreambuf_iterator<char>(in),
                                                  std::istreambuf_iterator<char>())
                                    : std::string();
    return ReadProfileValue(contents, section, key, fallback, buffer, size);
  }

  // There is no ANSI code page here: single-byte, or code page 932 when
  // MOLT_CODEPAGE says so, the same rule as the extractor's.
  bool IsLeadByte(std::uint8_t byte) override {
    const char* selected = std::getenv("MOLT_CODEPAGE");
    const bool shiftJis = selected != nullptr && std::strcmp(selected, "932") == 0;
    const molt::platform::CodePage& page = shiftJis ? molt::platform::ShiftJisCodePage()
                                                    : molt::platform::SingleByteCodePage();
    return page.IsLeadByte(byte);
  }

  const char* ExtractorLibraryName() override { return "libmolt.so"; }

  LibraryHandle OpenLibrary(const char* path) override {
    return static_cast<LibraryHandle>(dlopen(path, RTLD_NOW | RTLD_LOCAL));
  }

  ProcAddress FindExport(LibraryHandle library, const char* name) override {
    return reinterpret_cast<ProcAddress>(dlsym(library, name));
  }

  void CloseLibrary(LibraryHandle library) override { dlclose(library); }

  bool StartInstaller(const char* parameters, InstallerProcess* process) override {
    std::vector<std::string> arguments = SplitCommandLine(parameters);
    arguments.insert(arguments.begin(), kInstallerName);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, kInstallerName, nullptr, nullptr, argv.data(), environ) != 0) {
      return false;
    }
    *process = child;
    return true;
  }

  void WaitForInstaller(InstallerProcess process) override {
    int status = 0;
    while (waitpid(static_cast<pid_t>(process), &status, 0) == -1 && errno == EINTR) {
    }
  }

  // Libraries are loaded by full path only; nothing searches the current
  // directory here.
  void RestrictLibrarySearch() override {}
};

}  // namespace

ProgramSystem& DefaultProgramSystem() {
  static PosixProgramSystem system;
  return system;
}

}  // namespace kup
