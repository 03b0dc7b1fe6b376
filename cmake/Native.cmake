# Native build: GoogleTest suites of the portable core, benchmarks, fuzzers.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB fake_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fakes/*.cpp)
if(fake_sources)
    add_library(lum_fakes STATIC ${fake_sources})
    target_link_libraries(lum_fakes PUBLIC lum_slideshow)
    target_include_directories(lum_fakes PUBLIC ${PROJECT_SOURCE_DIR}/tests)
else()
    add_library(lum_fakes INTERFACE)
    target_link_libraries(lum_fakes INTERFACE lum_slideshow)
    target_include_directories(lum_fakes INTERFACE ${PROJECT_SOURCE_DIR}/tests)
endif()

# One test program per subsystem, so that a broken unit elsewhere does not
# stop a subsystem's own suite from building.
foreach(sub common settings host slideshow)
    file(GLOB test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${sub}/*.cpp)
    if(test_sources)
        add_executable(lum_${sub}_tests ${test_sources})
        target_link_libraries(lum_${sub}_tests PRIVATE lum_${sub} lum_fakes GTest::gtest_main
                              GTest::gmock)
        gtest_discover_tests(lum_${sub}_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS native)
    endif()
endforeach()

# The folders' arrows: every include of src/, tests/, bench/ and fuzz/ goes
# the way the libraries link (scripts/check-includes.py), and the checker
# refuses a tree of wrong includes of its own.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME layout.includes
         COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check-includes.py
                 ${PROJECT_SOURCE_DIR})
add_test(NAME layout.includes_self_test
         COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check-includes.py --self-test)
set_tests_properties(layout.includes layout.includes_self_test PROPERTIES LABELS native)

if(LUM_BENCH)
    find_package(benchmark REQUIRED)
    file(GLOB bench_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
    foreach(src ${bench_sources})
        get_filename_component(name ${src} NAME_WE)
        add_executable(${name} ${src})
        target_link_libraries(${name} PRIVATE lum_slideshow lum_fakes benchmark::benchmark_main)
    endforeach()
endif()

if(LUM_FUZZ)
    file(GLOB fuzz_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
    foreach(src ${fuzz_sources})
        get_filename_component(name ${src} NAME_WE)
        add_executable(${name} ${src})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(${name} PRIVATE lum_slideshow lum_fakes)
    endforeach()
    # The settings file of the Linux program is read through GLib.
    if(TARGET config_lines_fuzz)
        find_package(PkgConfig REQUIRED)
        pkg_check_modules(LUM_GLIB REQUIRED IMPORTED_TARGET glib-2.0)
        target_sources(config_lines_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src/linux/IniFile.cpp)
        target_link_libraries(config_lines_fuzz PRIVATE PkgConfig::LUM_GLIB)
    endif()
    # The capture protocol's reader is plain C++ of the Linux layer.
    if(TARGET capture_answers_fuzz)
        target_sources(capture_answers_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/src/linux/capture/CaptureProtocol.cpp)
    endif()
    if(TARGET capture_requests_fuzz)
        target_sources(capture_requests_fuzz PRIVATE
                       ${PROJECT_SOURCE_DIR}/src/linux/capture/CaptureProtocol.cpp
                       ${PROJECT_SOURCE_DIR}/src/linux/capture/CaptureRequests.cpp)
    endif()
endif()
