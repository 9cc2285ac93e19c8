# 32-bit Windows: cmake -S . -B build-win32 --toolchain cmake/toolchains/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZEL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# A 32-bit program needs 32-bit Wine (an i386 multiarch install, which CI does not have): without it
# the build is compile-and-link only and ctest has no way to run its tests.
if(EXISTS /usr/lib/wine/wine)
    zel_use_wine_emulator()
endif()
