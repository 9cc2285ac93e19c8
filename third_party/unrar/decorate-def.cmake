# cmake -DNM=... -DDEF=dll.def -DOUTPUT=file -DOBJECTS="a.obj;b.obj" -P decorate-def.cmake
#
# Writes the DLL's export list with each name as the objects define it. On i686 the UnRAR functions
# are stdcall, and the objects name them RAROpenArchive@4 and so on; linked with --kill-at, the DLL
# still exports the plain names of dll.def, while the import library now carries the decorated
# names that callers compiled against dll.hpp look for. On x86-64 the names come out unchanged.
execute_process(COMMAND ${NM} --defined-only ${OBJECTS} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on the UnRAR objects")
endif()
file(STRINGS ${DEF} lines)
set(exports "EXPORTS\n")
foreach(line IN LISTS lines)
    string(STRIP "${line}" name)
    if(name STREQUAL "" OR name STREQUAL "EXPORTS")
        continue()
    endif()
    if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
        message(FATAL_ERROR "dll.def: '${name}' is not a plain function name")
    endif()
    if(NOT symbols MATCHES " T _?${name}(@[0-9]+)?\n")
        message(FATAL_ERROR "dll.def exports ${name}, which no UnRAR object defines")
    endif()
    string(APPEND exports "  ${name}${CMAKE_MATCH_1}\n")
endforeach()
file(WRITE ${OUTPUT} "${exports}")
