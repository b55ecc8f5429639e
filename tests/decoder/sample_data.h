// Deterministic sample contents for the decoder's tests and benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace decoder_test {

enum class SampleKind {
  Text,      // words, punctuation and lines, like prose or source text
  Binary,    // tables, small numbers and repeated records, like program files
  Random,    // uniform bytes: nothing to compress
  LongRuns,  // runs of one byte, up to thousands long
};

const char* SampleName(SampleKind kind);
std::vector<std::uint8_t> MakeSample(SampleKind kind, std::size_t size, std::uint32_t seed);

}  // namespace decoder_test
