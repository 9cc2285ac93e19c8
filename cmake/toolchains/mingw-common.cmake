# Shared by the mingw-w64 toolchain files: Debian's cross compilers with the posix thread model
# (std::thread and std::mutex work; the win32 model lacks them) and the target's own sysroot.
# The including file sets ZEL_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ZEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEL_MINGW_TRIPLE})
# Programs run on the build machine; libraries and headers come only from the target's sysroot, so
# that no Linux library is ever linked into a Windows binary.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run under Wine, always in a prefix of the build folder's own (never the user's ~/.wine):
# wine-run.sh makes it on first use and refuses to call a test passed that never ran.
function(zel_use_wine_emulator)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix
        PARENT_SCOPE)
endfunction()
