// Names the volume files and writes them, with or without a list file.
#include <cstdio>
#include <fstream>
#include <set>

#include "pack_writer.h"

namespace packwriter {
namespace {

constexpr const char* kFlagChars = "-+ 0";

// Reads one conversion at format[at] == '%'; returns its text and moves `at`
// past it. Only an integer conversion with flags, width and precision passes.
std::string TakeIntegerConversion(const std::string& format, std::size_t& at) {
  const std::size_t start = at++;
  while (at < format.size() && std::string(kFlagChars).find(format[at]) != std::string::npos) ++at;
  while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
  if (at < format.size() && format[at] == '.') {
    ++at;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
  }
  if (at >= format.size() || (format[at] != 'd' && format[at] != 'i' && format[at] != 'u')) {
    throw Error("volume name format '" + format + "' has a conversion other than one integer");
  }
  ++at;
  const std::string conversion = format.substr(start, at - start);
  if (conversion.size() > 8) throw Error("volume name format '" + format + "' has an oversized conversion");
  return conversion;
}

std::string FormatOne(const std::string& conversion, unsigned value) {
  // The conversion was checked above to be one integer conversion with at
  // most 5 digits of width or precision, so the buffer always suffices.
  char buffer[128];
  const std::string conversionFormat = conversion.back() == 'u' ? conversion : conversion.substr(0, conversion.size() - 1) + "d";
  const int written = conversion.back() == 'u'
                          ? std::snprintf(buffer, sizeof buffer, conversionFormat.c_str(), value)
                          : std::snprintf(buffer, sizeof buffer, conversionFormat.c_str(), static_cast<int>(value));
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof buffer) throw Error("volume name too long");
  return std::string(buffer, static_cast<std::size_t>(written));
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw Error("cannot write '" + path + "'");
}

void RefuseRepeatedNames(const std::vector<std::string>& names) {
  if (std::set<std::string>(names.begin(), names.end()).size() != names.size()) {
    throw Error("two volumes would share the file '" + names.front() +
                "': the name format needs an integer conversion such as %d");
  }
}

}  // namespace

std::string FormatVolumeName(const std::string& format, unsigned volumeNumber) {
  std::string name;
  bool converted = false;
  for (std::size_t at = 0; at < format.size();) {
    if (format[at] != '%') {
      name.push_back(format[at++]);
    } else if (at + 1 < format.size() && format[at + 1] == '%') {
      name.push_back('%');
      at += 2;
    } else {
      if (converted) throw Error("volume name format '" + format + "' has more than one conversion");
      name += FormatOne(TakeIntegerConversion(format, at), volumeNumber);
      converted = true;
    }
  }
  return name;
}

std::vector<std::string> WritePack(const Pack& pack, const std::string& format) {
  const std::vector<std::string> volumes = BuildVolumes(pack);
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    paths.push_back(FormatVolumeName(format, static_cast<unsigned>(i + 1)));
  }
  RefuseRepeatedNames(paths);
  for (std::size_t i = 0; i < volumes.size(); ++i) WriteFile(paths[i], volumes[i]);
  return paths;
}

std::vector<std::string> WritePackWithList(const Pack& pack,
                                           const std::vector<std::string>& volumePaths,
                                           const std::string& listPath) {
  const std::vector<std::string> volumes = BuildVolumes(pack);
  if (volumePaths.size() != volumes.size()) {
    throw Error("the pack has " + std::to_string(volumes.size()) + " volumes but " +
                std::to_string(volumePaths.size()) + " names were given");
  }
  RefuseRepeatedNames(volumePaths);
  for (std::size_t i = 0; i < volumes.size(); ++i) WriteFile(volumePaths[i], volumes[i]);
  WriteFile(listPath, ListFileText(volumePaths));
  return volumePaths;
}

std::string ListFileText(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return text;
}

}  // namespace packwriter
