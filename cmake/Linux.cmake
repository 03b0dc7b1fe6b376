# Linux program: the GTK 3 + WebKitGTK layer (src/gtk), the program
# `lumenary` and the tests that run it against real GTK windows, a real
# WebKitGTK capture and the real XScreenSaver (inside Xvfb).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LUM_GTK REQUIRED IMPORTED_TARGET gtk+-3.0 webkit2gtk-4.1 x11 cairo-xlib libsoup-3.0)

file(GLOB gtk_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/gtk/*.cpp)
if(gtk_sources)
    add_library(lum_gtk STATIC ${gtk_sources})
    target_include_directories(lum_gtk PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(lum_gtk PUBLIC lum_slideshow PkgConfig::LUM_GTK)
endif()

# The capture tool that bench/capture_vs_chromium.sh times.
if(gtk_sources AND EXISTS ${PROJECT_SOURCE_DIR}/bench/linux/WebKitCapture.cpp)
    add_executable(lum_webkit_capture ${PROJECT_SOURCE_DIR}/bench/linux/WebKitCapture.cpp)
    target_link_libraries(lum_webkit_capture PRIVATE lum_gtk)
endif()

file(GLOB gtk_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/gtk/*.cpp)
if(gtk_sources AND gtk_test_sources)
    add_executable(lum_gtk_tests ${gtk_test_sources})
    target_include_directories(lum_gtk_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(lum_gtk_tests PRIVATE lum_gtk lum_fakes GTest::gtest_main GTest::gmock)
    target_compile_definitions(lum_gtk_tests PRIVATE
        LUM_SOURCE_DIR="${PROJECT_SOURCE_DIR}" LUM_BINARY_DIR="${CMAKE_BINARY_DIR}")
    gtest_discover_tests(lum_gtk_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS gtk)
endif()
