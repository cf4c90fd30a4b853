#pragma once
// The material editor's interfaces towards a map's parameter dialog. The
// editor side implements IMtlParams; a map's editor implements ParamDlg.

#include "host/sdk/maxtypes.h"
#include "platform/win32.h"

namespace tessary::host {

class ReferenceTarget;
class Texmap;
class Mtl;

// Dialog procedure of a rollup page: (window, message, wParam, lParam), the
// system's DLGPROC (a CALLBACK function).
using RollupDlgProc = DLGPROC;

// The rollup category used when the caller names none.
inline constexpr int ROLLUP_CAT_STANDARD = 4000;

// What the material editor offers a map's parameter dialog.
class IMtlParams {
 public:
  virtual ~IMtlParams() = default;
  // Adds a rollup page made from dialog template dlgId of hInst, with the
  // given dialog procedure, title and creation parameter; returns the
  // page's window, or null when it cannot be made.
  virtual HWND AddRollupPage(HINSTANCE hInst, int dlgId, RollupDlgProc proc, const char* title,
                             LPARAM param = 0, DWORD flags = 0,
                             int category = ROLLUP_CAT_STANDARD) = 0;
  // Removes a page made by AddRollupPage.
  virtual void DeleteRollupPage(HWND hRollup) = 0;
  virtual TimeValue GetTime() = 0;
  // The edited material changed: the editor redraws its sample slots.
  virtual void MtlChanged() = 0;
};

// A map's parameter dialog, owned by the material editor once made.
class ParamDlg {
 public:
  virtual ~ParamDlg() = default;
  virtual Class_ID ClassID() = 0;
  // The object the dialog edits.
  virtual void SetThing(ReferenceTarget* m) = 0;
  virtual ReferenceTarget* GetThing() = 0;
  virtual void SetTime(TimeValue t) = 0;
  // Re-reads every control from the edited object.
  virtual void ReloadDialog() = 0;
  virtual void DeleteThis() = 0;
  virtual void ActivateDlg(BOOL onOff) = 0;
  // The sub-map or sub-material whose button is the given window, or -1.
  virtual int FindSubTexFromHWND(HWND hwnd) = 0;
  virtual int FindSubMtlFromHWND(HWND hwnd) = 0;
};

}  // namespace tessary::host
