#include "listing.h"

#include <cinttypes>
#include <cstring>

#include "core/pack_format.h"
#include "json_text.h"
#include "messages.h"
#include "platform/dos_time.h"
#include "system_text.h"

namespace moltcli {

std::string AttributeLetters(std::uint16_t attributes) {
  struct Letter {
    std::uint16_t bit;
    char letter;
  };
  static constexpr Letter kLetters[] = {
      {0x01, 'R'}, {0x02, 'H'}, {0x04, 'S'}, {0x10, 'D'}, {0x20, 'A'}};
  std::string letters;
  std::uint16_t rest = attributes;
  for (const Letter& letter : kLetters) {
    letters += (attributes & letter.bit) ? letter.letter : '-';
    rest = static_cast<std::uint16_t>(rest & ~letter.bit);
  }
  if (rest != 0) {
    char other[8];
    std::snprintf(other, sizeof other, "+%04X", static_cast<unsigned>(rest));
    letters += other;
  }
  return letters;
}

std::optional<std::string> IsoTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  std::int64_t seconds = 0;  // only for the range check the extractor makes
  if (!molt::platform::DosDateTimeToUnixSeconds(dosDate, dosTime, &seconds)) return std::nullopt;
  char text[24];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", 1980 + (dosDate >> 9),
                (dosDate >> 5) & 0x0F, dosDate & 0x1F, dosTime >> 11, (dosTime >> 5) & 0x3F,
                (dosTime & 0x1F) * 2);
  return std::string(text);
}

std::string DisplayName(std::string_view bytes) {
  const Utf8Text text = NameToUtf8(bytes);
  const std::string line = OneLine(text.text);
  if (text.exact && line == text.text) return line;
  return line + " (hex " + HexBytes(bytes) + ")";
}

std::string PathWithShortName(const molt::SurveyedEntry& entry) {
  const molt::EntryRecord& record = entry.record;
  std::string path = DisplayName(entry.path);
  if (record.longName && std::strcmp(record.longName.get(), record.shortName) != 0) {
    path += " [" + DisplayName(record.shortName) + "]";
  }
  return path;
}

namespace {

struct Totals {
  std::uint64_t files = 0;
  std::uint64_t directories = 0;
  std::uint64_t size = 0;
  std::uint64_t packedSize = 0;

  void Add(const molt::SurveyedEntry& entry) {
    if (entry.isDirectory) {
      ++directories;
    } else {
      ++files;
      size += entry.record.size;
      packedSize += entry.record.packedSize;
    }
  }
};

const char* Method(const molt::EntryRecord& record) {
  return (record.flags & molt::ENTRY_DEFLATED) ? "deflated" : "stored";
}

const char* Plural(std::uint64_t count, const char* one, const char* many) {
  return count == 1 ? one : many;
}

class TextListing final : public Listing {
 public:
  explicit TextListing(std::FILE* out) : out_(out) {
    std::fprintf(out_, "%-4s %10s %10s  %-8s  %-8s  %-8s  %-5s  %-20s  %s\n", "Type", "Size",
                 "Packed", "Method", "CRC-32", "Mask", "Attr", "Last write (UTC)", "Path");
  }

  void OnEntry(const molt::SurveyedEntry& entry) override {
    totals_.Add(entry);
    const molt::EntryRecord& record = entry.record;
    const std::string time =
        IsoTime(record.lastWriteDate, record.lastWriteTime).value_or("-");
    const std::string path = PathWithShortName(entry);
    const std::string attributes = AttributeLetters(record.attributes);
    if (entry.isDirectory) {
      std::fprintf(out_, "%-4s %10s %10s  %-8s  %-8s  %08" PRIx32 "  %-5s  %-20s  %s\n", "dir",
                   "-", "-", "-", "-", record.selectionMask, attributes.c_str(), time.c_str(),
                   path.c_str());
    } else {
      std::fprintf(out_,
                   "%-4s %10" PRIu32 " %10" PRIu32 "  %-8s  %08" PRIx32 "  %08" PRIx32
                   "  %-5s  %-20s  %s\n",
                   "file", record.size, record.packedSize, Method(record), record.crc32,
                   record.selectionMask, attributes.c_str(), time.c_str(), path.c_str());
    }
  }

