// Writes the record stream of a scanned tree into a volume sink: records in
// tree order, each file's data read from disk when it is prepared, never the
// whole tree in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "file_preparation.h"
#include "source_tree.h"
#include "volume_sink.h"

namespace moltpack {

struct OutputOptions {
  int level = 0;
  unsigned jobs = 1;
  SpoolFiles spools;
  // Called on the writing thread, now and then, with the bytes of file
  // contents read so far.
  std::function<void(std::uint64_t bytesRead)> progress;
  // The largest value a 32-bit size field holds; smaller in tests.
  std::uint64_t sizeFieldLimit = 0xFFFFFFFFu;
};

void WritePackStream(const std::vector<SourceEntry>& root, VolumeSink& sink, const OutputOptions& options);

// Bytes of file contents in the tree.
std::uint64_t ContentBytes(const std::vector<SourceEntry>& root);

}  // namespace moltpack
