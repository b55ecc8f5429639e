// The few file operations whose form differs between systems, behind one
// interface; the build picks system_files_posix.cpp or system_files_win32.cpp.
// Every failure throws Failure with the path and the system's own reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace moltpack {

// A source file opened for reading. The name is not followed where it is a
// link, and the file must still be what the scan saw: a regular file of the
// same size. Anything else means the tree changed under us.
class SourceFile {
 public:
  SourceFile(const std::filesystem::path& path, std::uint64_t expectedSize);
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Exactly `size` bytes of the contents; a file that ends early fails.
  void Read(char* buffer, std::size_t size);
  // A file that goes on past the size the scan saw fails.
  void ExpectEnd();

 private:
  std::size_t ReadSome(char* buffer, std::size_t size);

  std::filesystem::path path_;
  std::intptr_t handle_;
};

// A file being written. Messages name `shownPath`, the name the user knows,
// which for a temporary file is the name it will take.
class WritableFile {
 public:
  enum class Mode { kCreateNew, kOpenExisting };
  // kCreateNew never replaces a file: one that exists already gives false
  // from Exists() and nothing is opened.
  WritableFile(const std::filesystem::path& path, const std::string& shownPath, Mode mode);
  ~WritableFile();
  WritableFile(const WritableFile&) = delete;
  WritableFile& operator=(const WritableFile&) = delete;

  bool Exists() const { return existed_; }
  void Append(const char* data, std::size_t size);
  void WriteAt(std::uint64_t offset, const char* data, std::size_t size);
  // Reports what a failed close tells (a delayed write error).
  void Close();

 private:
  std::string shownPath_;
  std::intptr_t handle_;
  bool existed_ = false;
};

// Renames `from` over `to`, replacing a file that is there.
void MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                 const std::string& shownPath);
// Why what stands at `path` must not be replaced by an output file, or
// nothing when nothing is there or it is a regular file. A link is refused,
// not followed: renaming over it would replace the link, not its target.
std::optional<std::string> ReasonNotToReplace(const std::filesystem::path& path);

// What stands at `path`: its type and permissions, and a file's size.
struct EntryStat {
  std::filesystem::file_status status;
  std::uint64_t size = 0;
};
// Following a link or not. The system's own call: it reads an entry
// whatever time it carries, where the library's refuses one past 2038 on a
// 32-bit system.
EntryStat StatEntry(const std::filesystem::path& path, bool followLinks, std::error_code& error);

// The last-write time of a file or folder, not following a link, in whole
// seconds since 1970 UTC (rounded down), whatever its year.
long long LastWriteSeconds(const std::filesystem::path& path);

// Removes a file, quietly: for clean-up on the way out.
void RemoveQuietly(const std::filesystem::path& path) noexcept;

// Whether standard error is a terminal, for the progress line.
bool StandardErrorIsTerminal();

// A file-size limit (RLIMIT_FSIZE) makes writes past it fail with EFBIG
// instead of ending the process by a signal, so the failure is reported and
// the temporary files removed. Nothing to do where there is no such signal.
void ReportFileSizeLimitAsError();

}  // namespace moltpack
