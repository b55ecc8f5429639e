// The POSIX backend: the extractor's system calls on Linux and the like.
//
// Where POSIX has no counterpart of a Windows behaviour the extractor relies
// on, this file keeps to the nearest honest meaning: the read-only attribute
// is the write permission, a creation time cannot be set, error boxes are
// lines on standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "codepage.h"
#include "core/errors.h"
#include "dos_time.h"
#include "platform.h"
#include "posix_name_limit.h"

namespace molt::platform {

std::optional<std::uint32_t> ComponentLengthFromPathconf(long answer, int error) {
  constexpr std::uint32_t kLongest = std::numeric_limits<std::uint32_t>::max();
  if (answer < 0 && error != 0) return std::nullopt;  // the call failed
  if (answer < 0) return kLongest;                    // no limit
  if (static_cast<unsigned long>(answer) > kLongest) return kLongest;
  return static_cast<std::uint32_t>(answer);
}

namespace {

constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorInvalidParameter = 87;
// errno values that have no Windows counterpart we tell apart keep their
// number, marked so that they cannot collide with the Windows codes.
constexpr std::uint32_t kErrnoMark = 0x20000000;

thread_local std::uint32_t lastError = 0;

std::uint32_t FromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kErrorAccessDenied;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
      return kErrorDiskFull;
    case EEXIST:
      return kErrorAlreadyExists;
    default:
      return kErrnoMark | static_cast<std::uint32_t>(error);
  }
}

bool Fail(int error) {
  lastError = FromErrno(error);
  return false;
}

bool FailWith(std::uint32_t code) {
  lastError = code;
  return false;
}

int AsFd(FileHandle file) { return static_cast<int>(file); }

// The permission bits that clearing the read-only attribute gives back.
mode_t WriteBitsAllowedByUmask() {
  static const mode_t allowed = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>((S_IWUSR | S_IWGRP | S_IWOTH) & ~mask);
  }();
  return allowed;
}

class PosixPlatform final : public Platform {
 public:
  FileHandle OpenVolumeFile(const char* path) override {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      Fail(errno);
      return kInvalidFile;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
      ::close(fd);
      Fail(error);
      return kInvalidFile;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
  }

