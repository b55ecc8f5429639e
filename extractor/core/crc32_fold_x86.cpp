// The folding form of the CRC-32 (crc32_forms.h) for x86 processors with
// carry-less multiplication (PCLMULQDQ).
//
// The bytes are taken as one polynomial over GF(2), bit-reflected: in a
// 16-byte block loaded into a vector register, bit i is the coefficient of
// x^(127 - i). A block X that stands D bits before block Y is carried onto Y
// as X * x^D mod P, which has at most 96 bits and is XORed into Y. Splitting
// X into its high-degree quadword H (the low half of the register) and its
// low-degree quadword L, X * x^D = H * x^(64 + D) + L * x^D, and each product
// is one carry-less multiplication by a 32-bit constant. Four blocks are
// carried 64 bytes at a time, side by side; then they are folded into one,
// the remaining whole blocks carried on one by one, and the last block's
// remainder taken by the sliced form, as the CRC-32 of those 16 bytes from a
// zero register. Bytes short of a whole block go through the tables too.
//
// The functions that execute these instructions carry their own target
// attribute and are reached only after FoldingSupported() has asked the
// processor, so the rest of the library stays built for the plain target.
#include <cpuid.h>
#include <immintrin.h>

#include "crc32_forms.h"

// 32-bit Windows may call into the library with a stack aligned to only 4
// bytes; the vector functions realign it for their 16-byte spills.
#if defined(__i386__)
#define MOLT_FOLDING_TARGET __attribute__((target("sse2,pclmul"), force_align_arg_pointer))
#else
#define MOLT_FOLDING_TARGET __attribute__((target("sse2,pclmul")))
#endif

namespace molt::crc32_forms {
namespace {

constexpr std::uint32_t kPolynomial = 0x04C11DB7;  // x^32 + ... + 1 without its x^32 term
constexpr std::size_t kBlock = 16;
// Four lanes keep the multiplier busy; more would not fit the 32-bit build's
// eight vector registers.
constexpr std::size_t kLanes = 4;
constexpr std::size_t kStride = kLanes * kBlock;

// x^n mod P, bit d holding the coefficient of x^d.
constexpr std::uint32_t PowerOfXModP(unsigned n) {
  std::uint32_t remainder = 1;
  for (unsigned i = 0; i < n; ++i) {
    remainder = (remainder << 1) ^ ((remainder & 0x80000000u) != 0 ? kPolynomial : 0);
  }
  return remainder;
}

// The multiplier that makes a quadword of the bit-reflected layout into the
// quadword times x^n. Read in the 128-bit layout, the carry-less product of
// two reflected quadwords stands for x times their product (bit i + j stands
// for x^(127 - i - j) where the product has x^(126 - i - j)), so the constant
// is x^(n - 1) mod P, its coefficient of x^d at bit 63 - d.
constexpr std::uint64_t Multiplier(unsigned n) {
  const std::uint32_t remainder = PowerOfXModP(n - 1);
  std::uint64_t reflected = 0;
  for (unsigned d = 0; d < 32; ++d) {
    if ((remainder >> d) & 1) reflected |= std::uint64_t{1} << (63 - d);
  }
  return reflected;
}

// The two multipliers that carry a block D bits forward: for its
// high-degree quadword (the low half) and for its low-degree one.
struct FoldDistance {
  std::uint64_t forHigh;
  std::uint64_t forLow;
};

constexpr FoldDistance Distance(unsigned bits) { return {Multiplier(64 + bits), Multiplier(bits)}; }

constexpr FoldDistance kOneStride = Distance(8 * kStride);
constexpr FoldDistance kOneBlock = Distance(8 * kBlock);

MOLT_FOLDING_TARGET inline __m128i Constants(FoldDistance distance) {
  return _mm_set_epi64x(static_cast<long long>(distance.forLow),
                        static_cast<long long>(distance.forHigh));
}

// `block` times x^D mod P, not yet reduced below 96 bits.
MOLT_FOLDING_TARGET inline __m128i CarryForward(__m128i block, __m128i distance) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, distance, 0x00),
                       _mm_clmulepi64_si128(block, distance, 0x11));
}

