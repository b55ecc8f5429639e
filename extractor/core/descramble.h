// Descrambling: every byte of a volume file is stored XORed with the key byte
// of its file offset modulo 16. Spans are descrambled a machine word or a
// vector at a time, and, for stored data, together with the CRC-32 of the
// plain bytes in one pass over them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace molt {

struct ReaderState;

// The reader's key, unmasked in place the first time it is asked for.
const std::uint8_t* ReadyScrambleKey(ReaderState& reader);

// Descrambles `length` bytes in place; `position` is the file offset of the
// first (only its value modulo 16 matters). `key` is the unmasked key.
void DescrambleSpan(const std::uint8_t* key, std::uint64_t position, std::uint8_t* bytes,
                    std::size_t length);

// Descrambles `length` bytes of `source`, whose first stands at file offset
// `position`, into `destination` (source itself, or a span that does not
// overlap it), and carries the CRC-32 register (before its final complement)
// over the plain bytes; returns the register. For the stored-data copy:
// where the processor folds, each byte is loaded once for both.
std::uint32_t DescrambleAndCrc(const std::uint8_t* key, std::uint64_t position,
                               const std::uint8_t* source, std::uint8_t* destination,
                               std::size_t length, std::uint32_t crcRegister);

}  // namespace molt
