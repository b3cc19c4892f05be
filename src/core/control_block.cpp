#include "core/control_block.h"

ScannerControlBlock SCB;

platform::CriticalSection* ApiLock = nullptr;
platform::Module* hModuleInstance = nullptr;
std::int32_t bInitialised = 0;
std::atomic<std::uint16_t> usLastRc{0};
std::atomic<std::int32_t> bKill{0};
std::atomic<platform::Window*> hDlgWnd{nullptr};
