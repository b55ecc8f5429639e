// The program's entry on the headless backend.
#include <cstdio>
#include <cstdlib>

#include "win_app.h"

int main() {
  const int exitCode = AfxWinMain();
  // The process ends at once, as on Windows where its end takes every thread
  // along: a worker still waiting for the installer must not outlive the
  // objects it was started from.
  std::fflush(nullptr);
  std::_Exit(exitCode);
}
