// A stand-in for the extractor library. It records how it was called in
// "molt-call.txt" in the destination, then does what the pack file says: the
// first word is the code to return, the words after it are names of files to
// write into the destination. The pack is found by formatting `packPath` with
// volume number 1, as the real extractor names its first volume.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "molt.h"

extern "C" MOLT_EXPORT int MOLT_CALL Molt(const char* packPath, const char* destination,
                                          const char* filter, int showErrors,
                                          const char* command) {
  char volume[4096];
  std::snprintf(volume, sizeof volume, packPath, 1);
  const std::string folder = destination;
  {
    std::ofstream call(folder + "/molt-call.txt", std::ios::binary);
    call << packPath << '\n'
         << destination << '\n'
         << (filter != nullptr ? filter : "(null)") << '\n'
         << showErrors << '\n'
         << command << '\n'
         << volume << '\n';
  }
  std::ifstream pack(volume, std::ios::binary);
  int code = 31;
  if (!(pack >> code)) return 31;
  std::string name;
  while (pack >> name) {
    std::ofstream(folder + "/" + name, std::ios::binary) << "unpacked " << name;
  }
  return code;
}
