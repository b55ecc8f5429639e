#include "extract.h"
#include "context.h"
namespace molt { int Molt(Context&, const char*, const char*, const char*, int, const char*) { return 0; } }
