#include "decoder/zlib_streams.h"

#include <zlib.h>

#include <stdexcept>

namespace decoder_test {

namespace {

class Deflater {
 public:
  Deflater(int level, int strategy) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) {
      throw std::runtime_error("deflateInit2");
    }
  }
  ~Deflater() { deflateEnd(&stream_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  void SetParams(int level, int strategy) {
    // deflateParams may emit what is pending; give it room.
    Reserve(1 << 16);
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    // Z_BUF_ERROR leaves the old parameters, which serves as well.
    const int result = deflateParams(&stream_, level, strategy);
    if (result != Z_OK && result != Z_BUF_ERROR) throw std::runtime_error("deflateParams");
    Settle();
  }

  void Put(const std::uint8_t* data, std::size_t size, int flush) {
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = static_cast<uInt>(size);
    for (;;) {
      Reserve(size + (1 << 16));
      const int result = deflate(&stream_, flush);
      Settle();
      if (result == Z_STREAM_END) return;
      if (result != Z_OK && result != Z_BUF_ERROR) throw std::runtime_error("deflate");
      if (stream_.avail_in == 0 && stream_.avail_out != 0 && flush != Z_FINISH) return;
    }
  }

  Bytes Take() { return std::move(out_); }

 private:
  void Reserve(std::size_t room) {
    used_ = out_.size();
    out_.resize(used_ + room);
    stream_.next_out = out_.data() + used_;
    stream_.avail_out = static_cast<uInt>(room);
  }
  void Settle() { out_.resize(out_.size() - stream_.avail_out); }

  z_stream stream_{};
  Bytes out_;
  std::size_t used_ = 0;
};

}  // namespace

Bytes ZlibDeflate(const Bytes& data, int level, int strategy) {
  Deflater deflater(level, strategy);
  deflater.Put(data.data(), data.size(), Z_FINISH);
  return deflater.Take();
}

Bytes ZlibDeflateInPieces(const Bytes& data, std::uint32_t seed) {
  static const int kFlushes[] = {Z_NO_FLUSH, Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_BLOCK, Z_PARTIAL_FLUSH};
  static const int kLevels[] = {0, 1, 6, 9};
  static const int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  std::uint32_t state = seed * 2654435761u + 7;
  auto next = [&state](std::uint32_t bound) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state % bound;
  };
  Deflater deflater(6, Z_DEFAULT_STRATEGY);
  std::size_t at = 0;
  while (at < data.size()) {
    deflater.SetParams(kLevels[next(4)], kStrategies[next(5)]);
    // Mostly small pieces, some empty, some beyond a window.
    const std::uint32_t cap = next(8) == 0 ? 70000 : next(2) == 0 ? 40 : 3000;
    const std::size_t size = std::min<std::size_t>(next(cap + 1), data.size() - at);
    deflater.Put(data.data() + at, size, kFlushes[next(5)]);
    at += size;
  }
  deflater.Put(nullptr, 0, Z_FINISH);
  return deflater.Take();
}

std::optional<Bytes> ZlibInflate(const Bytes& packed, std::size_t limit) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) throw std::runtime_error("inflateInit2");
  Bytes out(limit + 1);
  stream.next_in = const_cast<Bytef*>(packed.data());
  stream.avail_in = static_cast<uInt>(packed.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  const std::size_t produced = out.size() - stream.avail_out;
  inflateEnd(&stream);
  if (result != Z_STREAM_END || produced > limit) return std::nullopt;
  out.resize(produced);
  return out;
}

Bytes ZlibInflatePrefix(const Bytes& packed, std::size_t limit) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) throw std::runtime_error("inflateInit2");
  Bytes out(limit);
  stream.next_in = const_cast<Bytef*>(packed.data());
  stream.avail_in = static_cast<uInt>(packed.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  inflate(&stream, Z_SYNC_FLUSH);
  out.resize(out.size() - stream.avail_out);
  inflateEnd(&stream);
  return out;
}

std::uint32_t ZlibCrc32(const Bytes& data) {
  return static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

}  // namespace decoder_test
