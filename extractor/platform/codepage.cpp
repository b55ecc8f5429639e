#include "codepage.h"

namespace molt::platform {
namespace {

std::uint8_t AsciiUpper(std::uint8_t byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<std::uint8_t>(byte - 'a' + 'A') : byte;
}

class SingleByte final : public CodePage {
 public:
  bool IsLeadByte(std::uint8_t) const override { return false; }
  bool IsTrailByte(std::uint8_t) const override { return false; }
  std::uint8_t ToUpper(std::uint8_t byte) const override { return AsciiUpper(byte); }
};

class ShiftJis final : public CodePage {
 public:
  bool IsLeadByte(std::uint8_t byte) const override {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  }
  bool IsTrailByte(std::uint8_t byte) const override {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
  }
  std::uint8_t ToUpper(std::uint8_t byte) const override { return AsciiUpper(byte); }
};

}  // namespace

const CodePage& SingleByteCodePage() {
  static const SingleByte page;
  return page;
}

const CodePage& ShiftJisCodePage() {
  static const ShiftJis page;
  return page;
}

}  // namespace molt::platform
