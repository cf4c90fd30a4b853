#pragma once
// The Win32 surface the plug-in and the host stand-in use. On Windows this is
// <windows.h> itself; elsewhere it is our headless subset, which declares the
// same names with the same meanings.
//
// Every file that needs Win32 includes this header, never <windows.h>. On
// Windows it takes the switching macros of <windows.h> that would rename the
// host SDK's own methods (GetClassName becomes GetClassNameA) out again, so a
// method keeps its name whatever the order of the includes: <windows.h> is
// read once, and after this header has run, the macros are gone for good.
// Our code calls the Win32 functions by their A names (GetClassNameA).

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#undef GetClassName
#undef GetObject
#undef LoadString
#undef GetMessage
#undef SendMessage
#undef PostMessage
#undef DrawText
#undef CreateWindow
#undef FindWindow
#undef GetProp
#undef SetProp
#undef RemoveProp
#undef GetWindowText
#undef SetWindowText
#undef LoadBitmap
#undef LoadImage
#undef CopyFile
#undef DeleteFile
#undef MoveFile
#undef GetCurrentDirectory
#undef SetCurrentDirectory
#undef GetUserName
#undef GetFileAttributes
#undef ChooseColor
#else
#include "platform/headless/win32.h"
#endif
