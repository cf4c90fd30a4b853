#pragma once
// The resources of a loaded module, found through its instance handle and
// parsed once. Internal to the headless subset.

#include <optional>
#include <string>

#include "platform/headless/embedded_resources.h"
#include "platform/headless/rc_script.h"
#include "platform/headless/win32.h"

namespace tessary::headless {

struct ModuleResources {
  const HeadlessResources* raw = nullptr;
  std::optional<ResourceScript> script;  // empty when the script is malformed
  std::string error;                     // why, when it is

  // The bytes of a file the script references; nullptr when not embedded.
  const HeadlessResourceFile* File(const std::string& name) const;
};

// The resources of the module `instance` (null: the program itself); null
// when the module carries none. A malformed script is reported once on
// standard error and yields an entry without a script.
const ModuleResources* ResourcesOf(HINSTANCE instance);

// How often InitCommonControls was called (resources.cpp).
int CommonControlsInits();
// Frees every bitmap and image list (resources.cpp).
void ForgetGdiObjects();

}  // namespace tessary::headless
