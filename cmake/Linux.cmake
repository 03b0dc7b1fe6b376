# Linux program: the GTK 3 + WebKitGTK layer (src/gtk), the program
# `lumenary` and the tests that run it against real GTK windows, a real
# WebKitGTK capture and the real XScreenSaver (inside Xvfb).
# The program that shows the pictures links GTK only; the browser engine
# (src/gtk/WebKit*) is linked by the capture program alone, which runs only
# while a capture pass does.
find_package(PkgConfig REQUIRED)
# libsecret: the sign-out removes from the desktop keyring the passwords the
# sign-in window let WebKit keep there.
pkg_check_modules(LUM_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 x11 cairo-xlib libsecret-1)
pkg_check_modules(LUM_WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1 libsoup-3.0)

file(GLOB gtk_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/gtk/*.cpp)
file(GLOB webkit_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/gtk/WebKit*.cpp)
list(REMOVE_ITEM gtk_sources ${webkit_sources})
if(gtk_sources)
    add_library(lum_gtk STATIC ${gtk_sources})
    target_include_directories(lum_gtk PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(lum_gtk PUBLIC lum_slideshow PkgConfig::LUM_GTK)
    add_library(lum_gtk_webkit STATIC ${webkit_sources})
    target_link_libraries(lum_gtk_webkit PUBLIC lum_gtk PkgConfig::LUM_WEBKIT)
endif()

# The capture tool that bench/capture_vs_chromium.sh times.
if(gtk_sources AND EXISTS ${PROJECT_SOURCE_DIR}/bench/linux/WebKitCapture.cpp)
    add_executable(lum_webkit_capture ${PROJECT_SOURCE_DIR}/bench/linux/WebKitCapture.cpp)
    target_link_libraries(lum_webkit_capture PRIVATE lum_gtk_webkit)
endif()

file(GLOB gtk_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/gtk/*.cpp)
if(gtk_sources AND gtk_test_sources)
    add_executable(lum_gtk_tests ${gtk_test_sources})
    target_include_directories(lum_gtk_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(lum_gtk_tests PRIVATE lum_gtk_webkit lum_fakes GTest::gtest_main
                          GTest::gmock)
    # A window owned by another process, which the tests draw into.
    add_executable(lum_foreign_window ${PROJECT_SOURCE_DIR}/tests/gtk/tools/foreign_window.c)
    target_link_libraries(lum_foreign_window PRIVATE PkgConfig::LUM_GTK)
    # The layer on its own as a program, run by the tests as another process.
    add_executable(lum_host_demo ${PROJECT_SOURCE_DIR}/tests/gtk/tools/host_demo.cpp)
    target_link_libraries(lum_host_demo PRIVATE lum_gtk)
    # The kept web session: a sign-in test server and a capture on the session.
    add_executable(lum_web_session_probe ${PROJECT_SOURCE_DIR}/tests/gtk/tools/web_session_probe.cpp)
    target_link_libraries(lum_web_session_probe PRIVATE lum_gtk_webkit)
    add_dependencies(lum_gtk_tests lum_foreign_window lum_host_demo lumenary-capture
                     lum_web_session_probe lumenary-sign-in lum_webkit_capture)
    target_compile_definitions(lum_gtk_tests PRIVATE
        LUM_SOURCE_DIR="${PROJECT_SOURCE_DIR}" LUM_BINARY_DIR="${CMAKE_BINARY_DIR}"
        LUM_FOREIGN_WINDOW="$<TARGET_FILE:lum_foreign_window>"
        LUM_HOST_DEMO="$<TARGET_FILE:lum_host_demo>"
        LUM_CAPTURE_HELPER="$<TARGET_FILE:lumenary-capture>")
    # The kept web session of the tests is their own, never the user's.
    gtest_discover_tests(lum_gtk_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS gtk
                         ENVIRONMENT "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data")
endif()

# The program (src/app/linux/Main.cpp) and its capture program, which it
# starts from its own folder.
if(gtk_sources)
    add_executable(lumenary ${PROJECT_SOURCE_DIR}/src/app/linux/Main.cpp)
    target_link_libraries(lumenary PRIVATE lum_gtk)
    add_executable(lumenary-capture ${PROJECT_SOURCE_DIR}/src/app/linux/CaptureMain.cpp)
    target_link_libraries(lumenary-capture PRIVATE lum_gtk_webkit)
    add_dependencies(lumenary lumenary-capture)
    # The sign-in window (lumenary --sign-in), a browser on the kept web
    # session; like the capture it links the browser engine, `lumenary` does not.
    add_executable(lumenary-sign-in ${PROJECT_SOURCE_DIR}/src/app/linux/SignInMain.cpp)
    target_link_libraries(lumenary-sign-in PRIVATE lum_gtk_webkit)
    add_dependencies(lumenary lumenary-sign-in)
endif()

# End-to-end scripts that run the real program inside Xvfb: each gets the
# build folder and the source folder.
file(GLOB gtk_e2e_scripts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/gtk/e2e/*.sh)
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
