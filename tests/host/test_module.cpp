// A tiny plug-in module for the module loader's tests: the four exports, an
// entry point that initialises the controls once, and one texture-map class.
// Built in variants (see CMakeLists.txt) with a wrong version or a missing
// export.

#include <string>

#include "host/sdk/classdesc.h"
#include "host/sdk/mtl.h"
#include "host/sdk/plugapi.h"

#ifndef TEST_MODULE_VERSION
#define TEST_MODULE_VERSION HOST_API_VERSION
#endif

namespace {

using namespace tessary::host;

HINSTANCE moduleInstance = nullptr;
bool controlsInit = false;
std::string events;

class ModuleMap : public Texmap {
 public:
  AColor EvalColor(ShadeContext&) override { return AColor(0.25f, 0.5f, 0.75f, 1.0f); }
  Point3 EvalNormalPerturb(ShadeContext&) override { return Point3(); }
  Class_ID ClassID() override { return Class_ID(0x77, 0x88); }
};

class ModuleClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return GetAppID() != 5; }
  Animatable* Create(bool) override { return new ModuleMap(); }
  const char* ClassName() override { return "Module Map"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0x77, 0x88); }
  const char* Category() override { return "Tests"; }
  HINSTANCE HInstance() override { return moduleInstance; }
};

ModuleClassDesc classDesc;

}  // namespace

extern "C" {

const char* LibDescription() { return "Loader test module"; }
int LibNumberClasses() { return 1; }
#ifndef TEST_MODULE_WITHOUT_CLASSDESC
ClassDesc* LibClassDesc(int i) { return i == 0 ? &classDesc : nullptr; }
#endif
unsigned long LibVersion() { return TEST_MODULE_VERSION; }

BOOL WINAPI DllMain(HINSTANCE h, DWORD reason, LPVOID) {
  moduleInstance = h;
  events += reason == DLL_PROCESS_ATTACH ? "attach;" : reason == DLL_PROCESS_DETACH ? "detach;" : "other;";
  if (!controlsInit) {
    controlsInit = true;
    InitCustomControls(h);
    InitCommonControls();
  }
  return TRUE;
}

// For the tests: what the entry point was called with so far.
const char* TestModuleEvents() { return events.c_str(); }

}  // extern "C"
