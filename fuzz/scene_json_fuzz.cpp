// Fuzz target: JSON scenes, shared maps included.
//
// Each input is read as a JSON scene. One that does not read must say why.
// One that reads writes back to text that reads again to the same
// description (values and sharing) and writes the same text. It is then
// built into map objects, one per description however many places use it,
// and described again; that description, which has had its percentages
// rounded through the map's factors, must survive the same round trip and
// come back unchanged from a second build.
//
// The layered map's objects are linked in, with the module's resource script
// (its mode names); the host's standard maps and the bitmap are registered
// as the program registers them.

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/bitmap_tex.h"
#include "app/map_graph.h"
#include "app/mode_names.h"
#include "app/scene_json.h"
#include "host/classdesc.h"
#include "host/stdmap_classes.h"
#include "module_text/module_text.h"
#include "map/quilbo_class_desc.h"
#include "platform/win32.h"

extern "C" BOOL DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved);

namespace {

using namespace tessary::app;

void Trap() { __builtin_trap(); }

std::size_t CountDescriptions(const MapDesc& root) {
  std::size_t n = 0;
  ForEachMapOnce(root, [&](const MapDesc&) { ++n; });
  return n;
}

std::size_t CountObjects(tessary::host::Texmap* root) {
  std::set<tessary::host::Texmap*> seen;
  std::vector<tessary::host::Texmap*> todo{root};
  while (!todo.empty()) {
    tessary::host::Texmap* t = todo.back();
    todo.pop_back();
    if (!t || !seen.insert(t).second) continue;
    for (int i = 0; i < t->NumSubTexmaps(); ++i) todo.push_back(t->GetSubTexmap(i));
  }
  return seen.size();
}

// Reads text that this program wrote: it must read, and write the same text.
SceneDesc ReadBack(const std::string& text) {
  SceneDesc scene;
  std::string error;
  if (!ParseSceneJson(text, "again.json", "", scene, error)) {
    std::fprintf(stderr, "written text does not read back: %s\n%s\n", error.c_str(), text.c_str());
    Trap();
  }
  if (WriteSceneJson(scene) != text) Trap();
  return scene;
}

// Builds a description into maps and describes them again; null when the
// description cannot be built (a layered map without layers).
std::shared_ptr<MapDesc> ThroughMaps(const MapDesc& desc) {
  SceneGraph graph;
  std::string error;
  if (!BuildGraph(desc, graph, error)) {
    if (error.empty()) Trap();
    return nullptr;
  }
  if (CountObjects(graph.root) != CountDescriptions(desc)) Trap();  // one object per description
  if (!CheckGraph(graph.root, error)) {
    std::fprintf(stderr, "a graph built from a scene fails its check: %s\n", error.c_str());
    Trap();
  }
  std::shared_ptr<MapDesc> described = DescribeGraph(graph.root, graph, error);
  if (!described) Trap();
  return described;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DllMain(reinterpret_cast<HINSTANCE>(dlopen(nullptr, RTLD_NOW)), DLL_PROCESS_ATTACH, nullptr);
  std::string error;
  if (!LoadModeNames(tessary::hInstance, error)) {
    std::fprintf(stderr, "scene_json_fuzz: %s\n", error.c_str());
    std::abort();
  }
  tessary::host::ClassDirectory& directory = tessary::host::ClassDirectory::Instance();
  for (tessary::host::ClassDesc* cd :
       {static_cast<tessary::host::ClassDesc*>(tessary::GetQuilboDesc()),
        static_cast<tessary::host::ClassDesc*>(tessary::host::GetConstantTexDesc()),
        static_cast<tessary::host::ClassDesc*>(tessary::host::GetCheckerTexDesc()),
        static_cast<tessary::host::ClassDesc*>(tessary::host::GetGradientTexDesc()),
        static_cast<tessary::host::ClassDesc*>(tessary::host::GetNoiseTexDesc()),
        static_cast<tessary::host::ClassDesc*>(GetBitmapTexDesc())})
    directory.Register(cd);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SceneDesc scene;
  std::string error;
  if (!ParseSceneJson(text, "fuzz.json", "", scene, error)) {
    if (error.rfind("fuzz.json:", 0) != 0 || error.find('\n') != std::string::npos) Trap();  // one line, named
    return 0;
  }
  const std::string written = WriteSceneJson(scene);
  const SceneDesc again = ReadBack(written);
  if (!SameScene(*scene.root, *again.root)) Trap();

  const std::shared_ptr<MapDesc> built = ThroughMaps(*scene.root);
  if (!built) return 0;
  const std::string builtText = WriteSceneJson(SceneDesc{built});
  const SceneDesc builtAgain = ReadBack(builtText);
  if (!SameScene(*built, *builtAgain.root)) Trap();
  const std::shared_ptr<MapDesc> rebuilt = ThroughMaps(*builtAgain.root);
  if (!rebuilt || !SameScene(*built, *rebuilt)) Trap();
  return 0;
}
