#include "program_folder.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace app_test {
namespace {

#ifdef _WIN32
constexpr const char* kExecutableName = "KUP.exe";

void SetVariable(const char* name, const char* value) { _putenv_s(name, value); }
// An empty value removes the variable.
void RemoveVariable(const char* name) { _putenv_s(name, ""); }
#else
constexpr const char* kExecutableName = "kup";

void SetVariable(const char* name, const char* value) { setenv(name, value, 1); }
void RemoveVariable(const char* name) { unsetenv(name); }
#endif

}  // namespace

ProgramFolderSystem::ProgramFolderSystem(std::filesystem::path programFolder)
    : folder(std::move(programFolder)), real_(kup::DefaultProgramSystem()) {}

bool ProgramFolderSystem::ModuleFileName(char* buffer, std::size_t size) {
  const std::string path = (this->folder / kExecutableName).string();
  if (executablePathFails || path.size() + 1 > size) return false;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return true;
}

bool ProgramFolderSystem::FileExists(const char* path) {
  if (hidePath && hidePath(path)) return false;
  return real_.FileExists(path);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (had_) old_ = old;
  SetVariable(name, value.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    SetVariable(name_.c_str(), old_.c_str());
  } else {
    RemoveVariable(name_.c_str());
  }
}

#ifdef _WIN32

CodePageScope::CodePageScope(CodePage page) {
  CPINFO info{};
  switch (page) {
    case CodePage::kAny:
      break;
    case CodePage::kSingleByte:
      active_ = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
      break;
    case CodePage::kShiftJis:
      active_ = GetACP() == 932;
      break;
  }
}

std::string CodePageScope::SystemCodePage() { return std::to_string(GetACP()); }

#else

CodePageScope::CodePageScope(CodePage page) {
  switch (page) {
    case CodePage::kAny:
      break;
    case CodePage::kSingleByte:
      env_.emplace("MOLT_CODEPAGE", "1252");
      break;
    case CodePage::kShiftJis:
      env_.emplace("MOLT_CODEPAGE", "932");
      break;
  }
}

std::string CodePageScope::SystemCodePage() {
  const char* selected = std::getenv("MOLT_CODEPAGE");
  return selected != nullptr ? selected : "(MOLT_CODEPAGE unset)";
}

#endif

}  // namespace app_test
