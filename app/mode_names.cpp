#include "app/mode_names.h"

#include <array>

#include "compositing/blend_modes.h"

namespace tessary::app {
namespace {
std::array<std::string, kNumBlendModes> names;
}  // namespace

bool LoadModeNames(HINSTANCE module, std::string& error) {
  for (int mode = 0; mode < kNumBlendModes; ++mode) {
    const int id = blendModeNameIds[static_cast<std::size_t>(mode)];
    char text[256];
    if (LoadStringA(module, static_cast<UINT>(id), text, sizeof(text)) == 0) {
      error = "the plug-in module has no name for blend mode " + std::to_string(mode) + " (string " +
              std::to_string(id) + ")";
      return false;
    }
    names[static_cast<std::size_t>(mode)] = text;
  }
  return true;
}

std::optional<int> ModeFromName(std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i].empty() && names[i] == name) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::string_view ModeName(int mode) {
  return IsBlendMode(mode) ? std::string_view(names[static_cast<std::size_t>(mode)]) : std::string_view{};
}

}  // namespace tessary::app
