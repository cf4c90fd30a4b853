#pragma once
// Module-wide state of the plug-in: its instance handle and the string loader
// every part uses to read texts from the module's string table.

#include "platform/win32.h"

// The four exports are plain C names on every architecture. The entry point
// is the module's entry on Windows, where the system calls it; elsewhere the
// host's loader looks it up by name.
#if defined(_WIN32)
#define QUILBO_EXPORT __declspec(dllexport)
#define QUILBO_ENTRY_EXPORT
#else
#define QUILBO_EXPORT __attribute__((visibility("default")))
#define QUILBO_ENTRY_EXPORT QUILBO_EXPORT
#endif

namespace tessary {

// Set by the entry point; null until the host has loaded the module.
extern HINSTANCE hInstance;

// The text of string resource id, in one static 256-character buffer that
// the next call overwrites; a caller that needs the text later copies it.
// Null when the module handle is not set or the string cannot be read.
const char* GetString(int id);

}  // namespace tessary
