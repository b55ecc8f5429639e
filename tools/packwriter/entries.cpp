// Factories for stream items and the MS-DOS date and time words.
#include "pack_writer.h"

#include <utility>

namespace packwriter {

std::uint16_t DosDate(int year, int month, int day) {
  return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

std::uint16_t DosTime(int hour, int minute, int second) {
  return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

Entry File(std::string shortName, std::string data) {
  Entry entry;
  entry.kind = Entry::Kind::kFile;
  entry.shortName = std::move(shortName);
  entry.data = std::move(data);
  return entry;
}

Entry DeflatedFile(std::string shortName, std::string data, int level, int strategy) {
  Entry entry = File(std::move(shortName), std::move(data));
  entry.mode = DataMode::kDeflate;
  entry.level = level;
  entry.strategy = strategy;
  return entry;
}

Entry Directory(std::string shortName, std::vector<Entry> children) {
  Entry entry;
  entry.kind = Entry::Kind::kDirectory;
  entry.shortName = std::move(shortName);
  entry.children = std::move(children);
  return entry;
}

Entry Raw(std::string bytes) {
  Entry entry;
  entry.kind = Entry::Kind::kRaw;
  entry.raw = std::move(bytes);
  return entry;
}

Entry WithLongName(Entry entry, std::string longName) {
  entry.longName = std::move(longName);
  return entry;
}

}  // namespace packwriter
