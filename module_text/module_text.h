#pragma once
// The module's handle and the reading of texts from its string table: the
// small leaf that the map, the editor and the entry point all use.

#include "platform/win32.h"

namespace tessary {

// Set by the module's entry point; null until the host has loaded the module.
extern HINSTANCE hInstance;

// The text of string resource id, in one static 256-character buffer that
// the next call overwrites; a caller that needs the text later copies it.
// Null when the module handle is not set or the string cannot be read.
const char* GetString(int id);

}  // namespace tessary
