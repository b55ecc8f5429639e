// The POSIX side of system_files.h.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "failure.h"
#include "interrupt_cleanup.h"
#include "system_files.h"

namespace moltpack {
namespace {

std::string Reason(const std::string& what, int error = errno) { return what + ": " + std::strerror(error); }

// Like write(2), but all of it or a failure.
bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

bool WriteAllAt(int fd, std::uint64_t offset, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    offset += static_cast<std::uint64_t>(done);
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

SourceFile::SourceFile(const std::filesystem::path& path, std::uint64_t expectedSize) : path_(path) {
  // O_NONBLOCK: a FIFO put in the file's place must not stall the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP) throw Failure(path.string(), "has become a symbolic link since the scan");
    throw Failure(path.string(), Reason("cannot open"));
  }
  handle_ = fd;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    throw Failure(path.string(), Reason("cannot read its status", error));
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    throw Failure(path.string(), "is no longer a regular file");
  }
  if (static_cast<std::uint64_t>(status.st_size) != expectedSize) {
    ::close(fd);
    throw Failure(path.string(), "changed size since the scan (" + std::to_string(expectedSize) + " bytes, now " +
                                     std::to_string(status.st_size) + ")");
  }
}

SourceFile::~SourceFile() { ::close(static_cast<int>(handle_)); }

std::size_t SourceFile::ReadSome(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t done = ::read(static_cast<int>(handle_), buffer, size);
    if (done >= 0) return static_cast<std::size_t>(done);
    if (errno != EINTR) throw Failure(path_.string(), Reason("cannot read"));
  }
}

WritableFile::WritableFile(const std::filesystem::path& path, const std::string& shownPath, Mode mode)
    : shownPath_(shownPath), handle_(-1) {
  const int flags = mode == Mode::kCreateNew ? O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC : O_WRONLY | O_CLOEXEC;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    if (mode == Mode::kCreateNew && errno == EEXIST) {
      existed_ = true;
      return;
    }
    throw Failure(shownPath_, Reason("cannot create"));
  }
  handle_ = fd;
}

WritableFile::~WritableFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

void WritableFile::Append(const char* data, std::size_t size) {
  if (!WriteAll(static_cast<int>(handle_), data, size)) throw Failure(shownPath_, Reason("cannot write"));
}

void WritableFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
  if (!WriteAllAt(static_cast<int>(handle_), offset, data, size)) throw Failure(shownPath_, Reason("cannot write"));
}

void WritableFile::Close() {
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (fd >= 0 && ::close(fd) != 0) throw Failure(shownPath_, Reason("cannot write"));
}

void MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& shownPath) {
  if (::rename(from.c_str(), to.c_str()) != 0) throw Failure(shownPath, Reason("cannot put in place"));
}

std::optional<std::string> ReasonNotToReplace(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return Reason("cannot be examined");
  }
  if (S_ISREG(status.st_mode)) return std::nullopt;
  if (S_ISLNK(status.st_mode)) return "is a symbolic link, not a regular file: not replaced";
  if (S_ISDIR(status.st_mode)) return "is a folder, not a regular file: not replaced";
  return "is a device, a FIFO or a socket, not a regular file: not replaced";
}

EntryStat StatEntry(const std::filesystem::path& path, bool followLinks, std::error_code& error) {
  namespace fs = std::filesystem;
  error.clear();
  struct stat status {};
  if ((followLinks ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {fs::file_status(fs::file_type::not_found)};
    error.assign(errno, std::generic_category());
    return {fs::file_status(fs::file_type::none)};
  }
  fs::file_type type = fs::file_type::unknown;
  if (S_ISREG(status.st_mode)) type = fs::file_type::regular;
  if (S_ISDIR(status.st_mode)) type = fs::file_type::directory;
  if (S_ISLNK(status.st_mode)) type = fs::file_type::symlink;
  if (S_ISCHR(status.st_mode)) type = fs::file_type::character;
  if (S_ISBLK(status.st_mode)) type = fs::file_type::block;
  if (S_ISFIFO(status.st_mode)) type = fs::file_type::fifo;
  if (S_ISSOCK(status.st_mode)) type = fs::file_type::socket;
  return {fs::file_status(type, static_cast<fs::perms>(status.st_mode & 07777)),
          static_cast<std::uint64_t>(status.st_size)};
}

long long LastWriteSeconds(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) throw Failure(path.string(), Reason("cannot read its time"));
  return static_cast<long long>(status.st_mtim.tv_sec);
}

void RemoveQuietly(const std::filesystem::path& path) noexcept { ::unlink(path.c_str()); }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void ReportFileSizeLimitAsError() { ::signal(SIGXFSZ, SIG_IGN); }

namespace {

void RemoveAndEnd(int signal) {
  RemoveHeldFiles();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void RemoveTemporaryFilesOnInterrupt() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    // One that the caller ignores (nohup) stays ignored.
    if (::signal(signal, RemoveAndEnd) == SIG_IGN) ::signal(signal, SIG_IGN);
  }
}

}  // namespace moltpack
