// Names as text on POSIX. There is no ANSI code page here: names are single
// bytes by default, which in practice hold UTF-8, and code page 932 when
// MOLT_CODEPAGE says so, exactly as the extractor's POSIX backend reads them.
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "system_text.h"

namespace moltcli {
namespace {

constexpr char kCodePageVariable[] = "MOLT_CODEPAGE";
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool NamesInCodePage932() {
  const char* selected = std::getenv(kCodePageVariable);
  return selected != nullptr && std::strcmp(selected, "932") == 0;
}

// One iconv conversion over the whole of `bytes`. Each byte that starts no
// character of the source is replaced by U+FFFD, or dropped when
// `replacement` is false; either way the result is then not exact.
struct Converted {
  std::string text;
  bool complete = true;
};

Converted Convert(iconv_t converter, std::string_view bytes, bool replacement) {
  Converted result;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[256];
  while (inLeft > 0) {
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    result.text.append(buffer, static_cast<std::size_t>(out - buffer));
    if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL: a byte that starts no character, or a character cut
    // off by the end of the name.
    if (replacement) result.text += kReplacement;
    result.complete = false;
    ++in;
    --inLeft;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  return result;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

Utf8Text FromCodePage932(std::string_view bytes) {
  static const iconv_t toUtf8 = iconv_open("UTF-8", "CP932");
  static const iconv_t back = iconv_open("CP932", "UTF-8");
  if (toUtf8 == kNoConverter || back == kNoConverter) {
    Utf8Text text = Utf8OrReplacement(bytes);
    text.exact = false;  // no way to tell here
    return text;
  }
  const Converted forward = Convert(toUtf8, bytes, true);
  if (!forward.complete) return {forward.text, false};
  // Some characters of code page 932 share one Unicode character (the NEC
  // and IBM duplicates): the text is exact only if it leads back to the bytes.
  const Converted returned = Convert(back, forward.text, false);
  return {forward.text, returned.complete && returned.text == bytes};
}

}  // namespace

bool SelectCodePage(const std::string& codePage, std::string* problem) {
  if (codePage == "932") {
    ::setenv(kCodePageVariable, "932", 1);
    return true;
  }
  *problem = "--codepage " + codePage +
             ": only 932 can be chosen; without it, names are single bytes";
  return false;
}

std::string NameCodePage() { return NamesInCodePage932() ? "932" : "utf-8"; }

Utf8Text NameToUtf8(std::string_view bytes) {
  return NamesInCodePage932() ? FromCodePage932(bytes) : Utf8OrReplacement(bytes);
}

Utf8Text ArgumentToUtf8(std::string_view bytes) { return Utf8OrReplacement(bytes); }

void ClearSystemError() { errno = 0; }

std::uint32_t LastSystemError() { return static_cast<std::uint32_t>(errno); }

std::string SystemErrorText(std::uint32_t error) {
  return std::strerror(static_cast<int>(error));
}

}  // namespace moltcli
