#include "extractor_binding.h"

#include "molt.h"
#include "program_paths.h"

namespace kup {

std::string VolumeFormatOf(const char* packPath) {
  // Byte by byte, as the extractor reads a format: no trail byte of a
  // double-byte character is a '%', and a '%' after a lead byte that has no
  // valid trail is still one the extractor would take as a conversion.
  std::string format;
  for (const char* p = packPath; *p != '\0'; ++p) {
    if (*p == '%') format += '%';
    format += *p;
  }
  return format;
}

bool UnpackPackage(const char* packPath, const char* destination) {
  ProgramSystem& system = SystemServices();
  char libraryPath[kPathBufferSize];
  if (!BuildProgramPath(libraryPath, system.ExtractorLibraryName())) return false;
  const LibraryHandle library = system.OpenLibrary(libraryPath);
  if (library == nullptr) return false;

  const auto molt = reinterpret_cast<MoltFunction>(system.FindExport(library, "Molt"));
  int result = -1;
  if (molt != nullptr) {
    const std::string volumeFormat = VolumeFormatOf(packPath);
    result = molt(volumeFormat.c_str(), destination, nullptr, 1, "UNPACK");
  }
  system.CloseLibrary(library);
  return molt != nullptr && result == 0;
}

}  // namespace kup
