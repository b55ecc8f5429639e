// Raw DEFLATE streams made and read by zlib, the reference the decoder is
// held against.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace decoder_test {

using Bytes = std::vector<std::uint8_t>;

// The whole of `data` as one raw stream (window bits -15).
Bytes ZlibDeflate(const Bytes& data, int level, int strategy);

// `data` in pieces of varying sizes, each under its own level and strategy
// and ended by its own flush (none, sync, full, block, partial), so that
// stored, fixed and dynamic blocks alternate, some of them empty.
Bytes ZlibDeflateInPieces(const Bytes& data, std::uint32_t seed);

// zlib's reading of a raw stream: its output when the stream ended properly
// within `limit` bytes of output, nothing otherwise.
std::optional<Bytes> ZlibInflate(const Bytes& packed, std::size_t limit);

// zlib's output for a stream that may be cut off or damaged: whatever it
// wrote before it stopped, at most `limit` bytes.
Bytes ZlibInflatePrefix(const Bytes& packed, std::size_t limit);

std::uint32_t ZlibCrc32(const Bytes& data);

}  // namespace decoder_test
