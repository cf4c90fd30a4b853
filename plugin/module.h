#pragma once
// How the module's four exports are declared.

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
