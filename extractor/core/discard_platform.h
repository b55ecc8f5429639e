// A platform that reads like the real one and writes nothing.
//
// The extractor's own code runs on it unchanged: the reader opens and reads
// the volumes through the real backend, while every output file is a sink
// whose writes are only counted, and directories, times and attributes are
// taken as set without touching the disk. So a pack's files can be decoded
// and checked against their CRC-32 (molt test), and an extraction can be
// replayed to see how far it gets (molt extract, after a failure), by the
// very code that extracts them.
//
// It also records what the walk asked for: each volume path it opened and
// each output it would have made, in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace molt {

class DiscardPlatform : public platform::Platform {
 public:
  // The handle of every output file: writes to it go nowhere.
  static constexpr platform::FileHandle kSinkHandle = -2;

  struct Output {
    std::string path;  // as the walk built it, destination included
    bool isDirectory = false;
    std::uint64_t bytesWritten = 0;
    // A file: its data was written and checked, and the walk went on to set
    // its attributes, the last step of a file entry. A directory: created.
    bool complete = false;
  };

  explicit DiscardPlatform(platform::Platform& real = platform::SystemPlatform()) : real_(real) {}

  // What the walk asked for, in order.
  std::vector<Output> outputs;
  std::vector<std::string> volumesOpened;  // every path given to OpenVolumeFile
  // The size GetFileSize gave for each volume, in the order opened: the
  // reader asks once per volume, right after opening it, so these are the
  // sizes of the first volumeSizes.size() of volumesOpened.
  std::vector<std::uint64_t> volumeSizes;
  // Whether the outputs are recorded; a check of a whole pack needs none.
  bool recordOutputs = true;

  // Reading: the real backend.
  platform::FileHandle OpenVolumeFile(const char* path) override;
  bool ReadFile(platform::FileHandle file, void* buffer, std::uint32_t size,
                std::uint32_t* done) override;
  bool GetFileSize(platform::FileHandle file, std::uint64_t* size) override;
  bool SeekToStart(platform::FileHandle file) override;
  bool SkipForward(platform::FileHandle file, std::uint64_t count) override;
  void CloseFile(platform::FileHandle file) override;

  // Writing: nothing reaches the disk.
  platform::FileHandle CreateOutputFile(const char* path) override;
  bool WriteFile(platform::FileHandle file, const void* data, std::uint32_t size,
                 std::uint32_t* done) override;
  bool GetFileAttributes(const char* path, std::uint32_t* attributes) override;
  bool SetFileAttributes(const char* path, std::uint32_t attributes) override;
  bool CreateDirectory(const char* path) override;
  bool SetFileTime(const char* path, platform::FileTimeKind kind, std::uint16_t dosDate,
                   std::uint16_t dosTime) override;

  // The environment: the real backend.
  bool GetCurrentDirectory(char* buffer, std::size_t size) override;
  bool GetMaxComponentLength(std::uint32_t* length) override;
  std::uint32_t LastError() override;
  std::string SystemErrorText(std::uint32_t code) override;
  void LoadErrorText(int code, char* buffer, std::size_t size) override;
  // Boxes are never shown: the caller reports in its own words.
  void ShowMessageBox(const char* text, const char* caption, platform::BoxIcon icon) override;
  const platform::CodePage& Characters() override;
  char PathSeparator() const override;
  std::size_t MaxPath() const override;
  bool IsAbsolutePath(const char* path) const override;
  std::size_t DrivePrefixLength() const override;
  bool IsReservedName(const char* name) const override;

 private:
  platform::Platform& real_;
  // The reason for a refusal of our own; cleared by every call of the real backend.
  std::uint32_t ownError_ = 0;
};

}  // namespace molt
