# Warnings, sanitizers and the helpers that every module uses to declare tests, fuzzers and benchmarks.

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

# zel_add_gtest(NAME SOURCES a.cpp ... LIBS lib ...)
# One GoogleTest executable, every test case registered with CTest. Tests find the shared fixtures
# (the folder beside the checkout) through ZEL_SHARED_DIR and their own data through ZEL_SOURCE_DIR.
function(zel_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
    target_compile_definitions(${name} PRIVATE
        ZEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        ZEL_SHARED_DIR="${ZEL_SHARED_DIR}"
        ZEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
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
function(zel_add_benchmark name)
    if(NOT ZEL_BENCH)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# The fixtures folder that lies beside every checkout.
get_filename_component(ZEL_SHARED_DIR "${CMAKE_SOURCE_DIR}/../shared" ABSOLUTE)
include(GoogleTest)
