// The program's entry on Windows.
#include "win_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }
