// A platform for tests: the system's own backend, with faults that a test
// can switch on, the boxes it showed recorded, and the environment (code
// page, current directory, name length) replaceable.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/platform.h"

namespace testing_support {

using molt::platform::FileHandle;

struct ShownBox {
  std::string text;
  std::string caption;
  molt::platform::BoxIcon icon;
};

class FaultPlatform : public molt::platform::Platform {
 public:
  explicit FaultPlatform(molt::platform::Platform& real = molt::platform::SystemPlatform())
      : real_(real) {}

  // Faults. A count of reads or writes lets that many succeed first; -1 never fails.
  int readsBeforeFailure = -1;
  std::uint32_t readError = 23;  // a data error
  // A bad spot: the volume file opened by this path cannot be read from this
  // offset on. A read that reaches it fails with readError, with nothing
  // read but the file moved on to the bad spot, or first comes back short
  // with the bytes before it when `shortReadBeforeBadSpot` is set (as a
  // POSIX read does).
  std::optional<std::string> badSpotVolume;
  std::uint64_t badSpotOffset = 0;
  bool shortReadBeforeBadSpot = false;
  int volumeOpensBeforeFailure = -1;
  bool failFileSize = false;
  bool failSeekToStart = false;
  bool failSkip = false;
  // Writes: a disk that holds only this many more bytes (then kErrorDiskFull).
  std::optional<std::uint64_t> diskSpace;
  // With diskSpace: a write that does not fit fails with nothing written,
  // as on Windows, instead of taking the part that fits.
  bool wholeWritesOnly = false;
  // Writes take at most this many bytes each (short writes).
  std::optional<std::uint32_t> writeChunk;
  // With diskSpace: a write that does not fit takes the part that fits and
  // then fails with kErrorDiskFull, reporting that part as done.
  bool failAfterWhatFits = false;
  // Writes fail with this error (not a full disk) this many times in a row,
  // after `writesBeforeFailures` writes that succeed.
  int writeFailures = 0;
  int writesBeforeFailures = 0;
  std::uint32_t writeError = 33;  // a lock violation
  // A failing write first takes this many of its bytes and reports them
  // done, as a Win32 WriteFile that fails part way may.
  std::uint32_t bytesBeforeWriteFailure = 0;
  bool failCreateDirectory = false;
  bool failCurrentDirectory = false;

  // Environment.
  const molt::platform::CodePage* codePage = nullptr;
  std::optional<std::string> currentDirectory;
  std::optional<std::uint32_t> maxComponentLength;

  // What happened.
  std::vector<ShownBox> boxes;
  std::vector<std::string> openedVolumes;
  int volumeOpens = 0;
  int readCalls = 0;
  int writeCalls = 0;

  FileHandle OpenVolumeFile(const char* path) override;
  bool ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* done) override;
  bool GetFileSize(FileHandle file, std::uint64_t* size) override;
  bool SeekToStart(FileHandle file) override;
  bool SkipForward(FileHandle file, std::uint64_t count) override;
  void CloseFile(FileHandle file) override;
  FileHandle CreateOutputFile(const char* path) override;
  bool WriteFile(FileHandle file, const void* data, std::uint32_t size,
                 std::uint32_t* done) override;
  bool GetFileAttributes(const char* path, std::uint32_t* attributes) override;
  bool SetFileAttributes(const char* path, std::uint32_t attributes) override;
  bool CreateDirectory(const char* path) override;
  bool SetFileTime(const char* path, molt::platform::FileTimeKind kind, std::uint16_t dosDate,
                   std::uint16_t dosTime) override;
  bool GetCurrentDirectory(char* buffer, std::size_t size) override;
  bool GetMaxComponentLength(std::uint32_t* length) override;
  std::uint32_t LastError() override;
  std::string SystemErrorText(std::uint32_t code) override;
  void LoadErrorText(int code, char* buffer, std::size_t size) override;
  void ShowMessageBox(const char* text, const char* caption,
                      molt::platform::BoxIcon icon) override;
  const molt::platform::CodePage& Characters() override;
  char PathSeparator() const override { return real_.PathSeparator(); }
  std::size_t MaxPath() const override { return real_.MaxPath(); }
  bool IsAbsolutePath(const char* path) const override { return real_.IsAbsolutePath(path); }
  std::size_t DrivePrefixLength() const override { return real_.DrivePrefixLength(); }
  bool IsReservedName(const char* name) const override { return real_.IsReservedName(name); }

 private:
  bool Fail(std::uint32_t error);

  // Whether a read of `size` bytes reaches the bad spot; `*before` tells
  // how many bytes come first.
  bool ReachesBadSpot(FileHandle file, std::uint32_t size, std::uint32_t* before);

  struct OpenVolume {
    std::string path;
    std::uint64_t position = 0;
  };

  molt::platform::Platform& real_;
  std::map<FileHandle, OpenVolume> volumes_;
  std::optional<std::uint32_t> injectedError_;
  int reads_ = 0;
};

}  // namespace testing_support
