#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

// Run by hand, a harness stops at the first report as well; the build makes
// every check non-recoverable, this covers the runtimes' own reports.
extern "C" const char* __asan_default_options() { return "halt_on_error=1"; }
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

namespace fuzz_support {

void Fail(const std::string& what) {
  std::fprintf(stderr, "\n==fuzz finding== %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string Hex(std::string_view bytes, std::size_t limit) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  if (bytes.size() > limit) text += "...";
  return text;
}

}  // namespace fuzz_support
