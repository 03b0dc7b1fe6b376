// Folder src/app (each program's entry and wiring, no library): app/win32 is
// Lumenary.scr; in app/linux, Main.cpp is lumenary, CaptureMain.cpp
// lumenary-capture, SignInMain.cpp lumenary-sign- in. Each includes what its
// program links.
//
// The Win32 implementations of every platform service, bundled for the
// program entry and the end-to-end test programs.
#pragma once

#include "slideshow/Main.h"
#include "win32/Win32Clock.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32FormWindow.h"
#include "win32/Win32HostSystem.h"
#include "win32/Win32MessageBoxes.h"
#include "win32/Win32Registry.h"

namespace lum::win32 {

struct TAppServices {
    TAppServices();
    TWin32FormWindowFactory Windows;
    TWin32HostSystem Host;
    TWin32Registry Registry;
    TWin32FileSystem Files;
    TWin32Clock Clock;
    TWin32Locale Locale;
    TWin32MessageBoxes MessageBoxes;
    TDisplayServices Display;
};

}  // namespace lum::win32
