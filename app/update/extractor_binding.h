// Binding the extractor library for one call.
#pragma once

#include <string>

namespace kup {

// The pack path as the extractor's volume-name format: every '%' doubled, so
// that formatting the volume number yields the path as it is.
std::string VolumeFormatOf(const char* packPath);

// Loads the extractor from the program folder by its full path, calls its
// export "Molt" once to unpack the whole pack into `destination`, with the
// library's own error boxes on, and unloads it whatever happened. True
// exactly when the extractor returned 0. A library without the export is
// unloaded without any call.
bool UnpackPackage(const char* packPath, const char* destination);

}  // namespace kup
