#include "reader.h"
#include "context.h"
namespace molt { ReaderState::ReaderState() {} }
