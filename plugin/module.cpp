// The module's composition root: its entry point and its four exports. The
// entry point wires the parts together: it gives the module text its handle
// and the map its editor's dialog factory.

#include "plugin/module.h"

#include "host/classdesc.h"
#include "host/plugapi.h"
#include "map/dialog_link.h"
#include "map/quilbo_class_desc.h"
#include "module_text/module_text.h"
#include "ui/quilbo_dlg.h"

namespace {
bool moduleInit = false;
}  // namespace

// Called with the module handle for every reason code (by the system's loader
// on Windows, by the host's loader elsewhere): the handle is stored each time;
// the controls are initialised and the dialog factory registered once.
extern "C" QUILBO_ENTRY_EXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD /*fdwReason*/, LPVOID /*lpvReserved*/) {
  tessary::hInstance = hinstDLL;
  if (!moduleInit) {
    moduleInit = true;
    tessary::SetQuilboDialogFactory(&tessary::CreateQuilboDlg);
    tessary::host::InitCustomControls(tessary::hInstance);
#ifdef _WIN32
    InitCommonControls();
#else
    tessary::host::InitCommonControls();
#endif
  }
  return TRUE;
}

extern "C" QUILBO_EXPORT const char* LibDescription() { return tessary::GetString(1); }

extern "C" QUILBO_EXPORT int LibNumberClasses() { return 1; }

extern "C" QUILBO_EXPORT tessary::host::ClassDesc* LibClassDesc(int i) {
  return i == 0 ? tessary::GetQuilboDesc() : nullptr;
}

extern "C" QUILBO_EXPORT unsigned long LibVersion() { return tessary::host::HOST_API_VERSION; }
