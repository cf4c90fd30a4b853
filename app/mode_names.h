#pragma once
// The display names of the 34 blend modes, in mode order, as the editor's
// mode lists show them. They are the plug-in module's own texts (its string
// table, at the IDs of blendModeNameIds), read once when the host session
// starts. Scene files name modes by these texts, matched exactly.

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace tessary::app {

// Reads the names from the module's string table. False, with the missing
// string named in `error`, when the module lacks one.
bool LoadModeNames(HINSTANCE module, std::string& error);

// The mode index of a display name, matched exactly; nullopt when unknown
// (and before the names are loaded).
std::optional<int> ModeFromName(std::string_view name);

// The display name of a mode index, or an empty view when the index is no
// mode (or the names are not loaded).
std::string_view ModeName(int mode);

}  // namespace tessary::app
