// Code-page conversion with iconv: source names and command-line text are
// UTF-8 (the bytes of a name are taken as they are for code page 0).
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "codepage_converter.h"

namespace moltpack {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

std::string IconvName(int number) { return number == 65001 ? "UTF-8" : "CP" + std::to_string(number); }

iconv_t Open(const std::string& to, const std::string& from, int number) {
  const iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == kNoConverter) {
    throw std::runtime_error("code page " + std::to_string(number) + " is not known to this system's converter (" +
                             std::strerror(errno) + ")");
  }
  return converter;
}

enum class Outcome { kDone, kInvalid, kIncomplete };

// Converts all of `text`, from the converter's initial state.
Outcome Convert(iconv_t converter, const std::string& text, std::string& out) {
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  std::vector<char> buffer(text.size() * 4 + 16);
  char* in = const_cast<char*>(text.data());  // iconv's POSIX form takes char**
  std::size_t inLeft = text.size();
  char* next = buffer.data();
  std::size_t outLeft = buffer.size();
  if (iconv(converter, &in, &inLeft, &next, &outLeft) == static_cast<std::size_t>(-1)) {
    return errno == EINVAL ? Outcome::kIncomplete : Outcome::kInvalid;
  }
  if (iconv(converter, nullptr, nullptr, &next, &outLeft) == static_cast<std::size_t>(-1)) return Outcome::kInvalid;
  out.assign(buffer.data(), static_cast<std::size_t>(next - buffer.data()));
  return Outcome::kDone;
}

}  // namespace

struct TargetCodePage::Converter::State {
  ~State() {
    if (toTarget != kNoConverter) iconv_close(toTarget);
    if (fromTarget != kNoConverter) iconv_close(fromTarget);
  }
  int number = 0;
  iconv_t toTarget = kNoConverter;
  iconv_t fromTarget = kNoConverter;
};

TargetCodePage::Converter::Converter(int number) : state_(std::make_unique<State>()) {
  state_->number = number;
  if (number == 0) return;
  state_->toTarget = Open(IconvName(number), "UTF-8", number);
  state_->fromTarget = Open("UTF-8", IconvName(number), number);
}

TargetCodePage::Converter::~Converter() = default;

std::optional<std::string> TargetCodePage::Converter::FromArgument(const std::string& text) {
  if (state_->number == 0) return text;
  std::string target;
  if (Convert(state_->toTarget, text, target) != Outcome::kDone) return std::nullopt;
  // A character that only has a stand-in there (a best fit) does not come
  // back as itself.
  std::string back;
  if (Convert(state_->fromTarget, target, back) != Outcome::kDone || back != text) return std::nullopt;
  return target;
}

std::optional<std::string> TargetCodePage::Converter::FromSourceName(const std::filesystem::path& name) {
  return FromArgument(name.native());
}

bool TargetCodePage::Converter::IsLeadByte(std::uint8_t byte) {
  if (state_->number == 0) return false;
  std::string ignored;
  return Convert(state_->fromTarget, std::string(1, static_cast<char>(byte)), ignored) == Outcome::kIncomplete;
}

}  // namespace moltpack
