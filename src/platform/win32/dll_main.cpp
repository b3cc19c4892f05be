// Process attach and detach of the DLL.
#include <windows.h>

#include "api/library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return LibraryAttach(reinterpret_cast<platform::Module*>(instance)) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
      LibraryDetach();
      return TRUE;
    default:
      return TRUE;
  }
}
