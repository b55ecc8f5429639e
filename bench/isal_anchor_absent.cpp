// The ISA-L anchor left out of the build (see isal_anchor.h): decoder_bench
// registers no ISA-L case and says so.
#include "isal_anchor.h"

namespace isal_anchor {

const char* Version() { return nullptr; }

std::uint32_t Crc32(std::uint32_t, const std::uint8_t*, std::size_t) { return 0; }

struct IsalInflater::State {};

IsalInflater::IsalInflater() = default;
IsalInflater::~IsalInflater() = default;

bool IsalInflater::Inflate(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t,
                           std::uint32_t*) {
  return false;
}

}  // namespace isal_anchor
