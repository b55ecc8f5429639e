// What the fuzz harnesses share: how a harness reports a finding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fuzz_support {

// Prints the finding and aborts: libFuzzer then keeps the input as a crash
// artifact, as it does after a sanitizer report.
[[noreturn]] void Fail(const std::string& what);

// Up to `limit` bytes as hex digits, "..." when there are more.
std::string Hex(std::string_view bytes, std::size_t limit = 64);

}  // namespace fuzz_support
