# MinGW build: the Win32 layer, Lumenary.scr, and the GoogleTest runner and
# end-to-end scripts that check them under Wine (scripts/wine-env.sh).

# Static runtime: the .scr then imports only system DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
                        WINVER=0x0601 _WIN32_IE=0x0700)
# Every translation unit sees <windows.h> first, without the macros that
# would rename members of the portable interfaces.
add_compile_options(-include ${PROJECT_SOURCE_DIR}/src/win32/WinApi.h)
set(lum_win32_system_libs ole32 oleaut32 uuid comctl32 gdi32 imm32 user32 kernel32 advapi32
    shell32)

# One library per folder, each linking only the folders below it: the
# platform, the WebBrowser control's host, the settings dialog (whose URL box
# opens the sign-in window).
lum_library(lum_win32 win32 lum_slideshow ${lum_win32_system_libs})
lum_library(lum_win32_browser win32/browser lum_win32)
lum_library(lum_win32_settings win32/settings lum_win32_browser)

# The program's wiring, a library of its own so that the Windows tests can
# build the same services the program runs with.
add_library(lum_win32_app STATIC ${PROJECT_SOURCE_DIR}/src/app/win32/AppServices.cpp)
target_link_libraries(lum_win32_app PUBLIC lum_win32_settings)

add_executable(Lumenary WIN32 ${PROJECT_SOURCE_DIR}/src/app/win32/Lumenary.cpp
               ${PROJECT_SOURCE_DIR}/src/app/win32/Lumenary.rc)
set_target_properties(Lumenary PROPERTIES SUFFIX ".scr")
# Release: symbols stripped from the installed file. Large-address-aware: on
# a 64-bit Windows the 32-bit process gets 4 GB of address space instead of 2,
# room for a page's picture held by the capture and by each monitor's display.
target_link_options(Lumenary PRIVATE -municode -mwindows -Wl,--large-address-aware
                    $<$<CONFIG:Release>:-s>)
target_link_libraries(Lumenary PRIVATE lum_win32_app)
# The flag is in the program's PE header (objdump -p); no Wine needed.
add_test(NAME win32.large_address_aware
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/win32/large_address_aware.sh
                 $<TARGET_FILE:Lumenary> ${CMAKE_OBJDUMP})
set_tests_properties(win32.large_address_aware PROPERTIES TIMEOUT 60)

# GoogleTest from the sources of Debian's googletest package, built with MinGW.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gmock PRIVATE -Wno-error)

set(LUM_WINE ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)

# One runner for the whole layer (each Wine start costs seconds): the suites
# of tests/win32 and of its folders.
file(GLOB win32_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/*.cpp
     ${PROJECT_SOURCE_DIR}/tests/win32/*.rc ${PROJECT_SOURCE_DIR}/tests/win32/browser/*.cpp
     ${PROJECT_SOURCE_DIR}/tests/win32/settings/*.cpp)
if(win32_test_sources)
    add_executable(LumenaryWin32Tests ${win32_test_sources})
    target_include_directories(LumenaryWin32Tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(LumenaryWin32Tests PRIVATE lum_win32_app gtest gmock)
    target_link_options(LumenaryWin32Tests PRIVATE -municode)
    target_compile_definitions(LumenaryWin32Tests PRIVATE
        LUM_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    add_test(NAME win32.units COMMAND ${LUM_WINE} $<TARGET_FILE:LumenaryWin32Tests>)
    set_tests_properties(win32.units PROPERTIES LABELS wine TIMEOUT 600)
endif()

# Small Windows helpers that the end-to-end scripts use (a parent window
# for /p and /c, a GUI-resource probe, ...): one program per .cpp.
file(GLOB tool_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/tools/*.cpp)
foreach(src ${tool_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} WIN32 ${src})
    target_link_options(${name} PRIVATE -municode -mwindows)
    # lum_win32 for the tools that time or drive the Win32 layer itself.
    target_link_libraries(${name} PRIVATE lum_win32 ${lum_win32_system_libs} psapi)
endforeach()
# The capture's timing tool drives the capture window with the stand-in control.
target_link_libraries(CaptureGaps PRIVATE lum_win32_browser)
target_include_directories(CaptureGaps PRIVATE ${PROJECT_SOURCE_DIR}/tests)

# End-to-end scripts: each gets the build folder and the source folder.
file(GLOB e2e_scripts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32/e2e/*.sh)
foreach(script ${e2e_scripts})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME e2e.${name} COMMAND bash ${script} ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(e2e.${name} PROPERTIES LABELS "wine;e2e" TIMEOUT 600 RUN_SERIAL ON)
endforeach()

# The stand-in WebBrowser control (tests/win32/browser/standin): an in-process COM
# server that the capture tests register for the WebBrowser class in the test
# prefix only, while they run. Its partial implementations of the large
# browser and document interfaces derive from E_NOTIMPL stubs generated from
# the very headers this build compiles with.
find_file(lum_exdisp_header exdisp.h PATH_SUFFIXES include REQUIRED)
get_filename_component(lum_mingw_include ${lum_exdisp_header} DIRECTORY)
set(standin_dir ${PROJECT_SOURCE_DIR}/tests/win32/browser/standin)
set(standin_stubs ${CMAKE_BINARY_DIR}/generated/win32/browser/standin/control/StandinStubs.h)
add_custom_command(
    OUTPUT ${standin_stubs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/win32/browser/standin/control
    COMMAND python3 ${standin_dir}/control/make_stubs.py ${lum_mingw_include} ${standin_stubs}
    DEPENDS ${standin_dir}/control/make_stubs.py
    COMMENT "Generating the stand-in control's interface stubs")
file(GLOB standin_sources CONFIGURE_DEPENDS ${standin_dir}/control/*.cpp)
add_library(LumenaryStandin SHARED ${standin_sources} ${standin_dir}/control/Standin.def
                                   ${standin_stubs})
set_target_properties(LumenaryStandin PROPERTIES PREFIX "" OUTPUT_NAME LumenaryStandin)
target_include_directories(LumenaryStandin PRIVATE ${PROJECT_SOURCE_DIR}/tests
                                                   ${CMAKE_BINARY_DIR}/generated)
target_link_options(LumenaryStandin PRIVATE -Wl,--enable-stdcall-fixup)
target_link_libraries(LumenaryStandin PRIVATE ole32 oleaut32 uuid gdi32 user32 kernel32)

if(TARGET LumenaryWin32Tests)
    target_sources(LumenaryWin32Tests PRIVATE ${standin_dir}/StandinCaptureTest.cpp
                                              ${standin_dir}/StandinDpiTest.cpp
                                              ${standin_dir}/StandinCaptureOptionsTest.cpp
                                              ${standin_dir}/StandinFailureTest.cpp
                                              ${standin_dir}/StandinLimitsTest.cpp
                                              ${standin_dir}/StandinPictureTest.cpp
                                              ${standin_dir}/StandinPromptsTest.cpp
                                              ${standin_dir}/StandinSignInMenuTest.cpp
                                              ${standin_dir}/StandinSignInWindowTest.cpp)
    add_dependencies(LumenaryWin32Tests LumenaryStandin)
    target_compile_definitions(LumenaryWin32Tests PRIVATE
        LUM_STANDIN_DLL="$<TARGET_FILE:LumenaryStandin>")
endif()
