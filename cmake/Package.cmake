# The Debian package of the Linux program: `cmake --build --preset linux
# --target deb` (or `cpack -G DEB` in build/linux once lumenary is built)
# writes lumenary_<version>_<arch>.deb there with what `cmake --install` puts
# under /usr: the programs, stripped, `lumenary` on the PATH, the manual page,
# the changelog and the copyright file made from LICENSE.

# lumenary(1), the changelog and the copyright file, gzipped without a name
# or a time stamp (the package's files do not change from build to build).
set(LUM_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/lumenary)
install(CODE "
    foreach(pair \"lumenary.1;lumenary.1.gz\" \"changelog;changelog.gz\")
        list(GET pair 0 from)
        list(GET pair 1 to)
        execute_process(COMMAND gzip -9 -n -c \"${PROJECT_SOURCE_DIR}/data/linux/\${from}\"
                        OUTPUT_FILE \"${CMAKE_BINARY_DIR}/\${to}\" RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR \"gzip of data/linux/\${from} failed\")
        endif()
    endforeach()
")
install(FILES ${CMAKE_BINARY_DIR}/lumenary.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${LUM_DOC_DIR})

# `lumenary` on the PATH, as the README's commands call it: bin/lumenary is a
# relative link to the program, which stays in XScreenSaver's folder (the
# daemon starts its hacks from there). The program finds its engine programs
# beside its real path, not beside the link.
file(RELATIVE_PATH lum_bin_to_program /prefix/${CMAKE_INSTALL_BINDIR}
     /prefix/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/lumenary)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/path-link)
file(CREATE_LINK ${lum_bin_to_program} ${CMAKE_BINARY_DIR}/path-link/lumenary SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/path-link/lumenary DESTINATION ${CMAKE_INSTALL_BINDIR})

# /usr/share/doc/lumenary/copyright in Debian's machine-readable format: the
# copyright line and the licence text of LICENSE (the MIT licence, which
# Debian calls "Expat").
file(READ ${PROJECT_SOURCE_DIR}/LICENSE lum_license)
if(NOT lum_license MATCHES "Copyright \\(c\\) ([^\n]+)")
    message(FATAL_ERROR "LICENSE has no copyright line")
endif()
set(lum_copyright_holder "${CMAKE_MATCH_1}")
string(FIND "${lum_license}" "Permission is hereby granted" lum_terms_start)
if(lum_terms_start LESS 0)
    message(FATAL_ERROR "LICENSE has no licence terms")
endif()
string(SUBSTRING "${lum_license}" ${lum_terms_start} -1 lum_terms)
string(STRIP "${lum_terms}" lum_terms)
string(REPLACE "\n\n" "\n.\n" lum_terms "${lum_terms}")  # a paragraph break is " ."
string(REPLACE "\n" "\n " lum_terms "${lum_terms}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Lumenary

Files: *
Copyright: ${lum_copyright_holder}
License: Expat
 ${lum_terms}
")
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${LUM_DOC_DIR})

# The package test installs the package system-wide: it runs as a step of its
# own in scripts/test.sh, not with the tests of the program (label "gtk").
if(TEST gtk.e2e.package)
    set_tests_properties(gtk.e2e.package PROPERTIES LABELS package)
endif()

# Installing builds nothing first (the tests need not be built to package the
# program): the deb target builds the programs, then packages them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
add_custom_target(deb
    COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Packaging lumenary_${PROJECT_VERSION} (Debian)"
    USES_TERMINAL)
add_dependencies(deb lumenary lumenary-capture lumenary-sign-in)

# Hardening that Debian's own packages have: the whole relocation table is
# made read-only at start.
target_link_options(lumenary PRIVATE -Wl,-z,relro,-z,now)
target_link_options(lumenary-capture PRIVATE -Wl,-z,relro,-z,now)
target_link_options(lumenary-sign-in PRIVATE -Wl,-z,relro,-z,now)

set(LUM_PACKAGE_MAINTAINER "Lumenary developers <lumenary@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumenary)
set(CPACK_PACKAGE_VENDOR "Lumenary developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LUM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver that shows web pages")
set(CPACK_PACKAGE_DESCRIPTION
"Lumenary shows a list of web pages full-screen, one after the other. Each
page is loaded off-screen by WebKitGTK, drawn into a picture and cached;
the pictures are shown for a set time each, scrolling through tall pages,
with the page's URL, the time it was captured and a clock if wished. A
page that cannot be loaded never holds the show.

It is an XScreenSaver program, installed in /usr/libexec/xscreensaver,
with its settings dialog (lumenary --config) and a desktop entry for it.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Installed as under `cmake --install --prefix /usr`: the desktop entry names
# the program by the prefix it is installed under.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# strip leaves the compiler's notes (.comment, .note), which Debian's own
# packages drop too.
file(WRITE ${CMAKE_BINARY_DIR}/PackageStrip.cmake [=[
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*/libexec/xscreensaver/*")
if(NOT programs)
    message(FATAL_ERROR "no programs under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(program ${programs})
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${program}
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "cannot strip ${program}")
    endif()
endforeach()
]=])
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/PackageStrip.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the programs link (GTK 3, WebKitGTK 4.1, ...) come from
# dpkg-shlibdeps; WebKitGTK's web-process sandbox needs the two programs,
# and the capture program's display of its own (which keeps pages off the
# user's) Xvfb.
set(lum_sandbox_depends "bubblewrap, xdg-dbus-proxy, xvfb")
find_program(LUM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(LUM_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${lum_sandbox_depends}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libgcc-s1, libglib2.0-0, libgtk-3-0, libcairo2, libx11-6, libsoup-3.0-0, libwebkit2gtk-4.1-0, libjavascriptcoregtk-4.1-0, libsecret-1-0, ${lum_sandbox_depends}")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)

set(CPACK_SOURCE_IGNORE_FILES "/build/" "/\\\\.git")
include(CPack)
