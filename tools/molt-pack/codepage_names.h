// Names in the code page of the machine that will extract the pack. The
// extractor takes names as bytes of its system's ANSI code page, so the scan
// converts each source name into that code page and checks it there, with
// that code page's characters: a double-byte character's trail byte is never
// taken for a '\' or a letter.
//
// The conversion is the system's: iconv on POSIX systems (source names and
// command-line text in UTF-8), WideCharToMultiByte on Windows (source names
// in UTF-16, command-line text in the ANSI code page). The build picks
// codepage_names_iconv.cpp or codepage_names_win32.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/codepage.h"

namespace moltpack {

class TargetCodePage {
 public:
  // 0 keeps names as the source system spells them (POSIX: their bytes;
  // Windows: the ANSI code page) under single-byte rules. Any other number
  // is a Windows code page. Throws std::runtime_error for a code page that
  // this system cannot convert to.
  explicit TargetCodePage(int number);
  ~TargetCodePage();
  TargetCodePage(const TargetCodePage&) = delete;
  TargetCodePage& operator=(const TargetCodePage&) = delete;

  int number() const { return number_; }
  // Lead and trail bytes and case of the target code page: 932's own rules,
  // single-byte ones for 0 and single-byte code pages, and for other
  // double-byte code pages the lead bytes that the converter knows.
  const molt::platform::CodePage& Characters() const { return *characters_; }

  // The name of a file or folder (one component), or nothing when one of its
  // characters has no exact form in the code page: a best-fit stand-in (a
  // yen sign that comes back as a backslash) counts as none.
  std::optional<std::string> FromSourceName(const std::filesystem::path& name) const;
  // Text from the command line (a pattern), likewise.
  std::optional<std::string> FromArgument(const std::string& text) const;

  // The system's converter for one code page (one of the backend files).
  class Converter;

 private:
  int number_;
  std::unique_ptr<Converter> converter_;
  std::unique_ptr<molt::platform::CodePage> ownCharacters_;  // for other double-byte code pages
  const molt::platform::CodePage* characters_;
};

}  // namespace moltpack
