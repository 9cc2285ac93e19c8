# Warnings, sanitizers, and the helpers that every folder uses to declare its component, the shared
# libraries, tests, fuzzers and benchmarks.

set(ZEL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
option(ZEL_WERROR "Treat compiler warnings as errors (the test script turns it on)" OFF)
if(ZEL_WERROR)
    list(APPEND ZEL_WARNINGS -Werror)
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${ZEL_WARNINGS}>")

if(ZEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Fuzz builds instrument every library for coverage, not only the harnesses: without it libFuzzer
# sees none of the parser's branches and mutates blindly.
# (The sanitizer runtime supplies the coverage hooks to the test programs, which link no libFuzzer.)
if(ZEL_FUZZ AND ZEL_SANITIZE)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

include(GenerateExportHeader)

# Headers that the build writes (the export macros) lie below this folder, as "<folder>/<name>.h".
set(ZEL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
# The ABI version of our shared libraries (the SONAME's number).
set(ZEL_SOVERSION 1)
# Where the public headers are installed, below the prefix.
include(GNUInstallDirs)
set(ZEL_INSTALL_INCLUDE_SUBDIR ${CMAKE_INSTALL_INCLUDEDIR}/zel)
# zel_add_component(NAME SOURCES a.cpp ... [DEPENDS component ...] [LIBS library ...]
#                   [EXPORT_MACRO NAME_API EXPORT_HEADER folder/name_export.h])
# The code of one folder. Its sources are compiled once, into the OBJECT library NAME_objects; the
# static library NAME holds the same objects for the tests, tools and benchmarks. DEPENDS names the
# components the code uses itself and LIBS the libraries from outside (a shared library of ours
# included); both are linked PUBLIC, so that NAME brings everything it needs. Shared libraries are
# composed from components by zel_add_shared_library.
#
# A component whose classes or functions a shared library exports marks them with EXPORT_MACRO,
# defined by EXPORT_HEADER, which the build writes. Elsewhere than on Windows the macro gives the
# default visibility, always: a hidden declaration seen by any object of a shared library would hide
# the symbol in all of it. On Windows it exports while the component itself is compiled
# (NAME_BUILDING), expands to nothing for code linked with the static library (NAME_STATIC: code in
# the same DLL, or a program that carries the component itself) and imports everywhere else.
function(zel_add_component name)
    cmake_parse_arguments(ARG "" "EXPORT_MACRO;EXPORT_HEADER" "SOURCES;DEPENDS;LIBS" ${ARGN})
    add_library(${name}_objects OBJECT ${ARG_SOURCES})
    set_target_properties(${name}_objects PROPERTIES
        POSITION_INDEPENDENT_CODE ON
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    add_library(${name} STATIC $<TARGET_OBJECTS:${name}_objects>)
    # The objects take their dependencies' usage requirements from the static libraries, which are
    # what code outside the component links (their NAME_STATIC on Windows included).
    foreach(target ${name}_objects ${name})
        target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${ZEL_GENERATED_DIR})
        target_link_libraries(${target} PUBLIC ${ARG_DEPENDS} ${ARG_LIBS})
    endforeach()
    set_target_properties(${name} PROPERTIES ZEL_COMPONENT_DEPENDS "${ARG_DEPENDS}")
    if(ARG_EXPORT_MACRO)
        string(TOUPPER ${name} upper)
        set_target_properties(${name}_objects PROPERTIES DEFINE_SYMBOL ${upper}_BUILDING)
        target_compile_definitions(${name}_objects PRIVATE ${upper}_BUILDING)
        if(WIN32)
            target_compile_definitions(${name} INTERFACE ${upper}_STATIC)
        endif()
        generate_export_header(${name}_objects
            BASE_NAME ${name}
            EXPORT_MACRO_NAME ${ARG_EXPORT_MACRO}
            EXPORT_FILE_NAME ${ZEL_GENERATED_DIR}/${ARG_EXPORT_HEADER}
            STATIC_DEFINE ${upper}_STATIC)
    endif()
endfunction()

# zel_add_shared_library(NAME COMPONENTS component ... EXPORTS name ...)
# A shared library made of the objects of COMPONENTS and of every component they depend on, linked
# with the outside libraries those components name. Every symbol must be resolved at link time.
# EXPORTS lists what the library exports, exactly: its classes (their members, vtables and type
# information) and C functions. Those must also carry their component's export macro: the macro
# decides the visibility, and a version script made from EXPORTS keeps everything else local, in
# particular the C++ library's template code that the compiler instantiates here with a default
# visibility of its own. The test exports.NAME checks the library's dynamic symbols against EXPORTS.
function(zel_add_shared_library name)
    cmake_parse_arguments(ARG "" "" "COMPONENTS;EXPORTS" ${ARGN})
    set(closure "")
    set(pending ${ARG_COMPONENTS})
    while(pending)
        list(POP_FRONT pending component)
        if(NOT component IN_LIST closure)
            list(APPEND closure ${component})
            get_target_property(depends ${component} ZEL_COMPONENT_DEPENDS)
            list(APPEND pending ${depends})
        endif()
    endwhile()
    add_library(${name} SHARED)
    foreach(component ${closure})
        # Linked directly, an OBJECT library gives its objects and passes on its outside libraries.
        target_link_libraries(${name} PRIVATE ${component}_objects)
    endforeach()
    # Installed, the public headers lie below include/zel in the same folders as in the tree, so
    # that their own #include lines hold for callers too (cmake/ZelInstall.cmake).
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}> $<BUILD_INTERFACE:${ZEL_GENERATED_DIR}>
        $<INSTALL_INTERFACE:${ZEL_INSTALL_INCLUDE_SUBDIR}>)
    target_compile_features(${name} PUBLIC cxx_std_20)
    # The file name begins with the SONAME (libNAME.so.1.0.1.0: ABI 1, release 0.1.0), as ldconfig
    # and Debian's tools expect of a library's real file.
    set_target_properties(${name} PROPERTIES VERSION ${ZEL_SOVERSION}.${PROJECT_VERSION} SOVERSION ${ZEL_SOVERSION})
    if(WIN32)
        # zelbase.dll beside its import library libzelbase.dll.a. A DLL exports what its export macros
        # mark (dllexport) and nothing else, so no list is needed to make it; the test reads the
        # export table.
        set_target_properties(${name} PROPERTIES PREFIX "")
        add_test(NAME exports.${name}
            COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP}
                    ${CMAKE_SOURCE_DIR}/scripts/check-exports.sh $<TARGET_FILE:${name}> ${ARG_EXPORTS})
    elseif(NOT APPLE)
        set(script "/* Made by zel_add_shared_library from the EXPORTS of ${name}. */\n{\n  global:\n")
        foreach(export ${ARG_EXPORTS})
            string(APPEND script "    ${export};\n    extern \"C++\" {\n      ${export}::*;\n"
                "      \"vtable for ${export}\";\n      \"typeinfo for ${export}\";\n"
                "      \"typeinfo name for ${export}\";\n    };\n")
        endforeach()
        string(APPEND script "  local: *;\n};\n")
        set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
        file(CONFIGURE OUTPUT ${map} CONTENT "${script}" @ONLY)
        target_link_options(${name} PRIVATE "LINKER:--version-script=${map}")
        set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${map})
        add_test(NAME exports.${name}
            COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-exports.sh $<TARGET_FILE:${name}> ${ARG_EXPORTS})
    endif()
    if(NOT ZEL_SANITIZE)
        # Sanitizer runtimes are linked into executables only, so a shared library cannot be complete there.
        target_link_options(${name} PRIVATE "LINKER:--no-undefined")
    endif()
