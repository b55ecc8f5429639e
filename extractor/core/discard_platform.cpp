#include "discard_platform.h"

namespace molt {

platform::FileHandle DiscardPlatform::OpenVolumeFile(const char* path) {
  volumesOpened.emplace_back(path);
  ownError_ = 0;
  return real_.OpenVolumeFile(path);
}

bool DiscardPlatform::ReadFile(platform::FileHandle file, void* buffer, std::uint32_t size,
                               std::uint32_t* done) {
  ownError_ = 0;
  return real_.ReadFile(file, buffer, size, done);
}

bool DiscardPlatform::GetFileSize(platform::FileHandle file, std::uint64_t* size) {
  ownError_ = 0;
  if (!real_.GetFileSize(file, size)) return false;
  volumeSizes.push_back(*size);
  return true;
}

bool DiscardPlatform::SeekToStart(platform::FileHandle file) {
  ownError_ = 0;
  return real_.SeekToStart(file);
}

bool DiscardPlatform::SkipForward(platform::FileHandle file, std::uint64_t count) {
  ownError_ = 0;
  return real_.SkipForward(file, count);
}

void DiscardPlatform::CloseFile(platform::FileHandle file) {
  if (file != kSinkHandle) real_.CloseFile(file);
}

platform::FileHandle DiscardPlatform::CreateOutputFile(const char* path) {
  if (recordOutputs) outputs.push_back({path, false, 0, false});
  return kSinkHandle;
}

bool DiscardPlatform::WriteFile(platform::FileHandle file, const void*, std::uint32_t size,
                                std::uint32_t* done) {
  *done = 0;
  if (file != kSinkHandle) {
    // Only the sink is ever written: nothing else may change on disk.
    ownError_ = platform::kErrorAccessDenied;
    return false;
  }
  *done = size;
  if (recordOutputs && !outputs.empty()) outputs.back().bytesWritten += size;
  return true;
}

bool DiscardPlatform::GetFileAttributes(const char*, std::uint32_t*) {
  ownError_ = platform::kErrorFileNotFound;  // nothing the walk made exists
  return false;
}

bool DiscardPlatform::SetFileAttributes(const char* path, std::uint32_t) {
  // The walk sets a file's attributes last, after its data, times and CRC-32.
  if (recordOutputs && !outputs.empty() && !outputs.back().isDirectory &&
      outputs.back().path == path) {
    outputs.back().complete = true;
  }
  return true;
}

bool DiscardPlatform::CreateDirectory(const char* path) {
  if (recordOutputs) outputs.push_back({path, true, 0, true});
  return true;
}

bool DiscardPlatform::SetFileTime(const char*, platform::FileTimeKind, std::uint16_t,
                                  std::uint16_t) {
  return true;
}

bool DiscardPlatform::GetCurrentDirectory(char* buffer, std::size_t size) {
  ownError_ = 0;
  return real_.GetCurrentDirectory(buffer, size);
}

bool DiscardPlatform::GetMaxComponentLength(std::uint32_t* length) {
  ownError_ = 0;
  return real_.GetMaxComponentLength(length);
}

std::uint32_t DiscardPlatform::LastError() {
  return ownError_ != 0 ? ownError_ : real_.LastError();
}

std::string DiscardPlatform::SystemErrorText(std::uint32_t code) {
  return real_.SystemErrorText(code);
}

void DiscardPlatform::LoadErrorText(int code, char* buffer, std::size_t size) {
  real_.LoadErrorText(code, buffer, size);
}

void DiscardPlatform::ShowMessageBox(const char*, const char*, platform::BoxIcon) {}

const platform::CodePage& DiscardPlatform::Characters() { return real_.Characters(); }
char DiscardPlatform::PathSeparator() const { return real_.PathSeparator(); }
std::size_t DiscardPlatform::MaxPath() const { return real_.MaxPath(); }
bool DiscardPlatform::IsAbsolutePath(const char* path) const { return real_.IsAbsolutePath(path); }
std::size_t DiscardPlatform::DrivePrefixLength() const { return real_.DrivePrefixLength(); }
bool DiscardPlatform::IsReservedName(const char* name) const {
  return real_.IsReservedName(name);
}

}  // namespace molt
