// molt list: the entries of a pack as text, one line each, or as one JSON
// document; and the fields both forms share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/pack_survey.h"

namespace moltcli {

// Attribute bits as letters in fixed places, '-' where clear: R read-only,
// H hidden, S system, D directory, A archive; any other bits follow as
// '+' and four hex digits. 0x21 is "R---A", 0x80 "-----+0080".
std::string AttributeLetters(std::uint16_t attributes);

// An MS-DOS date and time, taken as UTC as the extractor takes them, in ISO
// 8601: "2008-03-15T13:45:30Z". Nothing for a date or time out of range.
std::optional<std::string> IsoTime(std::uint16_t dosDate, std::uint16_t dosTime);

// A name from the pack as a terminal line shows it: UTF-8 by the JSON
// listing's conversion, control characters as '?', and when that does not
// give the very bytes back, the bytes in hex after it: "A?B (hex 410142)".
std::string DisplayName(std::string_view bytes);

// The entry's path, and after it its short name in brackets when it has a
// long name that differs, each as DisplayName shows it:
// "docs\Read me.txt [README~1.TXT]".
std::string PathWithShortName(const molt::SurveyedEntry& entry);

// Why a listing or test ended early, as the failure line tells it.
struct Stop {
  int code = 0;
  std::string subject;          // the entry, volume or pack involved
  bool subjectIsEntry = false;  // an entry's path, in the pack's code page
  std::string detail;
  std::string reason;  // the system's, when a system call failed
};

class Listing : public molt::SurveyVisitor {
 public:
  // The totals, and for JSON the end of the document, with the failure that
  // ended the listing (code 0: none).
  virtual void Finish(const Stop& stop) = 0;
};

std::unique_ptr<Listing> MakeTextListing(std::FILE* out);
// `pack` is the PACK argument, for the document's "pack" member.
std::unique_ptr<Listing> MakeJsonListing(std::FILE* out, const std::string& pack);

}  // namespace moltcli
