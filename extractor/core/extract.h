// The extractor's entry: one whole extraction in one call.
#pragma once

namespace molt {

struct Context;

// Does what the export Molt does, on the given extractor; returns 0 or an
// error code and never throws.
int Molt(Context& context, const char* packPath, const char* destination, const char* filter,
         int showErrors, const char* command);

bool CheckLongNameVolume(Context& context);
void SetUpFilter(Context& context, const char* filter);
bool SetUpDestination(Context& context, const char* destination);

}  // namespace molt
