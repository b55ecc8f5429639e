// The tool's words for the extractor's error codes. The library's own texts
// (error_texts.def) are Japanese and stay in its boxes; the tool prints a
// code's name and number from that table with an English text of its own.
#pragma once

#include <string>
#include <string_view>

namespace moltcli {

// 'ERR_CRC' for 45; null for a number that is no code.
const char* ErrorName(int code);
// The English text of a code; null for a number that is no code.
const char* EnglishText(int code);

// The one line that reports a failure, without its line feed:
//   molt: SUBJECT: ERR_NAME (CODE): English text[: system's reason][; detail]
std::string FailureLine(std::string_view subject, int code, std::string_view detail = {},
                        std::string_view reason = {});

// Whether a failure of this code comes from a system call that failed, whose
// reason is then worth telling: a volume or list file that cannot be opened,
// sized, positioned or read (31, 32, 33, 38, 39), or an output that cannot be
// made or written (42, 43, 44).
bool IsSystemFailure(int code);

// Text from a pack or the command line made fit for one line of a terminal:
// control characters become '?', every other byte stays as it is.
std::string OneLine(std::string_view text);

}  // namespace moltcli
