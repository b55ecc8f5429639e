#include "program_system.h"

#include <atomic>

namespace kup {
namespace {

std::atomic<ProgramSystem*> g_replacement{nullptr};

}  // namespace

ProgramSystem& SystemServices() {
  ProgramSystem* replacement = g_replacement.load();
  return replacement != nullptr ? *replacement : DefaultProgramSystem();
}

void SetSystemServices(ProgramSystem* replacement) { g_replacement.store(replacement); }

}  // namespace kup
