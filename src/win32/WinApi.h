// Folder src/win32 (lum_win32, in Lumenary.scr): the Windows platform:
// windows, GDI, registry, files, clock, message boxes, the message loop. It
// includes the core; with its subfolders it is the only code that sees
// <windows.h>.
//
// <windows.h> for the whole Win32 build (force-included by the build), with
// the character-set macros removed that would rename members of the portable
// interfaces (IFileSystem::CreateDirectory, ICanvas::TextOut, ...). The Win32
// layer calls the W functions by their explicit names.
#pragma once

#include <windows.h>

#undef CreateDirectory
#undef DeleteFile
#undef PostMessage
#undef SendMessage
#undef MessageBox
#undef OpenMutex
#undef CreateMutex
#undef LoadLibrary
#undef FindWindow
#undef TextOut
#undef DrawText
#undef GetObject
#undef CreateWindow
#undef GetMessage
#undef DispatchMessage
#undef CreateFont
#undef GetClassName
#undef GetUserName
#undef CopyFile
#undef MoveFile
#undef FindFirstFile
#undef FindNextFile
#undef GetCommandLine
#undef GetModuleFileName
#undef RegisterClass
#undef SetWindowText
#undef GetWindowText
#undef LoadCursor
#undef LoadIcon
#undef LoadString
