// DEFLATE compression of file contents, deterministic for a given level and
// given library versions: the bytes never depend on threads or timing.
//
// Levels 1-9 are zlib's. Levels 10-12 come from a whole-buffer compressor
// (libdeflate) where the build has one; it compresses a whole buffer at once,
// so only files up to kWholeFileLimit get those levels. Larger files are
// compressed as a stream by zlib at level 9, which never holds the file.
// Level 0 stores everything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace moltpack {

inline constexpr int kStoreLevel = 0;
inline constexpr int kZlibMaxLevel = 9;

// Files up to this size are read and compressed whole, in memory; larger
// ones are streamed.
inline constexpr std::size_t kWholeFileLimit = 8u << 20;

// The highest level this build offers: 12 with libdeflate, else 9.
int HighestLevel();
// The level used when none is given: the one that gave the smallest packs
// in reasonable time, where the build offers it.
int DefaultLevel();
// The compression libraries and their versions, which decide the bytes.
std::string CompressionLibraries();

// The raw DEFLATE form of `data` when it is smaller than `data`; nothing
// when it is not (then the file is stored). Level 1 to HighestLevel().
std::optional<std::string> DeflateWhole(std::string_view data, int level);

// Raw DEFLATE by zlib of data fed in pieces, at min(level, 9). The output
// goes to `out` as it comes.
class StreamDeflater {
 public:
  using Output = std::function<void(const char* data, std::size_t size)>;
  StreamDeflater(int level, Output out);
  ~StreamDeflater();
  StreamDeflater(const StreamDeflater&) = delete;
  StreamDeflater& operator=(const StreamDeflater&) = delete;

  void Feed(const char* data, std::size_t size);
  void Finish();

 private:
  void Run(const char* data, std::size_t size, bool finish);

  struct State;
  std::unique_ptr<State> state_;
  Output out_;
};

// Levels above 9, from a whole-buffer compressor; only where the build has
// one (high_levels_*.cpp).
namespace high_levels {
int Highest();
std::optional<std::string> Deflate(std::string_view data, int level);
std::string Library();
}  // namespace high_levels

}  // namespace moltpack
