#pragma once
// What a plug-in module and the host agree on: the module's exports, the
// version constant, and the few host services the module's entry point
// calls.

#include "platform/win32.h"

namespace tessary::host {

class ClassDesc;

// The SDK version the host accepts: release field (bits 16..31), API field
// (bits 8..15), revision (bits 0..7).
constexpr unsigned long MakeApiVersion(unsigned long release, unsigned long api, unsigned long rev) {
  return (release << 16) | (api << 8) | rev;
}
inline constexpr unsigned long kHostRelease = 11000;
inline constexpr unsigned long kHostApiNum = 25;
inline constexpr unsigned long kHostSdkRev = 0;
inline constexpr unsigned long HOST_API_VERSION = MakeApiVersion(kHostRelease, kHostApiNum, kHostSdkRev);
static_assert(HOST_API_VERSION == 0x2AF81900);

// The unmangled exports of a module.
extern "C" {
using LibDescriptionFn = const char* (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibVersionFn = unsigned long (*)();
using DllMainFn = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
}

// The host application's ID. Programs and tests may set it.
int GetAppID();
void SetAppID(int id);

// Initialises the host's custom controls for a module (counted).
void InitCustomControls(HINSTANCE hInst);
int InitCustomControlsCount();
// Sets the counter back to 0.
void ResetControlInitCounts();

}  // namespace tessary::host
