#pragma once
// The Win32 surface the plug-in and the host stand-in use. On Windows this is
// <windows.h> itself; elsewhere it is our headless subset, which declares the
// same names with the same meanings.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#else
#include "platform/headless/win32.h"
#endif
