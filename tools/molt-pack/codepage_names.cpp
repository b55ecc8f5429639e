#include "codepage_names.h"

#include <array>

#include "codepage_converter.h"

namespace moltpack {
namespace {

constexpr int kShiftJis = 932;
constexpr int kUtf8 = 65001;

// A double-byte code page other than 932: its lead bytes as the converter
// tells them, the trail bytes that every double-byte ANSI code page keeps to
// (as the extractor's Windows backend takes them), and ASCII letters
// upper-cased.
class ConvertedCodePage final : public molt::platform::CodePage {
 public:
  explicit ConvertedCodePage(TargetCodePage::Converter& converter) {
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
      lead_[byte] = converter.IsLeadByte(static_cast<std::uint8_t>(byte));
    }
  }
  bool IsLeadByte(std::uint8_t byte) const override { return lead_[byte]; }
  bool IsTrailByte(std::uint8_t byte) const override {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
  }
  std::uint8_t ToUpper(std::uint8_t byte) const override {
    return (byte >= 'a' && byte <= 'z') ? static_cast<std::uint8_t>(byte - 'a' + 'A') : byte;
  }
  bool HasLeadBytes() const {
    for (bool lead : lead_) {
      if (lead) return true;
    }
    return false;
  }

 private:
  std::array<bool, 256> lead_{};
};

}  // namespace

TargetCodePage::TargetCodePage(int number)
    : number_(number), converter_(std::make_unique<Converter>(number)),
      characters_(&molt::platform::SingleByteCodePage()) {
  if (number == kShiftJis) {
    characters_ = &molt::platform::ShiftJisCodePage();
  } else if (number != 0 && number != kUtf8) {
    // UTF-8's bytes above 0x7F never stand for ASCII, so single-byte rules
    // serve it, as they serve the extractor on a system whose code page it is.
    auto converted = std::make_unique<ConvertedCodePage>(*converter_);
    if (converted->HasLeadBytes()) {
      characters_ = converted.get();
      ownCharacters_ = std::move(converted);
    }
  }
}

TargetCodePage::~TargetCodePage() = default;

std::optional<std::string> TargetCodePage::FromSourceName(const std::filesystem::path& name) const {
  return converter_->FromSourceName(name);
}

std::optional<std::string> TargetCodePage::FromArgument(const std::string& text) const {
  return converter_->FromArgument(text);
}

}  // namespace moltpack
