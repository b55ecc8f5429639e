// ISA-L's inflate as an anchor of decoder_bench. The build picks
// isal_anchor.cpp where ISA-L is found and isal_anchor_absent.cpp where it is
// left out (it has no 32-bit x86 build), so the benchmark itself holds no
// conditional code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace isal_anchor {

// ISA-L's version, or nullptr in a build without it (then nothing below is
// ever called).
const char* Version();

// crc32_gzip_refl: carries a CRC-32 (as zlib's crc32 takes and gives it)
// over `length` bytes.
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

// isal_inflate over one whole raw DEFLATE stream (zlib's 32 KiB window), its
// state made once and reset for each stream.
class IsalInflater {
 public:
  IsalInflater();
  ~IsalInflater();
  IsalInflater(const IsalInflater&) = delete;
  IsalInflater& operator=(const IsalInflater&) = delete;

  // Decodes `packed` into `output` in one call. True when the stream ended
  // with exactly `outputSize` bytes written. With `crc`, ISA-L also takes the
  // gzip CRC-32 of what it writes (crc_flag ISAL_GZIP_NO_HDR) and leaves it
  // there; without, it takes none (ISAL_DEFLATE).
  bool Inflate(const std::uint8_t* packed, std::size_t packedSize, std::uint8_t* output,
               std::size_t outputSize, std::uint32_t* crc);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace isal_anchor
