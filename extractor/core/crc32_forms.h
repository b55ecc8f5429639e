// The forms of the CRC-32 computation behind CarryCrc32. All give the same
// register; the one-table form is the plain reference that the others are
// held to. The folding form runs only on processors that have carry-less
// multiplication, which is checked at run time, never assumed by the build.
#pragma once

#include <cstddef>
#include <cstdint>

namespace molt::crc32_forms {

enum class CrcForm {
  Table,    // one table lookup per byte: the reference
  Slices,   // sixteen bytes a step through sixteen tables: the portable fast form
  Folding,  // carry-less multiplication folding 64 bytes a step (x86 PCLMULQDQ)
};

// Each carries `crcRegister` (before its final complement) over the bytes.
std::uint32_t CrcByTable(std::uint32_t crcRegister, const std::uint8_t* data, std::size_t length);
std::uint32_t CrcBySlices(std::uint32_t crcRegister, const std::uint8_t* data,
                          std::size_t length);
// Only where FoldingSupported().
std::uint32_t CrcByFolding(std::uint32_t crcRegister, const std::uint8_t* data,
                           std::size_t length);

// DescrambleAndCrc's folding form: XORs `length` bytes of `source` with
// `lineKey` (the key rotated so that its byte 0 goes with source[0], repeating
// every 16 bytes), stores them at `destination` (source itself, or a span that
// does not overlap it) and carries the register over the stored bytes, in one
// pass. Only where FoldingSupported().
std::uint32_t DescrambleAndCrcByFolding(const std::uint8_t lineKey[16], const std::uint8_t* source,
                                        std::uint8_t* destination, std::size_t length,
                                        std::uint32_t crcRegister);

// Whether the running processor has what the folding form executes.
bool FoldingSupported();

// The form that CarryCrc32 and DescrambleAndCrc run: the fastest supported
// unless UseCrcForm chose another.
CrcForm ActiveCrcForm();

// For tests and benchmarks: makes `form` the active one. False, and nothing
// changes, when the processor lacks it.
bool UseCrcForm(CrcForm form);

}  // namespace molt::crc32_forms
