// Little-endian field writing and reading on byte strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace packwriter::detail {

inline void PutU16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

inline void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

inline void PatchU32(std::string& out, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The caller has checked that the bytes are there.
inline std::uint16_t GetU16(const std::string& in, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(in[offset]) |
                                    (static_cast<std::uint8_t>(in[offset + 1]) << 8));
}

inline std::uint32_t GetU32(const std::string& in, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(in[offset + i]);
  return value;
}

}  // namespace packwriter::detail
