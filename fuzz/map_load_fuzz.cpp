// Fuzz target: a lone layered map's Load.
//
// The input is the map's own chunk stream (what its Save writes inside its
// object chunk). The map is made through the class directory, loads the
// input, runs its post-load callbacks, and saves. Loading what it saved into
// a second map and saving that must give the same bytes.
//
// The map's class must be registered: a build that links the map's objects
// registers their descriptor; otherwise the target loads the plug-in module
// named by the TESSARY_MODULE environment variable, or the one the build
// names in TESSARY_MODULE_PATH.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/classdesc.h"
#include "host/iosave.h"
#include "host/module_loader.h"
#include "host/ref.h"
#include "host/scene_file.h"
#ifdef TESSARY_MAP_LINKED
#include "map/quilbo_class_desc.h"
#endif

namespace {

using namespace tessary::host;

const Class_ID kMapClassID(0x9B340D4Du, 0xA443AC6Au);
constexpr SClass_ID kMapSuperClassID = TEXMAP_CLASS_ID;

std::unique_ptr<PluginModule> gModule;

ReferenceTarget* NewMap() {
  Animatable* made = ClassDirectory::Instance().Create(kMapSuperClassID, kMapClassID, true);
  auto* map = dynamic_cast<ReferenceTarget*>(made);
  if (map == nullptr) {
    std::fprintf(stderr, "map_load_fuzz: the map's class is not registered\n");
    std::abort();
  }
  return map;
}

// Loads bytes into a new map, runs the callbacks and saves it.
std::vector<std::uint8_t> LoadAndSave(std::span<const std::uint8_t> bytes) {
  ReferenceTarget* map = NewMap();
  MemoryLoad load(bytes);
  map->Load(&load);
  load.RunPostLoadCallbacks();
  MemorySave save;
  if (map->Save(&save) != IO_OK || save.Status() != IO_OK || save.Depth() != 0) __builtin_trap();
  DeleteGraph(map);
  return save.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifdef TESSARY_MAP_LINKED
  ClassDirectory::Instance().Register(tessary::GetQuilboDesc());
#endif
  const char* path = std::getenv("TESSARY_MODULE");
#ifdef TESSARY_MODULE_PATH
  if (path == nullptr) path = TESSARY_MODULE_PATH;
#endif
  if (path != nullptr && ClassDirectory::Instance().Find(kMapSuperClassID, kMapClassID) == nullptr) {
    std::string error;
    gModule = PluginModule::Load(path, ClassDirectory::Instance(), &error);
    if (!gModule) {
      std::fprintf(stderr, "map_load_fuzz: %s\n", error.c_str());
      std::abort();
    }
  }
  DeleteGraph(NewMap());  // fails early when the class is missing
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> first = LoadAndSave(std::span(data, size));
  const std::vector<std::uint8_t> second = LoadAndSave(first);
  if (first != second) __builtin_trap();
  return 0;
}
