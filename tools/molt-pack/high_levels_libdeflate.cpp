// Levels 10-12 from libdeflate's whole-buffer compressor.
#include <libdeflate.h>

#include <map>
#include <new>
#include <memory>

#include "compressor.h"

namespace moltpack::high_levels {
namespace {

struct CompressorFree {
  void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

// A compressor's tables take megabytes at the high levels: one per thread
// and level, made once.
libdeflate_compressor& CompressorFor(int level) {
  thread_local std::map<int, Compressor> compressors;
  Compressor& compressor = compressors[level];
  if (!compressor) {
    compressor.reset(libdeflate_alloc_compressor(level));
    if (!compressor) throw std::bad_alloc();
  }
  return *compressor;
}

}  // namespace

int Highest() { return 12; }

std::optional<std::string> Deflate(std::string_view data, int level) {
  if (data.size() < 2) return std::nullopt;  // no DEFLATE stream is shorter than 2 bytes
  std::string packed(data.size() - 1, '\0');
  const std::size_t size =
      libdeflate_deflate_compress(&CompressorFor(level), data.data(), data.size(), packed.data(), packed.size());
  if (size == 0) return std::nullopt;  // it did not fit in fewer bytes than the contents
  packed.resize(size);
  return packed;
}

std::string Library() { return "libdeflate " LIBDEFLATE_VERSION_STRING; }

}  // namespace moltpack::high_levels
