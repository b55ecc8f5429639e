// CRC-32 and raw DEFLATE through zlib: the writer's side of the format is
// checked against an independent implementation, not against the extractor's.
#include <zlib.h>

#include <algorithm>
#include <limits>

#include "pack_writer.h"

namespace packwriter {
namespace {

// zlib counts in uInt; feed it in pieces that fit.
constexpr std::size_t kChunk = std::numeric_limits<uInt>::max() / 2;

const Bytef* BytesOf(const std::string& s, std::size_t offset) {
  return reinterpret_cast<const Bytef*>(s.data()) + offset;
}

}  // namespace

std::uint32_t Crc32(const std::string& data) {
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::size_t done = 0; done < data.size();) {
    const std::size_t n = std::min(kChunk, data.size() - done);
    crc = crc32(crc, BytesOf(data, done), static_cast<uInt>(n));
    done += n;
  }
  return static_cast<std::uint32_t>(crc);
}

std::string DeflateRaw(const std::string& data, int level, int strategy) {
  z_stream zs{};
  // Negative window bits: a raw stream, no zlib header or trailer.
  if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) {
    throw Error("deflateInit2 refused level " + std::to_string(level) + " strategy " +
                std::to_string(strategy));
  }
  std::string out;
  char buffer[16384];
  std::size_t fed = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (zs.avail_in == 0 && fed < data.size()) {
      const std::size_t n = std::min(kChunk, data.size() - fed);
      zs.next_in = const_cast<Bytef*>(BytesOf(data, fed));
      zs.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = sizeof buffer;
    status = deflate(&zs, fed == data.size() ? Z_FINISH : Z_NO_FLUSH);
    if (status == Z_STREAM_ERROR) {
      deflateEnd(&zs);
      throw Error("deflate failed");
    }
    out.append(buffer, sizeof buffer - zs.avail_out);
  }
  deflateEnd(&zs);
  return out;
}

std::string InflateRaw(const std::string& packed) {
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) throw Error("inflateInit2 failed");
  std::string out;
  char buffer[16384];
  std::size_t fed = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (zs.avail_in == 0 && fed < packed.size()) {
      const std::size_t n = std::min(kChunk, packed.size() - fed);
      zs.next_in = const_cast<Bytef*>(BytesOf(packed, fed));
      zs.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = sizeof buffer;
    status = inflate(&zs, Z_NO_FLUSH);
    const bool stalled = status == Z_BUF_ERROR && zs.avail_in == 0 && fed == packed.size();
    if (status == Z_DATA_ERROR || status == Z_MEM_ERROR || status == Z_NEED_DICT ||
        status == Z_STREAM_ERROR || stalled) {
      inflateEnd(&zs);
      throw Error(stalled ? "DEFLATE stream ends early" : "bad DEFLATE stream");
    }
    out.append(buffer, sizeof buffer - zs.avail_out);
  }
  inflateEnd(&zs);
  return out;
}

}  // namespace packwriter
