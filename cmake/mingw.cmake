# Cross-build of a Windows edition of the DLL with MinGW-w64, for the processor that
# mingw-i686.cmake or mingw-x86_64.cmake names (KOV_MINGW_ARCH).
# The posix thread flavour: the stand-in framework uses std::thread, std::mutex and
# std::condition_variable, which GCC 12's win32 flavour does not provide. Its runtime is
# linked statically, so the DLL still needs nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KOV_MINGW_ARCH})
set(CMAKE_C_COMPILER ${KOV_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOV_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${KOV_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_DLLTOOL ${KOV_MINGW_ARCH}-w64-mingw32-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${KOV_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