  void Finish(const Stop& stop) override {
    std::fprintf(out_,
                 "%" PRIu64 " %s, %" PRIu64 " %s, %" PRIu64 " %s, %" PRIu64 " packed%s\n",
                 totals_.files, Plural(totals_.files, "file", "files"), totals_.directories,
                 Plural(totals_.directories, "directory", "directories"), totals_.size,
                 Plural(totals_.size, "byte", "bytes"), totals_.packedSize,
                 stop.code != 0 ? " (the listing ended early)" : "");
  }

 private:
  std::FILE* out_;
  Totals totals_;
};

// `"key": "text"` for a name from the pack (or, `fromPack` false, from the
// command line), and `, "key_hex": "..."` with its exact bytes when the text
// does not give them back.
std::string NameMember(const char* key, std::string_view bytes, bool fromPack = true) {
  const Utf8Text text = fromPack ? NameToUtf8(bytes) : ArgumentToUtf8(bytes);
  std::string member = JsonString(key) + ": " + JsonString(text.text);
  if (!text.exact) member += ", " + JsonString(std::string(key) + "_hex") + ": " +
                             JsonString(HexBytes(bytes));
  return member;
}

class JsonListing final : public Listing {
 public:
  JsonListing(std::FILE* out, const std::string& pack) : out_(out) {
    std::string head = "{\n  " + NameMember("pack", pack, false) + ",\n";
    head += "  \"code_page\": " + JsonString(NameCodePage()) + ",\n  \"entries\": [";
    std::fputs(head.c_str(), out_);
  }

  void OnEntry(const molt::SurveyedEntry& entry) override {
    totals_.Add(entry);
    const molt::EntryRecord& record = entry.record;
    std::string line = first_ ? "\n    {" : ",\n    {";
    first_ = false;
    line += "\"type\": ";
    line += entry.isDirectory ? "\"directory\"" : "\"file\"";
    line += ", " + NameMember("path", entry.path);
    line += ", " + NameMember("short_name", record.shortName);
    if (record.longName) {
      line += ", " + NameMember("long_name", record.longName.get());
    } else {
      line += ", \"long_name\": null";
    }
    line += ", \"depth\": " + std::to_string(entry.depth);
    if (entry.isDirectory) {
      line += ", \"contents_size\": " + std::to_string(record.size);
    } else {
      line += ", \"size\": " + std::to_string(record.size);
      line += ", \"packed_size\": " + std::to_string(record.packedSize);
      line += ", \"method\": " + JsonString(Method(record));
      line += ", \"crc32\": " + std::to_string(record.crc32);
    }
    line += ", \"selection_mask\": " + std::to_string(record.selectionMask);
    line += ", \"flags\": " + std::to_string(record.flags);
    line += ", \"attributes\": " + std::to_string(record.attributes);
    line += ", \"attribute_letters\": " + JsonString(AttributeLetters(record.attributes));
    const std::optional<std::string> time = IsoTime(record.lastWriteDate, record.lastWriteTime);
    line += ", \"last_write\": " + (time ? JsonString(*time) : std::string("null"));
    line += "}";
    std::fputs(line.c_str(), out_);
  }

  void Finish(const Stop& stop) override {
    std::string tail = first_ ? "],\n" : "\n  ],\n";
    tail += "  \"totals\": {\"files\": " + std::to_string(totals_.files) +
            ", \"directories\": " + std::to_string(totals_.directories) +
            ", \"size\": " + std::to_string(totals_.size) +
            ", \"packed_size\": " + std::to_string(totals_.packedSize) + "},\n";
    tail += "  \"error\": ";
    if (stop.code == 0) {
      tail += "null";
    } else {
      const char* name = ErrorName(stop.code);
      const char* text = EnglishText(stop.code);
      tail += "{\"code\": " + std::to_string(stop.code) +
              ", \"name\": " + (name ? JsonString(name) : std::string("null")) +
              ", \"message\": " + (text ? JsonString(text) : std::string("null")) + ", " +
              NameMember("path", stop.subject, stop.subjectIsEntry) +
              ", \"detail\": " + JsonString(Utf8OrReplacement(stop.detail).text) + "}";
    }
    tail += "\n}\n";
    std::fputs(tail.c_str(), out_);
  }

 private:
  std::FILE* out_;
  Totals totals_;
  bool first_ = true;
};

}  // namespace

std::unique_ptr<Listing> MakeTextListing(std::FILE* out) {
  return std::make_unique<TextListing>(out);
}

std::unique_ptr<Listing> MakeJsonListing(std::FILE* out, const std::string& pack) {
  return std::make_unique<JsonListing>(out, pack);
}

}  // namespace moltcli
