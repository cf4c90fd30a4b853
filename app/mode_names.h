#pragma once
// The display names of the 34 blend modes, in mode order, as the editor's
// mode lists show them. Scene files name modes by these texts, matched
// exactly.

#include <array>
#include <optional>
#include <string_view>

#include "compositing/blend_modes.h"

namespace tessary::app {

inline constexpr std::array<std::string_view, kNumBlendModes> kModeNames = {
    "Normal",        "Multiply",      "Screen",      "Additive",   "Subtractive",   "Stamp",
    "Difference",    "Negation",      "Exclusion",   "Darken",     "Lighten",       "Overlay",
    "Hard Light",    "Soft Light",    "Dodge",       "Inverse dodge", "Soft dodge", "Burn",
    "Inverse burn",  "Soft burn",     "Interpolation", "Average",  "Hue",           "Saturation",
    "Luminance",     "Color",         "Reflect",     "Glow",       "Freeze",        "Heat",
    "RGB red",       "RGB green",     "RGB blue",    "Exact Difference"};

// The mode index of a display name, matched exactly; nullopt when unknown.
inline std::optional<int> ModeFromName(std::string_view name) {
  for (std::size_t i = 0; i < kModeNames.size(); ++i)
    if (kModeNames[i] == name) return static_cast<int>(i);
  return std::nullopt;
}

// The display name of a mode index, or an empty view when the index is no mode.
inline std::string_view ModeName(int mode) {
  return IsBlendMode(mode) ? kModeNames[static_cast<std::size_t>(mode)] : std::string_view{};
}

}  // namespace tessary::app
