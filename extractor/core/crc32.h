// CRC-32 of ISO 3309 / ITU-T V.42 (reflected polynomial 0xEDB88320), carried
// over every byte written to an output file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace molt {

inline constexpr std::uint32_t kCrcInitial = 0xFFFFFFFF;

// Works on `runningCrc`, the register before its final complement:
// - data null: reset the register to all ones; result 0;
// - count 0: leave it; result the CRC-32 of everything since the last reset;
// - otherwise: carry it on over the count bytes; result as for count 0.
std::uint32_t UpdateCrc32(std::uint32_t& runningCrc, const std::uint8_t* data,
                          std::uint16_t count);

// The register (before its final complement) carried on over `length` bytes
// and returned: UpdateCrc32's work for callers with longer spans. Runs the
// fastest form that the processor has (crc32_forms.h).
std::uint32_t CarryCrc32(std::uint32_t crcRegister, const std::uint8_t* data, std::size_t length);

}  // namespace molt
