# The x64 edition of the DLL (PE32+), for 64-bit hosts.
set(KOV_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
