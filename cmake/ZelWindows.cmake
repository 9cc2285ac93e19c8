# The libraries a Windows build needs that Debian has no mingw build of, and the layout its
# programs run from. Include it in a project configured with cmake/toolchains/mingw-*.cmake.
#
# Gives:
#   ZLIB::ZLIB         zlib, linked statically (Wine ships a zlib1.dll of its own that could shadow
#                      ours), from Debian's libz-mingw-w64-dev
#   minizip::minizip   minizip's unzip with its Win32 file functions (fill_win32_filefunc64W), static
#   unrar::unrar       unrar.dll and its import library; headers as <unrar/dll.hpp>, as on Linux
#   GTest::gtest, GTest::gtest_main, GTest::gmock, GTest::gmock_main   from /usr/src/googletest
# minizip and the UnRAR library come from scripts/fetch-windows-sources.sh, run beforehand into
# ZEL_WINDOWS_SOURCES. The UnRAR library and googletest are built once per build folder as external
# projects of their own: neither our warning flags nor a change to our build reach them, and a
# rebuild reuses their objects.
#
# Every program and DLL lands in bin/ beside the MinGW runtime DLLs, so that it starts there, on
# Windows or under Wine, with nothing else installed. Our programs and DLLs share that one C++
# runtime rather than each linking its own copy: C++ objects and exceptions cross our DLLs'
# interfaces, and on i686 (DWARF unwinding) an exception cannot pass between two modules that each
# carry a static libgcc.
include_guard(GLOBAL)
include(ExternalProject)

if(NOT WIN32 OR NOT MINGW)
    message(FATAL_ERROR "ZelWindows.cmake is for a mingw-w64 build: configure with --toolchain cmake/toolchains/mingw-x86_64.cmake")
