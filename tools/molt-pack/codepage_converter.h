// The backend of TargetCodePage: one file per system implements it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "codepage_names.h"

namespace moltpack {

class TargetCodePage::Converter {
 public:
  // Throws std::runtime_error when the system has no conversion into
  // `number` (0: the source system's own spelling, see TargetCodePage).
  explicit Converter(int number);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  std::optional<std::string> FromSourceName(const std::filesystem::path& name);
  std::optional<std::string> FromArgument(const std::string& text);
  // Whether `byte` starts a double-byte character of the code page.
  bool IsLeadByte(std::uint8_t byte);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace moltpack
