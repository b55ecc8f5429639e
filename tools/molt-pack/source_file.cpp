// What SourceFile does the same way on every system, over ReadSome.
#include "failure.h"
#include "system_files.h"

namespace moltpack {

void SourceFile::Read(char* buffer, std::size_t size) {
  while (size > 0) {
    const std::size_t done = ReadSome(buffer, size);
    if (done == 0) throw Failure(path_.string(), "became shorter while it was being packed");
    buffer += done;
    size -= done;
  }
}

void SourceFile::ExpectEnd() {
  char probe = 0;
  if (ReadSome(&probe, 1) != 0) throw Failure(path_.string(), "grew while it was being packed");
}

}  // namespace moltpack
