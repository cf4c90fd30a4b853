// The module's entry point and its four exports.

#include "plugin/module.h"

#include "host/sdk/classdesc.h"
#include "host/sdk/plugapi.h"
#include "plugin/quilbo_class_desc.h"

namespace tessary {

HINSTANCE hInstance = nullptr;

namespace {
bool controlsInit = false;
char stringBuffer[256];
}  // namespace

const char* GetString(int id) {
  if (!hInstance) return nullptr;
  const int length = LoadStringA(hInstance, static_cast<UINT>(id), stringBuffer, sizeof(stringBuffer));
  return length != 0 ? stringBuffer : nullptr;
}

}  // namespace tessary

// Called with the module handle for every reason code (by the system's loader
// on Windows, by the host's loader elsewhere): the handle is stored each time,
// the controls are initialised once.
extern "C" QUILBO_ENTRY_EXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD /*fdwReason*/, LPVOID /*lpvReserved*/) {
  tessary::hInstance = hinstDLL;
  if (!tessary::controlsInit) {
    tessary::controlsInit = true;
    tessary::host::InitCustomControls(tessary::hInstance);
    InitCommonControls();
  }
  return TRUE;
}

extern "C" QUILBO_EXPORT const char* LibDescription() { return tessary::GetString(1); }

extern "C" QUILBO_EXPORT int LibNumberClasses() { return 1; }

extern "C" QUILBO_EXPORT tessary::host::ClassDesc* LibClassDesc(int i) {
  return i == 0 ? tessary::GetQuilboDesc() : nullptr;
}

extern "C" QUILBO_EXPORT unsigned long LibVersion() { return tessary::host::HOST_API_VERSION; }
