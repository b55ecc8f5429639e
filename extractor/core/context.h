// All state of one extractor: the reader, the decoder, the CRC register and
// the walk. The export keeps one process-wide instance; tests make their own.
#pragma once

#include <cstdint>

#include "crc32.h"
#include "inflate.h"
#include "platform/platform.h"
#include "reader.h"
#include "stored_copy.h"
#include "walk.h"

namespace molt {

struct Context {
  explicit Context(platform::Platform& system) : sys(system) {}
  ~Context() { CloseReader(*this); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  platform::Platform& sys;
  bool ShowErrors = false;
  std::uint32_t RunningCrc = kCrcInitial;
  ReaderState reader;
  DecoderState decoder;
  StoredCopyState storedCopy;
  WalkState walk;
};

}  // namespace molt
