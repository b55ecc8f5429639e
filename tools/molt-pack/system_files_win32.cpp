// The Windows side of system_files.h.
#include <windows.h>

#include <io.h>

#include <cstdio>

#include "failure.h"
#include "interrupt_cleanup.h"
#include "system_files.h"

namespace moltpack {
namespace {

std::string SystemText(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length > 0 ? std::string(text, length) : "system error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
    result.pop_back();
  }
  return result;
}

std::string Reason(const std::string& what, DWORD code = GetLastError()) { return what + ": " + SystemText(code); }

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// WriteFile takes 32-bit counts.
constexpr std::size_t kMaxTransfer = 1u << 30;

bool WriteAllAt(HANDLE file, const std::uint64_t* offset, const char* data, std::size_t size) {
  std::uint64_t at = offset != nullptr ? *offset : 0;
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD done = 0;
    if (!::WriteFile(file, data, piece, &done, offset != nullptr ? &where : nullptr) || done == 0) return false;
    data += done;
    at += done;
    size -= done;
  }
  return true;
}

}  // namespace

SourceFile::SourceFile(const std::filesystem::path& path, std::uint64_t expectedSize) : path_(path) {
  // FILE_FLAG_OPEN_REPARSE_POINT: a link is opened as itself; with
  // FILE_FLAG_BACKUP_SEMANTICS a folder opens too; both are refused below.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) throw Failure(path.string(), Reason("cannot open"));
  handle_ = reinterpret_cast<std::intptr_t>(file);
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    throw Failure(path.string(), Reason("cannot read its status", error));
  }
  if (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
    CloseHandle(file);
    throw Failure(path.string(), "is no longer a regular file");
  }
  const std::uint64_t size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  if (size != expectedSize) {
    CloseHandle(file);
    throw Failure(path.string(), "changed size since the scan (" + std::to_string(expectedSize) + " bytes, now " +
                                     std::to_string(size) + ")");
  }
}

SourceFile::~SourceFile() { CloseHandle(AsHandle(handle_)); }

std::size_t SourceFile::ReadSome(char* buffer, std::size_t size) {
  DWORD done = 0;
  const DWORD piece = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
  if (!::ReadFile(AsHandle(handle_), buffer, piece, &done, nullptr)) {
    throw Failure(path_.string(), Reason("cannot read"));
  }
  return done;
}

WritableFile::WritableFile(const std::filesystem::path& path, const std::string& shownPath, Mode mode)
    : shownPath_(shownPath), handle_(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE)) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                  mode == Mode::kCreateNew ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (mode == Mode::kCreateNew && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)) {
      existed_ = true;
      return;
    }
    throw Failure(shownPath_, Reason("cannot create", error));
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

WritableFile::~WritableFile() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

void WritableFile::Append(const char* data, std::size_t size) {
  if (!WriteAllAt(AsHandle(handle_), nullptr, data, size)) throw Failure(shownPath_, Reason("cannot write"));
}

void WritableFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
  // A positioned write moves the file pointer: appends go on at the end.
  LARGE_INTEGER end{};
  if (!WriteAllAt(AsHandle(handle_), &offset, data, size) || !SetFilePointerEx(AsHandle(handle_), end, nullptr, FILE_END)) {
    throw Failure(shownPath_, Reason("cannot write"));
  }
}

void WritableFile::Close() {
  const HANDLE file = AsHandle(handle_);
  handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  if (file != INVALID_HANDLE_VALUE && !CloseHandle(file)) throw Failure(shownPath_, Reason("cannot write"));
}

void MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& shownPath) {
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw Failure(shownPath, Reason("cannot put in place"));
  }
}

std::optional<std::string> ReasonNotToReplace(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
    return Reason("cannot be examined", code);
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "is a link, not a regular file: not replaced";
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "is a folder, not a regular file: not replaced";
  return std::nullopt;
}

EntryStat StatEntry(const std::filesystem::path& path, bool followLinks, std::error_code& error) {
  namespace fs = std::filesystem;
  EntryStat stat{followLinks ? fs::status(path, error) : fs::symlink_status(path, error)};
  if (!error && fs::is_regular_file(stat.status)) stat.size = fs::file_size(path, error);
  return stat;
}

long long LastWriteSeconds(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    throw Failure(path.string(), Reason("cannot read its time"));
  }
  // 100-nanosecond ticks since 1601; 11644473600 seconds lie before 1970.
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  return static_cast<long long>(ticks / 10'000'000) - 11'644'473'600LL;
}

void RemoveQuietly(const std::filesystem::path& path) noexcept { DeleteFileW(path.c_str()); }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

// Windows has no file-size signal: a write past a quota fails by itself.
void ReportFileSizeLimitAsError() {}

namespace {

// Runs on a thread of its own; FALSE lets the system end the process.
BOOL WINAPI RemoveAndEnd(DWORD) {
  RemoveHeldFiles();
  return FALSE;
}

}  // namespace

void RemoveTemporaryFilesOnInterrupt() { SetConsoleCtrlHandler(RemoveAndEnd, TRUE); }

}  // namespace moltpack
