// The built-in control classes of the headless subset: buttons, edits,
// combo boxes, statics, scroll bars and the dialog class.

#include <cstring>
#include <string>
#include <vector>

#include "platform/headless/window_tree.h"

namespace tessary::headless {

namespace {

bool IsDefaultButton(HWND hwnd) {
  Window* w = W(hwnd);
  return w && w->cls == "BUTTON" && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w) return 0;
  DWORD type = w->style & BS_TYPEMASK;
  bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
  switch (msg) {
    case BM_GETCHECK:
      return checkable ? static_cast<LRESULT>(w->check) : 0;
    case BM_SETCHECK:
      if (checkable) {
        UINT state = static_cast<UINT>(wParam);
        bool three = type == BS_3STATE || type == BS_AUTO3STATE;
        w->check = state == BST_CHECKED ? BST_CHECKED : (state == BST_INDETERMINATE && three ? BST_INDETERMINATE : BST_UNCHECKED);
      }
      return 0;
    case WM_GETDLGCODE:
      if (type == BS_GROUPBOX) return DLGC_STATIC;
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      return DLGC_BUTTON;
    case BM_CLICK: {
      if (!IsWindowEnabled(hwnd) || type == BS_GROUPBOX) return 0;
      // A click is a press of the mouse over the button: it takes the focus.
      SetFocus(hwnd);
      if (!IsWindow(hwnd)) return 0;
      if (type == BS_AUTOCHECKBOX) {
        w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      } else if (type == BS_AUTO3STATE) {
        w->check = (w->check + 1u) % 3u;
      } else if (type == BS_AUTORADIOBUTTON) {
        if (Window* p = W(w->parent)) {
          for (HWND sib : p->children) {
            Window* s = W(sib);
            if (s && s != w && s->cls == "BUTTON" && (s->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) s->check = BST_UNCHECKED;
          }
        }
        w->check = BST_CHECKED;
      }
      NotifyParent(hwnd, BN_CLICKED);
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_GETDLGCODE) return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
  if (msg == WM_SETTEXT) {
    LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
    NotifyParent(hwnd, EN_CHANGE);
    return r;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w) return 0;
  auto count = static_cast<int>(w->items.size());
  auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
  switch (msg) {
    // A combo box tells its parent when it gains or loses the focus.
    case WM_SETFOCUS:
      NotifyParent(hwnd, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(hwnd, CBN_KILLFOCUS);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      if (!lParam) return CB_ERR;
      std::string s(reinterpret_cast<const char*>(lParam));
      int at = count;
      if (msg == CB_ADDSTRING && (w->style & CBS_SORT)) {
        std::string key = Upper(s.c_str());
        at = 0;
        while (at < count && Upper(w->items[static_cast<std::size_t>(at)].c_str()) <= key) ++at;
      } else if (msg == CB_INSERTSTRING && index != -1) {
        if (index < 0 || index > count) return CB_ERR;
        at = index;
      }
      w->items.insert(w->items.begin() + at, std::move(s));
      if (w->cursel >= at) ++w->cursel;
      return at;
    }
    case CB_DELETESTRING:
      if (index < 0 || index >= count) return CB_ERR;
      w->items.erase(w->items.begin() + index);
      if (w->cursel == index) {
        w->cursel = -1;
      } else if (w->cursel > index) {
        --w->cursel;
      }
      return count - 1;
    case CB_GETCOUNT:
      return count;
    case CB_GETCURSEL:
      return w->cursel;
    case CB_SETCURSEL:
      // -1 clears the selection; another index out of range keeps it.
      if (index < 0 || index >= count) {
        if (index == -1) w->cursel = -1;
        return CB_ERR;
      }
      w->cursel = index;
      return index;
    case CB_GETLBTEXTLEN:
      if (index < 0 || index >= count) return CB_ERR;
      return static_cast<LRESULT>(w->items[static_cast<std::size_t>(index)].size());
    case CB_GETLBTEXT: {
      if (index < 0 || index >= count || !lParam) return CB_ERR;
      const std::string& s = w->items[static_cast<std::size_t>(index)];
      std::memcpy(reinterpret_cast<char*>(lParam), s.c_str(), s.size() + 1);
      return static_cast<LRESULT>(s.size());
    }
    case CB_RESETCONTENT:
      w->items.clear();
      w->cursel = -1;
      return TRUE;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK DialogProcShell(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w) return 0;
  DLGPROC proc = w->dlgProc;
  INT_PTR r = proc ? proc(hwnd, msg, wParam, lParam) : FALSE;
  if (r != FALSE) {
    if (msg == WM_INITDIALOG) return r;
    Window* again = W(hwnd);
    return again ? again->msgResult : 0;
  }
  if (msg == DM_GETDEFID) {
    for (HWND c : w->children)
      if (IsDefaultButton(c)) return static_cast<LRESULT>(MAKELPARAM(static_cast<WORD>(GetDlgCtrlID(c)), DC_HASDEFID));
    return 0;
  }
  if (msg == WM_CLOSE) {
    // Closing a dialog is pressing Cancel (posted, as the dialog manager does).
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDCANCEL), BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
    return 0;
  }
  if (msg == WM_INITDIALOG) return 0;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

void EnsureBuiltins() {
  State& s = S();
  if (!s.classes.empty()) return;
  auto add = [&s](const char* name, WNDPROC proc, int extra) {
    s.classes[Upper(name)].push_back(ClassInfo{name, proc, extra, nullptr, true, true});
  };
  add("Button", ButtonProc, 0);
  add("Static", DefWindowProcA, 0);
  add("Edit", EditProc, 0);
  add("ComboBox", ComboProc, 0);
  add("ScrollBar", DefWindowProcA, 0);
  add(WC_DIALOG, DialogProcShell, DLGWINDOWEXTRA);
}

}  // namespace tessary::headless

using namespace tessary::headless;


BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND b = GetDlgItem(dialog, id);
  if (!b) return FALSE;
  SendMessageA(b, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}
