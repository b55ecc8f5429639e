#include "support/fault_platform.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

namespace platform = molt::platform;

bool FaultPlatform::Fail(std::uint32_t error) {
  injectedError_ = error;
  return false;
}

FileHandle FaultPlatform::OpenVolumeFile(const char* path) {
  openedVolumes.emplace_back(path);
  if (volumeOpensBeforeFailure >= 0 && volumeOpens++ >= volumeOpensBeforeFailure) {
    Fail(platform::kErrorFileNotFound);
    return platform::kInvalidFile;
  }
  injectedError_.reset();
  const FileHandle file = real_.OpenVolumeFile(path);
  if (file != platform::kInvalidFile) volumes_[file] = {path, 0};
  return file;
}

bool FaultPlatform::ReachesBadSpot(FileHandle file, std::uint32_t size, std::uint32_t* before) {
  const auto volume = volumes_.find(file);
  if (!badSpotVolume || volume == volumes_.end() || volume->second.path != *badSpotVolume) {
    return false;
  }
  std::uint64_t fileSize = 0;
  if (!real_.GetFileSize(file, &fileSize)) return false;
  const std::uint64_t position = volume->second.position;
  const std::uint64_t end = std::min<std::uint64_t>(position + size, fileSize);
  if (end <= badSpotOffset || position >= end) return false;
  *before = position < badSpotOffset ? static_cast<std::uint32_t>(badSpotOffset - position) : 0;
  return true;
}

bool FaultPlatform::ReadFile(FileHandle file, void* buffer, std::uint32_t size,
                             std::uint32_t* done) {
  ++readCalls;
  *done = 0;
  if (readsBeforeFailure >= 0 && reads_++ >= readsBeforeFailure) return Fail(readError);
  std::uint32_t before = 0;
  const bool reachesBadSpot = ReachesBadSpot(file, size, &before);
  if (reachesBadSpot) size = before;
  injectedError_.reset();
  if (size > 0 && !real_.ReadFile(file, buffer, size, done)) return false;
  if (const auto volume = volumes_.find(file); volume != volumes_.end()) {
    volume->second.position += *done;
  }
  if (reachesBadSpot && (!shortReadBeforeBadSpot || *done == 0)) {
    // Failed, and, as nothing promises where a failed read leaves the file,
    // past the bytes before the bad spot.
    *done = 0;
    return Fail(readError);
  }
  return true;
}

bool FaultPlatform::GetFileSize(FileHandle file, std::uint64_t* size) {
  if (failFileSize) return Fail(platform::kErrorAccessDenied);
  injectedError_.reset();
  return real_.GetFileSize(file, size);
}

bool FaultPlatform::SeekToStart(FileHandle file) {
  if (failSeekToStart) return Fail(platform::kErrorAccessDenied);
  injectedError_.reset();
  if (!real_.SeekToStart(file)) return false;
  if (const auto volume = volumes_.find(file); volume != volumes_.end()) {
    volume->second.position = 0;
  }
  return true;
}

bool FaultPlatform::SkipForward(FileHandle file, std::uint64_t count) {
  if (failSkip) return Fail(131);  // a negative seek
  injectedError_.reset();
  if (!real_.SkipForward(file, count)) return false;
  if (const auto volume = volumes_.find(file); volume != volumes_.end()) {
    volume->second.position += count;
  }
  return true;
}

void FaultPlatform::CloseFile(FileHandle file) {
  volumes_.erase(file);
  real_.CloseFile(file);
}

FileHandle FaultPlatform::CreateOutputFile(const char* path) {
  injectedError_.reset();
  return real_.CreateOutputFile(path);
}

bool FaultPlatform::WriteFile(FileHandle file, const void* data, std::uint32_t size,
                              std::uint32_t* done) {
  *done = 0;
  ++writeCalls;
  if (writeFailures > 0 && writesBeforeFailures-- <= 0) {
    --writeFailures;
    const std::uint32_t part = std::min(size, bytesBeforeWriteFailure);
    if (part > 0 && !real_.WriteFile(file, data, part, done)) return false;
    return Fail(writeError);
  }
  if (writeChunk) size = std::min(size, *writeChunk);
  bool diskFills = false;
  if (diskSpace) {
    if (size > *diskSpace && (*diskSpace == 0 || wholeWritesOnly)) {
      return Fail(platform::kErrorDiskFull);
    }
    diskFills = size > *diskSpace && failAfterWhatFits;
    size = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, *diskSpace));
  }
  injectedError_.reset();
  if (!real_.WriteFile(file, data, size, done)) return false;
  if (diskSpace) *diskSpace -= *done;
  return diskFills ? Fail(platform::kErrorDiskFull) : true;
}

bool FaultPlatform::GetFileAttributes(const char* path, std::uint32_t* attributes) {
  injectedError_.reset();
  return real_.GetFileAttributes(path, attributes);
}

bool FaultPlatform::SetFileAttributes(const char* path, std::uint32_t attributes) {
  injectedError_.reset();
  return real_.SetFileAttributes(path, attributes);
}

bool FaultPlatform::CreateDirectory(const char* path) {
  if (failCreateDirectory) return Fail(platform::kErrorAccessDenied);
  injectedError_.reset();
  return real_.CreateDirectory(path);
}

bool FaultPlatform::SetFileTime(const char* path, platform::FileTimeKind kind,
                                std::uint16_t dosDate, std::uint16_t dosTime) {
  injectedError_.reset();
  return real_.SetFileTime(path, kind, dosDate, dosTime);
}

bool FaultPlatform::GetCurrentDirectory(char* buffer, std::size_t size) {
  if (failCurrentDirectory) return Fail(platform::kErrorAccessDenied);
  if (currentDirectory) {
    if (currentDirectory->size() + 1 > size) return Fail(122);  // insufficient buffer
    std::memcpy(buffer, currentDirectory->c_str(), currentDirectory->size() + 1);
    return true;
  }
  injectedError_.reset();
  return real_.GetCurrentDirectory(buffer, size);
}

bool FaultPlatform::GetMaxComponentLength(std::uint32_t* length) {
  if (maxComponentLength) {
    *length = *maxComponentLength;
    return true;
  }
  injectedError_.reset();
  return real_.GetMaxComponentLength(length);
}

std::uint32_t FaultPlatform::LastError() {
  return injectedError_ ? *injectedError_ : real_.LastError();
}

std::string FaultPlatform::SystemErrorText(std::uint32_t code) {
  return real_.SystemErrorText(code);
}

void FaultPlatform::LoadErrorText(int code, char* buffer, std::size_t size) {
  real_.LoadErrorText(code, buffer, size);
}

void FaultPlatform::ShowMessageBox(const char* text, const char* caption,
                                   platform::BoxIcon icon) {
  boxes.push_back({text, caption, icon});
}

const platform::CodePage& FaultPlatform::Characters() {
  return codePage != nullptr ? *codePage : real_.Characters();
}

}  // namespace testing_support