  bool ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* done) override {
    *done = 0;
    for (;;) {
      const ssize_t got = ::read(AsFd(file), buffer, size);
      if (got >= 0) {
        *done = static_cast<std::uint32_t>(got);
        return true;
      }
      if (errno != EINTR) return Fail(errno);
    }
  }

  bool GetFileSize(FileHandle file, std::uint64_t* size) override {
    struct stat info {};
    if (::fstat(AsFd(file), &info) != 0) return Fail(errno);
    *size = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  bool SeekToStart(FileHandle file) override {
    return ::lseek(AsFd(file), 0, SEEK_SET) == 0 || Fail(errno);
  }

  bool SkipForward(FileHandle file, std::uint64_t count) override {
    if (count > static_cast<std::uint64_t>(LLONG_MAX)) return FailWith(kErrorInvalidParameter);
    return ::lseek(AsFd(file), static_cast<off_t>(count), SEEK_CUR) >= 0 || Fail(errno);
  }

  void CloseFile(FileHandle file) override { ::close(AsFd(file)); }

  FileHandle CreateOutputFile(const char* path) override {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      Fail(errno);
      return kInvalidFile;
    }
    return fd;
  }

  bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                 std::uint32_t* done) override {
    *done = 0;
    for (;;) {
      const ssize_t put = ::write(AsFd(file), data, size);
      if (put >= 0) {
        *done = static_cast<std::uint32_t>(put);
        return true;
      }
      if (errno != EINTR) return Fail(errno);
    }
  }

  bool GetFileAttributes(const char* path, std::uint32_t* attributes) override {
    struct stat info {};
    if (::stat(path, &info) != 0) return Fail(errno);
    std::uint32_t bits = 0;
    if (S_ISDIR(info.st_mode)) bits |= kAttributeDirectory;
    if ((info.st_mode & S_IWUSR) == 0) bits |= kAttributeReadOnly;
    *attributes = bits != 0 ? bits : kAttributeNormal;
    return true;
  }

  // Only the read-only bit has a POSIX meaning: it takes the write permission
  // away; clearing it gives back what the umask allows.
  bool SetFileAttributes(const char* path, std::uint32_t attributes) override {
    struct stat info {};
    if (::stat(path, &info) != 0) return Fail(errno);
    mode_t mode = info.st_mode & 07777;
    if (attributes & kAttributeReadOnly) {
      mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else {
      mode |= WriteBitsAllowedByUmask();
    }
    return ::chmod(path, mode) == 0 || Fail(errno);
  }

  bool CreateDirectory(const char* path) override {
    return ::mkdir(path, 0777) == 0 || Fail(errno);
  }

  bool SetFileTime(const char* path, FileTimeKind kind, std::uint16_t dosDate,
                   std::uint16_t dosTime) override {
    std::int64_t seconds = 0;
    if (!DosDateTimeToUnixSeconds(dosDate, dosTime, &seconds)) {
      return FailWith(kErrorInvalidParameter);
    }
    struct stat info {};
    if (::stat(path, &info) != 0) return Fail(errno);
    // The time is set through a handle opened for writing: a read-only file
    // refuses it, as the system we stand in for does.
    if (!S_ISDIR(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
      return FailWith(kErrorAccessDenied);
    }
    if (kind == FileTimeKind::Creation) return FailWith(kErrorNotSupported);
    timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    timespec& target = kind == FileTimeKind::LastAccess ? times[0] : times[1];
    target.tv_sec = static_cast<time_t>(seconds);
    target.tv_nsec = 0;
    return ::utimensat(AT_FDCWD, path, times, 0) == 0 || Fail(errno);
  }

  bool GetCurrentDirectory(char* buffer, std::size_t size) override {
    return ::getcwd(buffer, size) != nullptr || Fail(errno);
  }

  bool GetMaxComponentLength(std::uint32_t* length) override {
    errno = 0;
    const long answer = ::pathconf(".", _PC_NAME_MAX);
    const int error = errno;
    const std::optional<std::uint32_t> max = ComponentLengthFromPathconf(answer, error);
    if (!max) return Fail(error);
    *length = *max;
    return true;
  }

  std::uint32_t LastError() override { return lastError; }

  std::string SystemErrorText(std::uint32_t code) override {
    switch (code) {
      case kErrorFileNotFound: return std::strerror(ENOENT);
      case kErrorAccessDenied: return std::strerror(EACCES);
      case kErrorNotEnoughMemory: return std::strerror(ENOMEM);
      case kErrorDiskFull: return std::strerror(ENOSPC);
      case kErrorAlreadyExists: return std::strerror(EEXIST);
      default: break;
    }
    if (code & kErrnoMark) return std::strerror(static_cast<int>(code & ~kErrnoMark));
    return "error " + std::to_string(code);
  }

  void LoadErrorText(int code, char* buffer, std::size_t size) override {
    const char* text = ErrorText(code);
    std::snprintf(buffer, size, "%s", text != nullptr ? text : "");
  }

  // A box is one line on standard error: the caption, then the text with its
  // line feeds shown as blanks.
  void ShowMessageBox(const char* text, const char* caption, BoxIcon) override {
    std::string line = std::string(caption) + ": " + text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    for (char& c : line) {
      if (c == '\n') c = ' ';
    }
    std::fprintf(stderr, "%s\n", line.c_str());
  }

  // There is no ANSI code page here: single-byte by default, code page 932
  // when MOLT_CODEPAGE says so.
  const CodePage& Characters() override {
    static const CodePage& page = [] () -> const CodePage& {
      const char* selected = std::getenv("MOLT_CODEPAGE");
      if (selected != nullptr && std::strcmp(selected, "932") == 0) return ShiftJisCodePage();
      return SingleByteCodePage();
    }();
    return page;
  }

  char PathSeparator() const override { return '/'; }
  std::size_t MaxPath() const override { return 4096; }
  bool IsAbsolutePath(const char* path) const override { return path[0] == '/'; }
  std::size_t DrivePrefixLength() const override { return 0; }
  bool IsReservedName(const char*) const override { return false; }
};

}  // namespace

Platform& SystemPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace molt::platform
