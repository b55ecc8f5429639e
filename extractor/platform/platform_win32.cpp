// The Win32 backend: each operation is the Windows call it stands for, with
// the flags the extractor has always used, and fails with GetLastError().
#include <windows.h>

#include <array>
#include <climits>
#include <cstring>
#include <string>

#include "codepage.h"
#include "module_instance_win32.h"
#include "platform.h"
#include "reserved_names.h"

namespace molt::platform {

HINSTANCE ModuleInstance = nullptr;

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// INVALID_HANDLE_VALUE is -1, the same value as kInvalidFile.
FileHandle FromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

bool FailWith(DWORD code) {
  ::SetLastError(code);
  return false;
}

DWORD ClampToDword(std::size_t size) {
  return size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
}

// The active ANSI code page. Single bytes are upper-cased through Unicode
// and back, and only where the upper case is again one byte of the same
// code page, the way the C runtime builds its multibyte case table.
class AnsiCodePage final : public CodePage {
 public:
  AnsiCodePage() {
    for (int byte = 0; byte < 256; ++byte) {
      upper_[byte] = UpperOfSingleByte(static_cast<std::uint8_t>(byte));
    }
  }

  bool IsLeadByte(std::uint8_t byte) const override { return ::IsDBCSLeadByte(byte) != FALSE; }
  // The trail bytes of every double-byte ANSI code page (932, 936, 949, 950)
  // lie in these ranges; none is below 0x40.
  bool IsTrailByte(std::uint8_t byte) const override {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
  }
  std::uint8_t ToUpper(std::uint8_t byte) const override { return upper_[byte]; }

 private:
  static std::uint8_t UpperOfSingleByte(std::uint8_t byte) {
    if (::IsDBCSLeadByte(byte)) return byte;
    const char narrow = static_cast<char>(byte);
    WCHAR wide = 0;
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &narrow, 1, &wide, 1) != 1) {
      return byte;
    }
    ::CharUpperBuffW(&wide, 1);
    char back[2] = {};
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, back,
                                             sizeof back, nullptr, &usedDefault);
    if (length != 1 || usedDefault) return byte;
    return static_cast<std::uint8_t>(back[0]);
  }

  std::array<std::uint8_t, 256> upper_{};
};

FILETIME* TimeSlot(FileTimeKind kind, FileTimeKind slot, FILETIME* time) {
  return kind == slot ? time : nullptr;
}

class Win32Platform final : public Platform {
 public:
  FileHandle OpenVolumeFile(const char* path) override {
    return FromHandle(::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  }

  bool ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* done) override {
    DWORD read = 0;
    const BOOL ok = ::ReadFile(AsHandle(file), buffer, size, &read, nullptr);
    *done = read;
    return ok != FALSE;
  }

  bool GetFileSize(FileHandle file, std::uint64_t* size) override {
    DWORD high = 0;
    const DWORD low = ::GetFileSize(AsHandle(file), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    *size = (std::uint64_t{high} << 32) | low;
    return true;
  }

  bool SeekToStart(FileHandle file) override {
    return ::SetFilePointer(AsHandle(file), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
  }

  bool SkipForward(FileHandle file, std::uint64_t count) override {
    if (count > static_cast<std::uint64_t>(LLONG_MAX)) return FailWith(ERROR_INVALID_PARAMETER);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(count);
    return ::SetFilePointerEx(AsHandle(file), distance, nullptr, FILE_CURRENT) != FALSE;
  }

  void CloseFile(FileHandle file) override { ::CloseHandle(AsHandle(file)); }

  FileHandle CreateOutputFile(const char* path) override {
    return FromHandle(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                 std::uint32_t* done) override {
    DWORD written = 0;
    const BOOL ok = ::WriteFile(AsHandle(file), data, size, &written, nullptr);
    *done = written;
    return ok != FALSE;
  }

  bool GetFileAttributes(const char* path, std::uint32_t* attributes) override {
    const DWORD bits = ::GetFileAttributesA(path);
    if (bits == INVALID_FILE_ATTRIBUTES) return false;
    *attributes = bits;
    return true;
  }

  bool SetFileAttributes(const char* path, std::uint32_t attributes) override {
    return ::SetFileAttributesA(path, attributes) != FALSE;
  }

  bool CreateDirectory(const char* path) override {
    return ::CreateDirectoryA(path, nullptr) != FALSE;
  }

  bool SetFileTime(const char* path, FileTimeKind kind, std::uint16_t dosDate,
                   std::uint16_t dosTime) override {
    FILETIME time;
    if (!::DosDateTimeToFileTime(dosDate, dosTime, &time)) return false;
    // Backup semantics let the same call open a directory.
    const HANDLE handle = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const BOOL set = ::SetFileTime(handle, TimeSlot(kind, FileTimeKind::Creation, &time),
                                   TimeSlot(kind, FileTimeKind::LastAccess, &time),
                                   TimeSlot(kind, FileTimeKind::LastWrite, &time));
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    return set != FALSE || FailWith(error);
  }

  bool GetCurrentDirectory(char* buffer, std::size_t size) override {
    const DWORD capacity = ClampToDword(size);
    if (capacity == 0) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    const DWORD length = ::GetCurrentDirectoryA(capacity, buffer);
    if (length == 0) return false;
    // A directory that does not fit comes back as the size it needs.
    if (length >= capacity) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    return true;
  }

  bool GetMaxComponentLength(std::uint32_t* length) override {
    DWORD max = 0;
    if (!::GetVolumeInformationA(nullptr, nullptr, 0, nullptr, &max, nullptr, nullptr, 0)) {
      return false;
    }
    *length = max;
    return true;
  }

  std::uint32_t LastError() override { return ::GetLastError(); }

  std::string SystemErrorText(std::uint32_t code) override {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
            FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) return "error " + std::to_string(code);
    std::string result(text, length);
    ::LocalFree(text);
    return result;
  }

  void LoadErrorText(int code, char* buffer, std::size_t size) override {
    if (size == 0) return;
    const int capacity = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    if (::LoadStringA(ModuleInstance, static_cast<UINT>(code), buffer, capacity) <= 0) {
      buffer[0] = '\0';
    }
  }

  void ShowMessageBox(const char* text, const char* caption, BoxIcon icon) override {
    const UINT type = MB_OK | (icon == BoxIcon::Information ? MB_ICONINFORMATION : 0);
    ::MessageBoxA(nullptr, text, caption, type);
  }

  const CodePage& Characters() override {
    static const AnsiCodePage page;
    return page;
  }

  char PathSeparator() const override { return '\\'; }
  std::size_t MaxPath() const override { return MAX_PATH; }
  bool IsAbsolutePath(const char* path) const override {
    return path[0] != '\0' && path[1] == ':';
  }
  std::size_t DrivePrefixLength() const override { return 2; }
  bool IsReservedName(const char* name) const override {
    return IsDeviceName(name) || EndsInDotOrBlank(name);
  }
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace molt::platform
