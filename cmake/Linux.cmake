# Linux programs: `lumenary` (the saver's GTK 3 platform, src/linux and its
# folders) and the two engine programs `lumenary-capture` and
# `lumenary-sign-in`, which alone link the browser engine (src/engine); the
# tests that run them against real GTK windows, real WebKitGTK captures and
# the real XScreenSaver (inside Xvfb).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LUM_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 x11 cairo-xlib)
# libsecret: the sign-out removes from the desktop keyring the passwords the
# sign-in window let WebKit keep there.
pkg_check_modules(LUM_SECRET REQUIRED IMPORTED_TARGET libsecret-1)
pkg_check_modules(LUM_WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1 libsoup-3.0)

# One library per folder, each linking only the folders below it; which
# program holds which code follows from these lines alone
# (scripts/check-includes.py holds the includes to the same arrows).
lum_library(lum_linux linux lum_slideshow PkgConfig::LUM_GTK)
lum_library(lum_linux_capture linux/capture lum_linux)
lum_library(lum_linux_session linux/session lum_linux_capture PkgConfig::LUM_SECRET)
lum_library(lum_linux_settings linux/settings lum_linux_session)
lum_library(lum_engine engine lum_linux_session PkgConfig::LUM_WEBKIT)

# The programs. `lumenary` starts the other two from its own folder and
# never links the browser engine.
add_executable(lumenary ${PROJECT_SOURCE_DIR}/src/app/linux/Main.cpp)
target_link_libraries(lumenary PRIVATE lum_linux_settings)
add_executable(lumenary-capture ${PROJECT_SOURCE_DIR}/src/app/linux/CaptureMain.cpp)
target_link_libraries(lumenary-capture PRIVATE lum_engine)
# The sign-in window (lumenary --sign-in), a browser on the kept web session.
add_executable(lumenary-sign-in ${PROJECT_SOURCE_DIR}/src/app/linux/SignInMain.cpp)
target_link_libraries(lumenary-sign-in PRIVATE lum_engine)
add_dependencies(lumenary lumenary-capture lumenary-sign-in)

# The capture tool that bench/capture_vs_chromium.sh times.
add_executable(lum_webkit_capture ${PROJECT_SOURCE_DIR}/bench/linux/WebKitCapture.cpp)
target_link_libraries(lum_webkit_capture PRIVATE lum_engine)

# Helpers the tests start as other processes: a window owned by another
# process, which the tests draw into; the saver's platform on its own as a
# program; a sign-in test server and a capture on the kept session.
add_executable(lum_foreign_window ${PROJECT_SOURCE_DIR}/tests/linux/tools/foreign_window.c)
target_link_libraries(lum_foreign_window PRIVATE PkgConfig::LUM_GTK)
add_executable(lum_host_demo ${PROJECT_SOURCE_DIR}/tests/linux/tools/host_demo.cpp)
target_link_libraries(lum_host_demo PRIVATE lum_linux)
add_executable(lum_web_session_probe ${PROJECT_SOURCE_DIR}/tests/engine/tools/web_session_probe.cpp)
target_link_libraries(lum_web_session_probe PRIVATE lum_engine)

