// The extractor's view of the operating system.
//
// Each operation does what the extractor expects of the Windows call it stands
// for, and fails the way that call can fail: a false result (or the invalid
// handle) with the reason left in LastError(). The build picks one backend,
// platform_posix.cpp or platform_win32.cpp; tests wrap a backend to inject
// faults. Nothing outside this folder knows which system it runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace molt::platform {

class CodePage;

using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// System error codes, in the Windows numbering. The POSIX backend maps errno
// onto these where the extractor tells them apart and keeps errno otherwise.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;

// File attribute bits, applied as they stand in a pack.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;
inline constexpr std::uint32_t kAttributeNormal = 0x80;

enum class FileTimeKind { Creation, LastAccess, LastWrite };

enum class BoxIcon { None, Information };

class Platform {
 public:
  virtual ~Platform() = default;

  // Volumes of a pack: opened for reading, existing files only, with no
  // sharing and the sequential-scan hint.
  virtual FileHandle OpenVolumeFile(const char* path) = 0;
  // Reads up to `size` bytes; `*done` is 0 at the end of the file.
  virtual bool ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                        std::uint32_t* done) = 0;
  // The file's whole size.
  virtual bool GetFileSize(FileHandle file, std::uint64_t* size) = 0;
  virtual bool SeekToStart(FileHandle file) = 0;
  // Moves the file position forward by `count` bytes from where it stands.
  virtual bool SkipForward(FileHandle file, std::uint64_t count) = 0;
  virtual void CloseFile(FileHandle file) = 0;

  // Output files: write access, others may write but not read or delete,
  // an existing file is replaced and emptied.
  virtual FileHandle CreateOutputFile(const char* path) = 0;
  // Writes up to `size` bytes; `*done` tells how many went out.
  virtual bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                         std::uint32_t* done) = 0;
  virtual bool GetFileAttributes(const char* path, std::uint32_t* attributes) = 0;
  virtual bool SetFileAttributes(const char* path, std::uint32_t attributes) = 0;
  // Creates one directory; its parent must exist. An existing one fails with
  // kErrorAlreadyExists.
  virtual bool CreateDirectory(const char* path) = 0;
  // Converts an MS-DOS date and time (taken as UTC) and sets that one time of
  // an existing file or directory, leaving the other two as they are. Fails
  // when the date or time is out of range, the path cannot be opened for
  // writing, or the time cannot be set.
  virtual bool SetFileTime(const char* path, FileTimeKind kind, std::uint16_t dosDate,
                           std::uint16_t dosTime) = 0;

  // The current directory, NUL-terminated, in a buffer of `size` bytes.
  virtual bool GetCurrentDirectory(char* buffer, std::size_t size) = 0;
  // The longest file-name component the current directory's volume allows.
  virtual bool GetMaxComponentLength(std::uint32_t* length) = 0;

  // The reason for the last failure of an operation above.
  virtual std::uint32_t LastError() = 0;
  // The system's own text for an error code.
  virtual std::string SystemErrorText(std::uint32_t code) = 0;
  // The extractor's text for one of its error codes, at most size - 1 bytes;
  // an empty string when it has none.
  virtual void LoadErrorText(int code, char* buffer, std::size_t size) = 0;
  // A modal message box with one OK button and no owner window.
  virtual void ShowMessageBox(const char* text, const char* caption, BoxIcon icon) = 0;

  // The character functions of the active multibyte code page.
  virtual const CodePage& Characters() = 0;

  // Path rules of this system. The separator joins output path components.
  virtual char PathSeparator() const = 0;
  // Longest path, terminator included, that an output path may hold.
  virtual std::size_t MaxPath() const = 0;
  // A destination that stands on its own: drive-qualified ('D:...') on
  // Windows, rooted ('/...') on POSIX.
  virtual bool IsAbsolutePath(const char* path) const = 0;
  // Bytes of the current directory that name its drive ('C:'), 0 where
  // there are no drives. A destination that begins with the separator is
  // rooted there.
  virtual std::size_t DrivePrefixLength() const = 0;
  // A name that the system keeps for a device (CON, NUL, COM1 and so on),
  // which must never become an output name.
  virtual bool IsReservedName(const char* name) const = 0;
};

// The backend that this build was made for, shared by the whole process.
Platform& SystemPlatform();

}  // namespace molt::platform
