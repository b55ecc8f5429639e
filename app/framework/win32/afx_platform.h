// The names of the window system that the framework and the program use: on
// Windows, the system's own.
#pragma once

#include <windows.h>
