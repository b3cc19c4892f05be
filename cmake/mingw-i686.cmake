# The 32-bit edition of the DLL (PE32), the product's first form.
set(KOV_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
