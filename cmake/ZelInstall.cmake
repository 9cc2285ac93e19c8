# What `cmake --install` puts where, in four components that are also the Debian packages
# (cmake/ZelPackaging.cmake):
#   libzel      the three shared libraries
#   libzel_dev  public headers, the library links, the CMake package and the pkg-config files
#   zel         the command, its man page and bash completion
#   zelupdate   the wizard with its language file, its man page, desktop entry and icon
# An installed tree may be moved as a whole: programs find the libraries through a run path relative
# to themselves ($ORIGIN), and the CMake package and pkg-config files through their own location.

include(CMakePackageConfigHelpers)

# The headers a caller of the exported classes includes, and those they include in turn (the
# framework types and file classes in their signatures). The test install.tree compiles each on its
# own against the installed tree alone, so a header that starts to include another fails there.
set(ZEL_PUBLIC_HEADERS
    framework/framework_types.h framework/hkey.h framework/exceptions.h
    fileio/file.h fileio/archive.h
    database/signature.h database/trojan2.h database/trojan_base2.h
    cure/trojan_cure_module.h cure/cure_report.h
    archive/qv_archive.h
    archive/acelib/zelace.h)
set(ZEL_GENERATED_PUBLIC_HEADERS
    database/database_export.h cure/cure_export.h archive/arcopen_export.h archive/acelib/zelace_export.h)

# zel_relative_dir(VAR FROM TO): the path from one install folder to another, both below the prefix.
function(zel_relative_dir var from to)
    file(RELATIVE_PATH path /${from} /${to})
    set(${var} ${path} PARENT_SCOPE)
endfunction()

# zel_install_headers(BASE header ...): each BASE/folder/name.h to include/zel/folder/name.h.
function(zel_install_headers base)
    foreach(header ${ARGN})
        get_filename_component(folder ${header} DIRECTORY)
        install(FILES ${base}/${header} DESTINATION ${ZEL_INSTALL_INCLUDE_SUBDIR}/${folder} COMPONENT libzel_dev)
    endforeach()
endfunction()

# --- Libraries -------------------------------------------------------------------------------------
# Zelbase carries the process-wide binding of platform services itself, so a program that links
# only libzelbase.so holds it once. The zel command links Zelbase's components statically instead:
# it also uses the updater core, system utilities and platform services that the library keeps
# local, and with the library beside them the process would hold two bindings that do not see
# each other. Arcopen has no such binding; zel links libarcopen.so.
zel_relative_dir(zel_bin_to_lib ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_LIBDIR})
set_target_properties(arcopen PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(zel PROPERTIES INSTALL_RPATH "$ORIGIN/${zel_bin_to_lib}")

install(TARGETS zelbase arcopen zelace EXPORT ZelTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libzel NAMELINK_COMPONENT libzel_dev
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT libzel
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libzel_dev)
zel_install_headers(${CMAKE_SOURCE_DIR} ${ZEL_PUBLIC_HEADERS})
zel_install_headers(${ZEL_GENERATED_DIR} ${ZEL_GENERATED_PUBLIC_HEADERS})

# find_package(Zel): Zel::zelbase, Zel::arcopen, Zel::zelace.
set(zel_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Zel)
install(EXPORT ZelTargets NAMESPACE Zel:: DESTINATION ${zel_cmake_dir} COMPONENT libzel_dev)
configure_package_config_file(${CMAKE_SOURCE_DIR}/packaging/cmake/ZelConfig.cmake.in
    ${CMAKE_BINARY_DIR}/packaging/ZelConfig.cmake INSTALL_DESTINATION ${zel_cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/ZelConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/packaging/ZelConfig.cmake ${CMAKE_BINARY_DIR}/packaging/ZelConfigVersion.cmake
    DESTINATION ${zel_cmake_dir} COMPONENT libzel_dev)

# pkg-config: the prefix is found from the file's own folder (${pcfiledir}).
set(zel_pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
zel_relative_dir(ZEL_PC_TO_PREFIX ${zel_pkgconfig_dir} "")
string(REGEX REPLACE "/$" "" ZEL_PC_TO_PREFIX "${ZEL_PC_TO_PREFIX}")
foreach(pc zelbase arcopen)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/pkgconfig/${pc}.pc.in ${CMAKE_BINARY_DIR}/packaging/${pc}.pc @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${pc}.pc DESTINATION ${zel_pkgconfig_dir} COMPONENT libzel_dev)
endforeach()

# --- Programs --------------------------------------------------------------------------------------
install(TARGETS zel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT zel)

# The wizard reads its language file (zelupdate.LANG) and help file (zelupdate.hlp) beside its own
# program file, the real one that a symbolic link leads to. So the program and its files live in a
# folder of their own, and bin/zelupdate links to it.
set(zel_wizard_dir ${CMAKE_INSTALL_LIBEXECDIR}/zel)
install(TARGETS zelupdate RUNTIME DESTINATION ${zel_wizard_dir} COMPONENT zelupdate)
install(FILES ${CMAKE_SOURCE_DIR}/updater/wizard/zelupdate.ger DESTINATION ${zel_wizard_dir} COMPONENT zelupdate)
zel_relative_dir(zel_bin_to_wizard ${CMAKE_INSTALL_BINDIR} ${zel_wizard_dir})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ${zel_bin_to_wizard}/zelupdate ${CMAKE_BINARY_DIR}/packaging/zelupdate SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/zelupdate DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT zelupdate)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/desktop/zelupdate.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT zelupdate)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/desktop/zelupdate.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT zelupdate)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/bash-completion/zel
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT zel)

# --- Man pages: written in scdoc (docs/man/*.scd), made at build time --------------------------------
# Installed compressed, as Debian keeps them; the plain page in build/man is what the lint test reads.
find_program(ZEL_SCDOC scdoc REQUIRED)
find_program(ZEL_GZIP gzip REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
set(zel_man_outputs "")
foreach(page zel.1 zelupdate.1)
    set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.scd)
    set(output ${CMAKE_BINARY_DIR}/man/${page})
    add_custom_command(OUTPUT ${output} ${output}.gz
        COMMAND ${ZEL_SCDOC} < ${source} > ${output}
        COMMAND ${ZEL_GZIP} -9 -n -c ${output} > ${output}.gz
        DEPENDS ${source}
        COMMENT "Making the man page ${page}")
    list(APPEND zel_man_outputs ${output} ${output}.gz)
endforeach()
add_custom_target(zel_man_pages ALL DEPENDS ${zel_man_outputs})
install(FILES ${CMAKE_BINARY_DIR}/man/zel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT zel)
install(FILES ${CMAKE_BINARY_DIR}/man/zelupdate.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT zelupdate)
