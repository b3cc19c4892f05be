// The folder of the module that holds the stand-in: the shared library on Linux, the DLL
// it is built into on Windows.
#pragma once

#include <filesystem>

namespace sim {

// Empty when the system cannot tell.
std::filesystem::path ModuleFolder();

}  // namespace sim
