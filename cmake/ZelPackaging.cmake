# Debian packages with CPack's DEB generator, one package per install component
# (cmake/ZelInstall.cmake): `cpack --config build/CPackConfig.cmake -B DIR`. CPack packs the build
# folder that the tests already use, so no second build is made; dpkg-shlibdeps computes the
# dependencies on Debian's libraries from the binaries, and each package names the version of
# libzel it was built with.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zel)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Zel developers <zel-devel@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL libzel libzel_dev zel zelupdate)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps reads every library a binary needs; ours it finds where the build made them (the
# dependency on them is libzel's, named below).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "")
foreach(library zelbase arcopen zelace)
    get_target_property(folder ${library} BINARY_DIR)
    list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${folder})
endforeach()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A shlibs file for each package that holds a library (libzel), so that packages built against it
# depend on this version or a later one.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

# Arcopen reads RAR archives through Debian's non-free UnRAR library (shlibdeps names libunrar5),
# so libzel and what depends on it belong to contrib.
set(CPACK_DEBIAN_LIBZEL_PACKAGE_NAME libzel)
set(CPACK_DEBIAN_LIBZEL_PACKAGE_SECTION contrib/libs)
set(CPACK_DEBIAN_LIBZEL_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/libzel/triggers)
set(CPACK_DEBIAN_LIBZEL_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_LIBZEL_DESCRIPTION "Zel's shared libraries: trojan database, disinfection and archive readers
libzelbase.so holds the enciphered trojan database, its signature search and
generation, and the disinfection of a Windows installation (a Wine prefix).
libarcopen.so reads ZIP, RAR, ARJ, CAB and ACE archives through one interface;
libzelace.so is its ACE decoder. RAR archives are read through the UnRAR
library from Debian's non-free component.")

set(CPACK_DEBIAN_LIBZEL_DEV_PACKAGE_NAME libzel-dev)
set(CPACK_DEBIAN_LIBZEL_DEV_PACKAGE_SECTION contrib/libdevel)
set(CPACK_COMPONENT_LIBZEL_DEV_DEPENDS libzel)
set(CPACK_DEBIAN_LIBZEL_DEV_DESCRIPTION "Zel's shared libraries: development files
The C++20 headers of Zelbase and Arcopen, the CMake package (find_package(Zel)
gives Zel::zelbase and Zel::arcopen) and the pkg-config files zelbase.pc and
arcopen.pc.")

set(CPACK_DEBIAN_ZEL_PACKAGE_NAME zel)
set(CPACK_DEBIAN_ZEL_PACKAGE_SECTION contrib/utils)
set(CPACK_COMPONENT_ZEL_DEPENDS libzel)
set(CPACK_DEBIAN_ZEL_DESCRIPTION "trojan scanner command: database, scan, disinfection, archives, updates
zel builds trojan databases, scans files, folders and archives for the trojans
they name, disinfects a Wine prefix of a trojan found, lists and extracts
archives, and runs a database update from a mirror.")

set(CPACK_DEBIAN_ZELUPDATE_PACKAGE_NAME zelupdate)
set(CPACK_DEBIAN_ZELUPDATE_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_ZELUPDATE_DESCRIPTION "update wizard for the Zel trojan scanner
Zelupdate fetches a mirror's update script and brings the trojan database and
the program files of the current folder up to date, in three wizard pages.")

include(CPack)