# What the suites share: GTK windows driven from tests; the page server on
# 127.0.0.1 and the rig that runs any web view on the real main loop.
add_library(lum_linux_test_support STATIC ${PROJECT_SOURCE_DIR}/tests/linux/GtkTestSupport.cpp)
target_include_directories(lum_linux_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(lum_linux_test_support PUBLIC lum_linux lum_fakes GTest::gtest GTest::gmock)
target_compile_definitions(lum_linux_test_support PUBLIC
    LUM_SOURCE_DIR="${PROJECT_SOURCE_DIR}" LUM_BINARY_DIR="${CMAKE_BINARY_DIR}"
    LUM_FOREIGN_WINDOW="$<TARGET_FILE:lum_foreign_window>"
    LUM_HOST_DEMO="$<TARGET_FILE:lum_host_demo>"
    LUM_CAPTURE_HELPER="$<TARGET_FILE:lumenary-capture>")
add_library(lum_engine_test_support STATIC ${PROJECT_SOURCE_DIR}/tests/engine/WebKitTestServer.cpp)
target_link_libraries(lum_engine_test_support PUBLIC lum_linux_test_support
                      PkgConfig::LUM_WEBKIT)

# One test program per library folder, its tests in the same folder under
# tests/. The kept web session of the tests is their own, never the user's.
add_custom_target(lum_linux_all_tests)
function(lum_linux_tests name folder)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp)
    list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/tests/linux/GtkTestSupport.cpp
         ${PROJECT_SOURCE_DIR}/tests/engine/WebKitTestServer.cpp)
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest_main)
    add_dependencies(${name} lum_foreign_window lum_host_demo lumenary-capture
                     lum_web_session_probe lumenary-sign-in lum_webkit_capture)
    add_dependencies(lum_linux_all_tests ${name})
    # Listing the tests loads GTK and WebKitGTK: more than the default 5 s on
    # a busy machine.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES LABELS gtk
                         ENVIRONMENT "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data")
endfunction()
lum_linux_tests(lum_linux_tests linux lum_linux lum_linux_test_support)
lum_linux_tests(lum_linux_capture_tests linux/capture lum_linux_capture lum_engine
                lum_engine_test_support)
lum_linux_tests(lum_linux_session_tests linux/session lum_linux_session lum_linux_test_support)
lum_linux_tests(lum_linux_settings_tests linux/settings lum_linux_settings lum_linux_test_support)
lum_linux_tests(lum_engine_tests engine lum_engine lum_engine_test_support)

# The build's own word that `lumenary` never links the browser engine: of
# the three programs only the engine programs need WebKitGTK's library.
add_test(NAME gtk.engine_only_in_engine_programs
         COMMAND bash -c [[
             needs() { readelf -d "$1" | grep -q 'NEEDED.*libwebkit2gtk'; }
             if needs "$0"; then echo "$0 links WebKitGTK"; exit 1; fi
             for p in "$1" "$2"; do needs "$p" || { echo "$p does not link WebKitGTK"; exit 1; }; done
             echo "WebKitGTK only in $1 and $2"
         ]] $<TARGET_FILE:lumenary> $<TARGET_FILE:lumenary-capture>
            $<TARGET_FILE:lumenary-sign-in>)
set_tests_properties(gtk.engine_only_in_engine_programs PROPERTIES LABELS gtk)

# End-to-end scripts that run the real program inside Xvfb: each gets the
# build folder and the source folder.
file(GLOB gtk_e2e_scripts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/linux/e2e/*.sh)
if(TARGET lumenary AND TARGET lum_foreign_window)
    foreach(script ${gtk_e2e_scripts})
        get_filename_component(name ${script} NAME_WE)
        add_test(NAME gtk.e2e.${name}
                 COMMAND bash ${script} ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
        set_tests_properties(gtk.e2e.${name} PROPERTIES LABELS gtk TIMEOUT 180 RUN_SERIAL TRUE)
    endforeach()
endif()

# Installing: the program where XScreenSaver looks for its hacks, the
# settings file XScreenSaver's settings program reads, and a desktop entry
# that opens the settings dialog.
include(GNUInstallDirs)
if(TARGET lumenary)
    install(TARGETS lumenary lumenary-capture lumenary-sign-in
            RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/linux/lumenary.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
# The program is not on PATH there, so the desktop entry names it in full,
# under the prefix given at install time (cmake --install --prefix ...).
install(CODE "
    set(LUM_INSTALLED_PROGRAM
        \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/lumenary\")
    configure_file(\"${PROJECT_SOURCE_DIR}/data/linux/lumenary.desktop\"
                   \"${CMAKE_BINARY_DIR}/lumenary.desktop\" @ONLY)
")
install(FILES ${CMAKE_BINARY_DIR}/lumenary.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The program's icon, the same design as the Windows program's, under the
# name the desktop entry gives ("lumenary").
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/lumenary.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/lumenary-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME lumenary.png)
endforeach()
include(cmake/Package.cmake)
