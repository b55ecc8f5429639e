// The pack format, shared by the reader and the pack writer.
//
// A pack is one byte stream stored in one or more volume files. Every byte of
// a volume file is stored XORed with ScrambleKey[offset mod 16], the offset
// counted from the start of that file. Each volume starts with a 12-byte
// header; volume 1 of a set adds a 16-byte set block; the first volume then
// holds the 36-byte archive block; the record stream follows and runs on from
// volume to volume at any byte. All numbers are little-endian.
//
// The stream has one reading, whatever reads it: a file's data takes exactly
// its packed size (stored data exactly its original size), a directory's
// contents end exactly where its contents size says, and the data ends
// cleanly only between two records at the root.
#pragma once

#include <array>
#include <cstdint>

namespace molt {

inline constexpr std::uint8_t kSignature[4] = {0x6C, 0x76, 0x72, 0x4F};  // "lvrO"
inline constexpr std::uint16_t kMaxPackVersion = 0x0100;

inline constexpr std::uint16_t FILE_NUMBER_LAST = 0x8000;
inline constexpr std::uint16_t FILE_NUMBER_MASK = 0x7FFF;

inline constexpr std::uint32_t kVolumeHeaderSize = 12;
inline constexpr std::uint32_t kSetBlockSize = 16;
inline constexpr std::uint32_t kArchiveBlockSize = 36;

// Volume header fields, as offsets into the 12 bytes.
inline constexpr std::uint32_t kHeaderSignature = 0;
inline constexpr std::uint32_t kHeaderVersion = 4;
inline constexpr std::uint32_t kHeaderFileNumber = 6;
inline constexpr std::uint32_t kHeaderProductNumber = 8;
// Set block fields, as offsets into its 16 bytes. The pack size is the sum of
// the sizes of the set's volume files; the extractor makes no use of it.
inline constexpr std::uint32_t kSetBlockPackSize = 0;

// Record tags, compared as one little-endian 32-bit value.
inline constexpr std::uint32_t TAG_FILE = 0x46696C65;           // "eliF" in the file
inline constexpr std::uint32_t TAG_DIRECTORY = 0x44697220;      // " riD"
inline constexpr std::uint32_t TAG_END_DIRECTORY = 0x20726944;  // "Dir "

// Entry flags.
inline constexpr std::uint16_t ENTRY_LONG_NAME = 0x0001;
inline constexpr std::uint16_t ENTRY_DEFLATED = 0x0080;

// Sizes of the fixed parts of the records, tag included.
inline constexpr std::uint32_t kCommonPartSize = 20;
inline constexpr std::uint32_t kDirectoryRecordFixedSize = 28;
inline constexpr std::uint32_t kFileRecordFixedSize = 36;
inline constexpr std::uint32_t kShortNameCapacity = 16;  // 15 bytes and the NUL

inline constexpr std::uint32_t kScrambleKeySize = 16;
inline constexpr std::uint8_t kScrambleKeyMask = 0x0E;

namespace detail {
struct PlainKey {
  std::uint8_t bytes[kScrambleKeySize];
};
inline constexpr PlainKey kPlainKey = {{
#ifdef MOLT_SCRAMBLE_KEY_BYTES
    MOLT_SCRAMBLE_KEY_BYTES
#else
    0x66, 0x4D, 0x1A, 0x33, 0x70, 0x5B, 0x2D, 0x70, 0xCD, 0x80, 0xBA, 0xF5, 0x21, 0x94, 0xFB, 0x8D
#endif
}};
constexpr std::array<std::uint8_t, kScrambleKeySize> Mask(const PlainKey& key) {
  std::array<std::uint8_t, kScrambleKeySize> masked{};
  for (std::uint32_t i = 0; i < kScrambleKeySize; ++i) masked[i] = key.bytes[i] ^ kScrambleKeyMask;
  return masked;
}
}  // namespace detail

// The key as the library stores it: each byte XORed with kScrambleKeyMask.
inline constexpr std::array<std::uint8_t, kScrambleKeySize> kMaskedScrambleKey =
    detail::Mask(detail::kPlainKey);

}  // namespace molt