endif()
get_filename_component(zel_top ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

set(ZEL_WINDOWS_SOURCES ${CMAKE_BINARY_DIR}/third-party-src CACHE PATH
    "Third-party sources fetched by scripts/fetch-windows-sources.sh")
if(NOT EXISTS ${ZEL_WINDOWS_SOURCES}/.done)
    message(FATAL_ERROR "No third-party sources in ${ZEL_WINDOWS_SOURCES}: run\n"
        "  scripts/fetch-windows-sources.sh ${ZEL_WINDOWS_SOURCES}")
endif()
set(ZEL_GOOGLETEST_SOURCES /usr/src/googletest CACHE PATH "googletest's sources (Debian package googletest)")

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(zel_third_party_lib ${CMAKE_BINARY_DIR}/third-party/lib)
file(MAKE_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${zel_third_party_lib})

# The MinGW runtime DLLs our programs import (libgcc's is named after the unwinding model: seh on
# x86-64, dw2 on i686).
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${dll_path}" AND EXISTS "${dll_path}")
        file(COPY ${dll_path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
        list(APPEND zel_runtime_dlls ${dll})
    endif()
endforeach()
if(NOT "libstdc++-6.dll" IN_LIST zel_runtime_dlls OR NOT "libwinpthread-1.dll" IN_LIST zel_runtime_dlls)
    message(FATAL_ERROR "The MinGW runtime DLLs are missing (found: ${zel_runtime_dlls})")
endif()

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# GoogleTest cases are listed when ctest starts, not at build time: listing runs the program under
# Wine, which has no business in a build.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# zel_third_party_project(NAME SOURCE_DIR BYPRODUCTS files... ARGS -Dvar=value...)
function(zel_third_party_project name source_dir)
    cmake_parse_arguments(ARG "" "" "BYPRODUCTS;ARGS" ${ARGN})
    set(launchers "")
    foreach(lang C CXX)
        if(CMAKE_${lang}_COMPILER_LAUNCHER)
            list(APPEND launchers -DCMAKE_${lang}_COMPILER_LAUNCHER=${CMAKE_${lang}_COMPILER_LAUNCHER})
        endif()
    endforeach()
    ExternalProject_Add(${name}
        SOURCE_DIR ${source_dir}
        BINARY_DIR ${CMAKE_BINARY_DIR}/third-party/${name}
        CMAKE_ARGS --toolchain ${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release ${launchers} ${ARG_ARGS}
        # The sub-build's own ninja decides what is out of date: a no-op when nothing changed.
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${ARG_BYPRODUCTS}
        INSTALL_COMMAND ""
        USES_TERMINAL_BUILD ON)
endfunction()

# zel_imported_library(TARGET KIND LOCATION INCLUDES DEPENDS [IMPLIB file] [LINKS targets...])
function(zel_imported_library target kind location includes depends)
    cmake_parse_arguments(ARG "" "IMPLIB" "LINKS" ${ARGN})
    add_library(${target} ${kind} IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${location}
        INTERFACE_INCLUDE_DIRECTORIES "${includes}" INTERFACE_LINK_LIBRARIES "${ARG_LINKS}")
    if(ARG_IMPLIB)
        set_target_properties(${target} PROPERTIES IMPORTED_IMPLIB ${ARG_IMPLIB})
    endif()
    add_dependencies(${target} ${depends})
endfunction()

# The UnRAR library's headers are included as <unrar/dll.hpp> on Linux, and so here: the fetched
# folder is named unrar.
set(unrar_import ${zel_third_party_lib}/libunrar.dll.a)
zel_third_party_project(unrar_dll ${zel_top}/third_party/unrar
    BYPRODUCTS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/unrar.dll ${unrar_import}
    ARGS -DUNRAR_SOURCE_DIR=${ZEL_WINDOWS_SOURCES}/unrar
         -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
         -DCMAKE_ARCHIVE_OUTPUT_DIRECTORY=${zel_third_party_lib})
zel_imported_library(unrar::unrar SHARED ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/unrar.dll ${ZEL_WINDOWS_SOURCES}
    unrar_dll IMPLIB ${unrar_import})

set(gtest_lib ${CMAKE_BINARY_DIR}/third-party/googletest/lib)
zel_third_party_project(googletest ${ZEL_GOOGLETEST_SOURCES}
    BYPRODUCTS ${gtest_lib}/libgtest.a ${gtest_lib}/libgtest_main.a ${gtest_lib}/libgmock.a ${gtest_lib}/libgmock_main.a
    ARGS -DBUILD_GMOCK=ON -DINSTALL_GTEST=OFF)
set(gtest_include ${ZEL_GOOGLETEST_SOURCES}/googletest/include)
set(gmock_include ${ZEL_GOOGLETEST_SOURCES}/googlemock/include)
zel_imported_library(GTest::gtest STATIC ${gtest_lib}/libgtest.a ${gtest_include} googletest)
zel_imported_library(GTest::gtest_main STATIC ${gtest_lib}/libgtest_main.a ${gtest_include} googletest
    LINKS GTest::gtest)
zel_imported_library(GTest::gmock STATIC ${gtest_lib}/libgmock.a "${gmock_include};${gtest_include}" googletest
    LINKS GTest::gtest)
zel_imported_library(GTest::gmock_main STATIC ${gtest_lib}/libgmock_main.a "${gmock_include};${gtest_include}"
    googletest LINKS GTest::gmock)

# minizip compiles in seconds and needs no isolation: C only, where our C++ warnings do not apply.
set(minizip_dir ${ZEL_WINDOWS_SOURCES}/minizip)
add_library(zel_minizip STATIC ${minizip_dir}/ioapi.c ${minizip_dir}/iowin32.c ${minizip_dir}/unzip.c)
target_include_directories(zel_minizip SYSTEM PUBLIC ${minizip_dir})
target_compile_options(zel_minizip PRIVATE -w)
target_link_libraries(zel_minizip PUBLIC ZLIB::ZLIB)
add_library(minizip::minizip ALIAS zel_minizip)
