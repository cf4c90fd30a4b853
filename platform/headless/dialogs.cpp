// Dialogs of the headless subset: built from the module's resource script,
// modeless and modal.

#include <vector>

#include "platform/headless/module_resources.h"
#include "platform/headless/window_tree.h"

namespace tessary::headless {

HWND CreateFromTemplate(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param, int* templateId) {
  if (!name) return nullptr;
  const ModuleResources* res = ResourcesOf(instance);
  if (!res || !res->script) return nullptr;
  ResName rn = ResName::FromArg(name);
  if (templateId) *templateId = rn.name.empty() ? rn.id : -1;
  const DialogTemplate* t = res->script->FindDialog(rn);
  if (!t) return nullptr;
  if ((t->style & WS_CHILD) && !parent) return nullptr;  // a child needs its parent
  DWORD style = t->style & ~WS_VISIBLE;  // shown once every control exists
  HWND dlg = Create(t->exStyle, WC_DIALOG, t->caption.c_str(), style, RECT{t->x, t->y, t->x + t->cx, t->y + t->cy},
                    parent, 0, instance, nullptr, proc);
  if (!dlg) return nullptr;
  for (const ControlTemplate& c : t->controls) {
    HWND ctl = Create(c.exStyle, c.className.c_str(), c.text.c_str(), c.style, RECT{c.x, c.y, c.x + c.cx, c.y + c.cy},
                      dlg, c.id, instance, nullptr, nullptr);
    if (!ctl) {
      DestroyWindow(dlg);
      return nullptr;
    }
  }
  const Window* made = W(dlg);
  if (!made) return nullptr;
  if (t->style & DS_SETFONT) {
    const std::vector<HWND> controls = made->children;
    for (HWND c : controls) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  }
  HWND firstTab = GetNextDlgTabItem(dlg, nullptr, FALSE);
  const LRESULT setFocus = SendMessageA(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), param);
  Window* d = W(dlg);
  if (!d) return nullptr;
  if (t->style & WS_VISIBLE) {
    d->style |= WS_VISIBLE;
    d->needsPaint = true;
  }
  // As the dialog manager does: TRUE from WM_INITDIALOG gives the focus to the
  // first control that takes Tab (an edit gets its text selected).
  if (setFocus && (!(t->style & DS_CONTROL) || (t->style & WS_VISIBLE))) {
    if (HWND focus = GetNextDlgTabItem(dlg, nullptr, FALSE)) {
      SetFocus(focus);
      if (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(focus, EM_SETSEL, 0, -1);
    }
  }
  return W(dlg) ? dlg : nullptr;
}

}  // namespace tessary::headless

using namespace tessary::headless;

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  return CreateFromTemplate(instance, name, parent, proc, param, nullptr);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  HWND dlg = CreateFromTemplate(instance, name, parent, proc, param, nullptr);
  if (!dlg) return -1;
  // The owner is the top-level window of the given one; it is disabled while
  // the dialog runs.
  parent = GetParent(dlg);
  BOOL ownerWasDisabled = parent ? EnableWindow(parent, FALSE) : TRUE;
  ShowWindow(dlg, SW_SHOW);
  auto ended = [dlg]() {
    Window* w = W(dlg);
    return !w || w->ended;
  };
  bool cancelled = false;
  while (!ended()) {
    MSG m;
    if (NextMessage(&m, true)) {
      if (!IsDialogMessageA(dlg, &m)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
      continue;
    }
    if (WaitForTimer()) continue;
    // Nothing can reach the dialog any more; on Windows it would wait for
    // its user for ever.
    if (cancelled) break;
    cancelled = true;
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDCANCEL), BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
  }
  INT_PTR result = -1;
  if (Window* w = W(dlg); w && w->ended) result = w->endResult;
  if (parent && !ownerWasDisabled) EnableWindow(parent, TRUE);
  DestroyWindow(dlg);
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Window* w = W(dialog);
  if (!w || !w->isDialog) return FALSE;
  w->ended = true;
  w->endResult = result;
  w->style &= ~WS_VISIBLE;
  return TRUE;
}