endfunction()

# zel_add_gtest(NAME SOURCES a.cpp ... LIBS lib ... [PROPERTIES name value ...])
# One GoogleTest executable, every test case registered with CTest (with PROPERTIES besides the
# timeout). Tests find the shared fixtures (the folder beside the checkout) through ZEL_SHARED_DIR and
# their own data through ZEL_SOURCE_DIR.
function(zel_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
    target_compile_definitions(${name} PRIVATE
        ZEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        ZEL_SHARED_DIR="${ZEL_SHARED_DIR}"
        ZEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    # Listing a program under Wine may wait for a busy wineserver.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 600 ${ARG_PROPERTIES})
endfunction()

# zel_add_fuzzer(NAME SOURCES a.cpp ... LIBS lib ...)
# With ZEL_FUZZ (clang) the target is a libFuzzer binary. Otherwise it is linked with a small driver
# that feeds it every file of fuzz/corpus/NAME, and that run is a CTest test, so the harness is built
# and exercised in every configuration.
function(zel_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    if(ZEL_FUZZ)
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    else()
        target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/standalone_main.cpp)
    endif()
    set(corpus ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    if(NOT ZEL_FUZZ AND EXISTS ${corpus})
        add_test(NAME fuzz_corpus.${name} COMMAND ${name} ${corpus})
    endif()
endfunction()

# zel_add_benchmark(NAME SOURCES a.cpp ... LIBS lib ...)
# Benchmarks find the shared fixtures through ZEL_SHARED_DIR, as tests do.
function(zel_add_benchmark name)
    if(NOT ZEL_BENCH)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
    target_compile_definitions(${name} PRIVATE ZEL_SHARED_DIR="${ZEL_SHARED_DIR}")
endfunction()

# The fixtures folder that lies beside every checkout.
get_filename_component(ZEL_SHARED_DIR "${CMAKE_SOURCE_DIR}/../shared" ABSOLUTE)
include(GoogleTest)
