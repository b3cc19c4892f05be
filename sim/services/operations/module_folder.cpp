#include "sim/services/operations/module_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace sim {
namespace {

// Any address inside this module identifies it.
void Anchor() {}

std::filesystem::path ModuleFile() {
#ifdef _WIN32
  HMODULE module = nullptr;
  const DWORD flags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&Anchor), &module)) return {};
  char name[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::filesystem::path(std::string(name, length));
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&Anchor), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return std::filesystem::path(info.dli_fname);
#endif
}

}  // namespace

std::filesystem::path ModuleFolder() {
  const auto file = ModuleFile();
  if (file.empty()) return {};
  std::error_code ignored;
  const auto full = std::filesystem::absolute(file, ignored);
  return (full.empty() ? file : full).parent_path();
}

}  // namespace sim
