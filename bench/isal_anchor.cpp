// The ISA-L anchor, for builds that have ISA-L (see isal_anchor.h).
#include "isal_anchor.h"

#include <isa-l.h>

#include <limits>
#include <string>

namespace isal_anchor {

const char* Version() {
  static const std::string version = std::to_string(ISAL_MAJOR_VERSION) + "." +
                                     std::to_string(ISAL_MINOR_VERSION) + "." +
                                     std::to_string(ISAL_PATCH_VERSION);
  return version.c_str();
}

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
  return crc32_gzip_refl(crc, data, length);
}

struct IsalInflater::State {
  inflate_state inflate;
};

IsalInflater::IsalInflater() : state_(std::make_unique<State>()) {}
IsalInflater::~IsalInflater() = default;

bool IsalInflater::Inflate(const std::uint8_t* packed, std::size_t packedSize,
                           std::uint8_t* output, std::size_t outputSize, std::uint32_t* crc) {
  constexpr std::size_t kLargest = std::numeric_limits<std::uint32_t>::max();
  if (packedSize > kLargest || outputSize > kLargest) return false;
  inflate_state& state = state_->inflate;
  isal_inflate_init(&state);
  // A raw stream: no header or trailer to read; ISAL_GZIP_NO_HDR adds only
  // the CRC-32 of the output. 15: the window zlib's raw streams use.
  state.crc_flag = crc != nullptr ? ISAL_GZIP_NO_HDR : ISAL_DEFLATE;
  state.hist_bits = 15;
  state.next_in = const_cast<std::uint8_t*>(packed);
  state.avail_in = static_cast<std::uint32_t>(packedSize);
  state.next_out = output;
  state.avail_out = static_cast<std::uint32_t>(outputSize);
  if (isal_inflate(&state) != ISAL_DECOMP_OK) return false;
  if (crc != nullptr) *crc = state.crc;
  return state.block_state == ISAL_BLOCK_FINISH && state.total_out == outputSize;
}

}  // namespace isal_anchor