// The block at offset `at` of the data; when descrambling, XORed with the
// key and stored at the destination first.
template <bool kDescramble>
MOLT_FOLDING_TARGET inline __m128i TakeBlock(const std::uint8_t* source, std::uint8_t* destination,
                                             std::size_t at, __m128i key) {
  __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + at));
  if constexpr (kDescramble) {
    block = _mm_xor_si128(block, key);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + at), block);
  }
  return block;
}

// Entry: at least kStride bytes. Without descrambling, destination is unused
// and the CRC-32 is taken over the source.
template <bool kDescramble>
MOLT_FOLDING_TARGET std::uint32_t Fold(std::uint32_t crcRegister, const std::uint8_t* source,
                                       std::uint8_t* destination, std::size_t length,
                                       const std::uint8_t lineKey[16]) {
  const __m128i key = kDescramble
                          ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(lineKey))
                          : _mm_setzero_si128();
  __m128i lanes[kLanes];
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    lanes[lane] = TakeBlock<kDescramble>(source, destination, lane * kBlock, key);
  }
  // The register counts as XORed into the first four bytes.
  lanes[0] = _mm_xor_si128(lanes[0], _mm_cvtsi32_si128(static_cast<int>(crcRegister)));

  std::size_t done = kStride;
  const __m128i oneStride = Constants(kOneStride);
  for (; length - done >= kStride; done += kStride) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      const std::size_t at = done + lane * kBlock;
      lanes[lane] = _mm_xor_si128(CarryForward(lanes[lane], oneStride),
                                  TakeBlock<kDescramble>(source, destination, at, key));
    }
  }

  const __m128i oneBlock = Constants(kOneBlock);
  __m128i folded = lanes[0];
  for (std::size_t lane = 1; lane < kLanes; ++lane) {
    folded = _mm_xor_si128(CarryForward(folded, oneBlock), lanes[lane]);
  }
  for (; length - done >= kBlock; done += kBlock) {
    folded = _mm_xor_si128(CarryForward(folded, oneBlock),
                           TakeBlock<kDescramble>(source, destination, done, key));
  }

  std::uint8_t last[kBlock];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), folded);
  crcRegister = CrcBySlices(0, last, kBlock);

  // Fewer than 16 bytes are left; `done` is a whole number of blocks, so
  // their key starts at byte 0 of the line key.
  const std::size_t rest = length - done;
  if constexpr (kDescramble) {
    for (std::size_t i = 0; i < rest; ++i) destination[done + i] = source[done + i] ^ lineKey[i];
    return CrcBySlices(crcRegister, destination + done, rest);
  }
  return CrcBySlices(crcRegister, source + done, rest);
}

bool AskProcessor() {
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}

}  // namespace

bool FoldingSupported() {
  static const bool supported = AskProcessor();
  return supported;
}

std::uint32_t CrcByFolding(std::uint32_t crcRegister, const std::uint8_t* data,
                           std::size_t length) {
  if (length < kStride) return CrcBySlices(crcRegister, data, length);
  return Fold<false>(crcRegister, data, nullptr, length, nullptr);
}

std::uint32_t DescrambleAndCrcByFolding(const std::uint8_t lineKey[16], const std::uint8_t* source,
                                        std::uint8_t* destination, std::size_t length,
                                        std::uint32_t crcRegister) {
  if (length < kStride) {
    for (std::size_t i = 0; i < length; ++i) destination[i] = source[i] ^ lineKey[i % kBlock];
    return CrcBySlices(crcRegister, destination, length);
  }
  return Fold<true>(crcRegister, source, destination, length, lineKey);
}

}  // namespace molt::crc32_forms
