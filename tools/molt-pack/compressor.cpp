#include "compressor.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

namespace moltpack {
namespace {

// Raw DEFLATE (negative window bits), zlib's default memory level: the
// same bytes as any other user of zlib at that level.
constexpr int kWindowBits = -15;
constexpr int kMemoryLevel = 8;
constexpr std::size_t kStreamOutput = 64 * 1024;
// zlib counts in uInt.
constexpr std::size_t kMaxFeed = std::numeric_limits<uInt>::max() / 2;

class ZStream {
 public:
  explicit ZStream(int level) {
    if (deflateInit2(&stream, level, Z_DEFLATED, kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::bad_alloc();
    }
  }
  ~ZStream() { deflateEnd(&stream); }
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;

  z_stream stream{};
};

std::optional<std::string> DeflateWholeByZlib(std::string_view data, int level) {
  if (data.size() < 2 || data.size() > kMaxFeed) return std::nullopt;
  ZStream z(level);
  std::string packed(data.size() - 1, '\0');
  z.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.stream.avail_in = static_cast<uInt>(data.size());
  z.stream.next_out = reinterpret_cast<Bytef*>(packed.data());
  z.stream.avail_out = static_cast<uInt>(packed.size());
  // Everything in one call: anything but the stream's end means the output
  // did not fit in fewer bytes than the contents.
  if (deflate(&z.stream, Z_FINISH) != Z_STREAM_END) return std::nullopt;
  packed.resize(z.stream.total_out);
  return packed;
}

}  // namespace

int HighestLevel() { return std::max(kZlibMaxLevel, high_levels::Highest()); }

int DefaultLevel() { return std::min(HighestLevel(), 12); }

std::string CompressionLibraries() {
  std::string libraries = std::string("zlib ") + zlibVersion();
  const std::string high = high_levels::Library();
  if (!high.empty()) libraries += ", " + high;
  return libraries;
}

std::optional<std::string> DeflateWhole(std::string_view data, int level) {
  if (level > kZlibMaxLevel) return high_levels::Deflate(data, level);
  return DeflateWholeByZlib(data, level);
}

struct StreamDeflater::State {
  explicit State(int level) : z(level) {}
  ZStream z;
  std::string output = std::string(kStreamOutput, '\0');
};

StreamDeflater::StreamDeflater(int level, Output out)
    : state_(std::make_unique<State>(std::min(level, kZlibMaxLevel))), out_(std::move(out)) {}

StreamDeflater::~StreamDeflater() = default;

void StreamDeflater::Feed(const char* data, std::size_t size) {
  while (size > 0) {
    const std::size_t piece = std::min(size, kMaxFeed);
    Run(data, piece, false);
    data += piece;
    size -= piece;
  }
}

void StreamDeflater::Finish() { Run(nullptr, 0, true); }

void StreamDeflater::Run(const char* data, std::size_t size, bool finish) {
  z_stream& stream = state_->z.stream;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = static_cast<uInt>(size);
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(state_->output.data());
    stream.avail_out = static_cast<uInt>(state_->output.size());
    const int status = deflate(&stream, finish ? Z_FINISH : Z_NO_FLUSH);
    if (status == Z_STREAM_ERROR) throw std::logic_error("deflate refused its stream");
    const std::size_t produced = state_->output.size() - stream.avail_out;
    if (produced > 0) out_(state_->output.data(), produced);
    if (finish ? status == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out != 0) return;
  }
}

}  // namespace moltpack
