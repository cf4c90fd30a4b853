// Windows, messages and the built-in control classes of the headless subset.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/module_resources.h"
#include "platform/headless/test_hooks.h"
#include "platform/headless/win32.h"

namespace tessary::headless {

namespace {

struct ScrollInfo {
  int min = 0;
  int max = 100;
  int pos = 0;
};

struct Window {
  std::uintptr_t handle = 0;
  std::string cls;      // upper-cased class name, for lookups
  std::string clsName;  // the class name as registered
  WNDPROC proc = nullptr;
  bool isDialog = false;
  DLGPROC dlgProc = nullptr;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // pop-up windows
  std::vector<HWND> children;
  int id = 0;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{0, 0, 0, 0};
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  std::vector<unsigned char> extra;
  bool needsPaint = false;
  bool destroying = false;
  // dialogs
  LONG_PTR msgResult = 0;
  LONG_PTR dlgUser = 0;
  bool ended = false;
  INT_PTR endResult = 0;
  // buttons
  UINT check = BST_UNCHECKED;
  // scroll bars: SB_HORZ, SB_VERT, SB_CTL
  ScrollInfo scroll[3];
  // combo boxes
  std::vector<std::string> items;
  int cursel = -1;
};

struct ClassInfo {
  std::string name;  // as registered
  WNDPROC proc = nullptr;
  int cbWndExtra = 0;
  HINSTANCE instance = nullptr;  // the module that registered it
  bool global = false;           // CS_GLOBALCLASS: found by every module
  bool builtIn = false;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  std::chrono::steady_clock::time_point due;
};

struct Posted {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

struct State {
  std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
  // Upper-cased name -> the classes of that name (one per module, or global).
  std::map<std::string, std::vector<ClassInfo>> classes;
  std::deque<Posted> queue;
  BYTE keys[256] = {};
  std::vector<Timer> timers;
  UINT_PTR nextThreadTimer = 0x7000;
  HWND focus = nullptr;
  HWND capture = nullptr;
  std::uintptr_t nextHandle = 0x10000;
  int sendDepth = 0;
};

State& S();

std::string Upper(const char* s) {
  std::string out(s ? s : "");
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

Window* W(HWND h) {
  if (!h) return nullptr;
  auto it = S().windows.find(reinterpret_cast<std::uintptr_t>(h));
  return it == S().windows.end() ? nullptr : it->second.get();
}

HWND H(const Window* w) { return reinterpret_cast<HWND>(w->handle); }

void NotifyParent(HWND hwnd, WORD code) {
  Window* w = W(hwnd);
  if (!w || !w->parent) return;
  SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code), reinterpret_cast<LPARAM>(hwnd));
}

int ScrollIndex(int bar) { return bar == SB_CTL ? 2 : (bar == SB_VERT ? 1 : 0); }

void ClampScroll(ScrollInfo& s) {
  if (s.max < s.min) {
    s.pos = s.min;
    return;
  }
  s.pos = std::clamp(s.pos, s.min, s.max);
}

// ---- Built-in classes ----

HINSTANCE Program() { return GetModuleHandleA(nullptr); }
HINSTANCE Module(HINSTANCE instance) { return instance ? instance : Program(); }

// The class a window of `instance` gets for `name`: the module's own class,
// else a global class, else a built-in one.
const ClassInfo* FindClass(const char* name, HINSTANCE instance) {
  auto it = S().classes.find(Upper(name));
  if (it == S().classes.end()) return nullptr;
  const HINSTANCE module = Module(instance);
  for (const ClassInfo& c : it->second)
    if (!c.builtIn && !c.global && c.instance == module) return &c;
  for (const ClassInfo& c : it->second)
    if (c.global) return &c;
  for (const ClassInfo& c : it->second)
    if (c.builtIn) return &c;
  return nullptr;
}

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

State& S() {
  static State state;
  return state;
}

HWND Create(DWORD exStyle, const char* className, const char* name, DWORD style, RECT rect, HWND parent, int id,
            HINSTANCE instance, LPVOID param, DLGPROC dlgProc) {
  EnsureBuiltins();
  State& s = S();
  const ClassInfo* cls = FindClass(className, instance);
  if (!cls) return nullptr;
  if (parent && !W(parent)) return nullptr;
  auto w = std::make_unique<Window>();
  w->handle = s.nextHandle += 0x10;
  w->cls = Upper(cls->name.c_str());
  w->clsName = cls->name;
  w->proc = cls->proc;
  w->isDialog = w->cls == WC_DIALOG;
  w->dlgProc = dlgProc;
  w->extra.assign(static_cast<std::size_t>(std::max(0, cls->cbWndExtra)), 0);
  w->style = style;
  w->exStyle = exStyle;
  w->text = name ? name : "";
  w->rect = rect;
  w->instance = instance;
  w->needsPaint = (style & WS_VISIBLE) != 0;  // a window that appears is painted
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = id;
  } else {
    // A pop-up's owner is always a top-level window: the given window's root.
    while (parent && W(parent) && W(parent)->parent) parent = W(parent)->parent;
    w->owner = parent;
  }
  HWND h = reinterpret_cast<HWND>(w->handle);
  const bool isDialog = w->isDialog;
  if (Window* pw = W(w->parent)) pw->children.push_back(h);
  s.windows[w->handle] = std::move(w);
  CREATESTRUCTA cs{param,        instance,  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                   parent,       rect.bottom - rect.top, rect.right - rect.left, rect.top, rect.left,
                   static_cast<LONG>(style), name, className, exStyle};
  if (!isDialog && SendMessageA(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  return W(h) ? h : nullptr;
}

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


}  // namespace
}  // namespace tessary::headless

using namespace tessary::headless;

// ---- Classes and windows ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
  EnsureBuiltins();
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || wc->cbWndExtra < 0 || wc->cbWndExtra > 1024) return 0;
  std::vector<ClassInfo>& named = S().classes[Upper(wc->lpszClassName)];
  const HINSTANCE module = Module(wc->hInstance);
  const bool global = (wc->style & CS_GLOBALCLASS) != 0;
  for (const ClassInfo& c : named) {
    if (c.builtIn) continue;
    // A module cannot register a name twice, nor take a global name.
    if (c.instance == module || (global && c.global)) return 0;
  }
  named.push_back(ClassInfo{wc->lpszClassName, wc->lpfnWndProc, wc->cbWndExtra, module, global, false});
  static ATOM nextAtom = 0xC000;
  return ++nextAtom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  EnsureBuiltins();
  if (!className) return FALSE;
  std::string name = Upper(className);
  auto it = S().classes.find(name);
  if (it == S().classes.end()) return FALSE;
  const HINSTANCE module = Module(instance);
  auto c = std::find_if(it->second.begin(), it->second.end(),
                        [module](const ClassInfo& k) { return !k.builtIn && k.instance == module; });
  if (c == it->second.end()) return FALSE;
  for (const auto& [h, w] : S().windows)
    if (w->cls == name && w->proc == c->proc) return FALSE;  // windows of the class still exist
  it->second.erase(c);
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (!className) return nullptr;
  if ((style & WS_CHILD) && !parent) return nullptr;
  int id = static_cast<int>(reinterpret_cast<INT_PTR>(menu));
  return Create(exStyle, className, windowName, style, RECT{x, y, x + width, y + height}, parent, id, instance, param,
                nullptr);
}

BOOL DestroyWindow(HWND hwnd) {
  Window* w = W(hwnd);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  State& s = S();
  // The focus and the mouse leave the window first, as they do on Windows.
  if (s.focus && (s.focus == hwnd || IsChild(hwnd, s.focus))) SetFocus(w->parent);
  if (s.capture && (s.capture == hwnd || IsChild(hwnd, s.capture))) ReleaseCapture();
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  if (Window* again = W(hwnd)) {
    std::vector<HWND> kids = again->children;
    for (HWND k : kids) DestroyWindow(k);
  }
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  w = W(hwnd);
  if (!w) return TRUE;
  if (Window* p = W(w->parent)) std::erase(p->children, hwnd);
  for (auto& [h, other] : s.windows)
    if (other->owner == hwnd) other->owner = nullptr;
  std::erase_if(s.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
  if (s.focus == hwnd) s.focus = nullptr;
  if (s.capture == hwnd) s.capture = nullptr;
  s.windows.erase(w->handle);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) { return W(hwnd) ? TRUE : FALSE; }

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    case WM_GETTEXT: {
      auto size = static_cast<std::size_t>(wParam);
      if (!lParam || size == 0) return 0;
      std::size_t n = std::min(w->text.size(), size - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), w->text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    default:
      return 0;
  }
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

HWND GetParent(HWND hwnd) {
  Window* w = W(hwnd);
  if (!w) return nullptr;
  return w->parent ? w->parent : w->owner;
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* d = W(dialog);
  if (!d) return nullptr;
  for (HWND c : d->children) {
    Window* w = W(c);
    if (w && w->id == id) return c;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  Window* w = W(hwnd);
  return w ? w->id : 0;
}

int GetClassNameA(HWND hwnd, LPSTR buffer, int size) {
  Window* w = W(hwnd);
  if (!w || !buffer || size <= 0) return 0;
  std::size_t n = std::min(w->clsName.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, w->clsName.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL IsChild(HWND parent, HWND hwnd) {
  if (!W(parent)) return FALSE;
  for (Window* w = W(hwnd); w && w->parent; w = W(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
}

HWND GetWindow(HWND hwnd, UINT relation) {
  Window* w = W(hwnd);
  if (!w) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (relation != GW_HWNDNEXT) return nullptr;
  Window* p = W(w->parent);
  if (!p) {
    // Top-level windows: the next in creation order.
    auto it = S().windows.upper_bound(w->handle);
    for (; it != S().windows.end(); ++it)
      if (!it->second->parent) return H(it->second.get());
    return nullptr;
  }
  auto it = std::find(p->children.begin(), p->children.end(), hwnd);
  if (it == p->children.end() || ++it == p->children.end()) return nullptr;
  return *it;
}

DWORD GetCurrentThreadId() { return 1; }

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {
  if (threadId != GetCurrentThreadId() || !proc) return FALSE;
  std::vector<HWND> tops;
  for (const auto& [h, w] : S().windows)
    if (!w->parent) tops.push_back(H(w.get()));
  for (HWND h : tops)
    if (W(h) && !proc(h, lParam)) break;
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int command) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  BOOL was = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  if (command == SW_HIDE) {
    w->style &= ~WS_VISIBLE;
    HWND focus = S().focus;
    if (was && focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(w->parent);
  } else {
    w->style |= WS_VISIBLE;
    // A window that appears is painted.
    if (!was) w->needsPaint = true;
  }
  return was;
}

BOOL IsWindowVisible(HWND hwnd) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  for (; w; w = W(w->parent))
    if (!(w->style & WS_VISIBLE)) return FALSE;
  return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
  }
  if ((wasDisabled != FALSE) == (enable != FALSE)) {
    if (!enable && S().focus == hwnd) SetFocus(nullptr);
    SendMessageA(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  }
  return wasDisabled;
}

HWND SetFocus(HWND hwnd) {
  State& s = S();
  if (hwnd && !W(hwnd)) return nullptr;
  HWND old = s.focus;
  if (old == hwnd) return old;
  s.focus = hwnd;
  if (W(old)) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && s.focus == hwnd && W(hwnd)) SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() { return S().focus; }

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  Window* d = W(dialog);
  if (!d) return nullptr;
  std::vector<HWND> items;
  for (HWND c : d->children) {
    Window* k = W(c);
    if (k && (k->style & WS_TABSTOP) && (k->style & WS_VISIBLE) && !(k->style & WS_DISABLED)) items.push_back(c);
  }
  if (items.empty()) return nullptr;
  auto it = std::find(items.begin(), items.end(), control);
  if (it == items.end()) return previous ? items.back() : items.front();
  const auto n = static_cast<std::ptrdiff_t>(items.size());
  std::ptrdiff_t i = it - items.begin();
  i = previous ? (i + n - 1) % n : (i + 1) % n;
  return items[static_cast<std::size_t>(i)];
}

HWND SetCapture(HWND hwnd) {
  State& s = S();
  if (!W(hwnd)) return nullptr;
  HWND old = s.capture;
  s.capture = hwnd;
  if (old && old != hwnd && W(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  State& s = S();
  HWND old = s.capture;
  s.capture = nullptr;
  if (old && W(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return S().capture; }

BOOL IsWindowEnabled(HWND hwnd) {
  Window* w = W(hwnd);
  return (w && !(w->style & WS_DISABLED)) ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
  if (!W(hwnd)) return FALSE;
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
  if (!W(hwnd) || !buffer || size <= 0) return 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) {
  if (!W(hwnd)) return 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) { return SetWindowTextA(GetDlgItem(dialog, id), text); }

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(item, buffer, size));
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window* w = W(hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWLP_USERDATA: old = w->userData; w->userData = value; return old;
    case GWLP_ID: old = w->id; w->id = static_cast<int>(value); return old;
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWL_STYLE: old = static_cast<LONG_PTR>(w->style); w->style = static_cast<DWORD>(value); return old;
    default: break;
  }
  if (w->isDialog) {
    switch (index) {
      case DWLP_MSGRESULT: old = w->msgResult; w->msgResult = value; return old;
      case DWLP_DLGPROC:
        old = reinterpret_cast<LONG_PTR>(w->dlgProc);
        w->dlgProc = reinterpret_cast<DLGPROC>(value);
        return old;
      case DWLP_USER: old = w->dlgUser; w->dlgUser = value; return old;
      default: return 0;
    }
  }
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
  std::memcpy(&old, w->extra.data() + index, sizeof(old));
  std::memcpy(w->extra.data() + index, &value, sizeof(value));
  return old;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  Window* w = W(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return w->id;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    default: break;
  }
  if (w->isDialog) {
    switch (index) {
      case DWLP_MSGRESULT: return w->msgResult;
      case DWLP_DLGPROC: return reinterpret_cast<LONG_PTR>(w->dlgProc);
      case DWLP_USER: return w->dlgUser;
      default: return 0;
    }
  }
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
  LONG_PTR v = 0;
  std::memcpy(&v, w->extra.data() + index, sizeof(v));
  return v;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  Window* w = W(hwnd);
  if (!w || !rect) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  Window* w = W(hwnd);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  w->rect = RECT{x, y, x + width, y + height};
  if (repaint) w->needsPaint = true;
  return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT p) {
  return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom ? TRUE : FALSE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left -= dx;
  rect->right += dx;
  rect->top -= dy;
  rect->bottom += dy;
  return TRUE;
}

// ---- Messages ----

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w || !w->proc) return 0;
  State& s = S();
  if (s.sendDepth > 512) return 0;  // a handler sending to itself without end
  ++s.sendDepth;
  LRESULT r = w->proc(hwnd, msg, wParam, lParam);
  --s.sendDepth;
  return r;
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!W(hwnd)) return FALSE;
  S().queue.push_back(Posted{hwnd, msg, wParam, lParam});
  return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(GetDlgItem(dialog, id), msg, wParam, lParam);
}

BOOL InvalidateRect(HWND hwnd, const RECT* /*rect*/, BOOL /*erase*/) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  w->needsPaint = true;
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* /*rect*/) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  if (w->needsPaint) {
    w->needsPaint = false;
    SendMessageA(hwnd, WM_PAINT, 0, 0);
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL /*erase*/) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->needsPaint ? RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top} : RECT{};
  return w->needsPaint ? TRUE : FALSE;
}

namespace tessary::headless {
namespace {

using Clock = std::chrono::steady_clock;

// The next message of the thread, without waiting: posted messages first,
// then a paint of a visible window marked for it, then a due timer.
bool NextMessage(MSG* out, bool remove) {
  State& s = S();
  while (!s.queue.empty()) {
    Posted m = s.queue.front();
    if (!W(m.hwnd)) {
      s.queue.pop_front();
      continue;
    }
    if (remove) s.queue.pop_front();
    *out = MSG{m.hwnd, m.msg, m.wParam, m.lParam, GetTickCount(), POINT{0, 0}};
    return true;
  }
  for (const auto& [h, w] : s.windows) {
    if (w->needsPaint && IsWindowVisible(H(w.get()))) {
      *out = MSG{H(w.get()), WM_PAINT, 0, 0, GetTickCount(), POINT{0, 0}};
      return true;
    }
  }
  const Clock::time_point now = Clock::now();
  for (Timer& t : s.timers) {
    if (t.due <= now) {
      *out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), GetTickCount(), POINT{0, 0}};
      if (remove) t.due = now + std::chrono::milliseconds(t.elapse);
      return true;
    }
  }
  return false;
}

// Sleeps until the earliest timer is due; false when there is none.
bool WaitForTimer() {
  State& s = S();
  if (s.timers.empty()) return false;
  Clock::time_point due = s.timers.front().due;
  for (const Timer& t : s.timers) due = std::min(due, t.due);
  std::this_thread::sleep_until(due);
  return true;
}

// The character a key types, for TranslateMessage; 0 for none.
char KeyChar(WPARAM vk) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : vk - 'A' + 'a');
  switch (vk) {
    case VK_RETURN: return '\r';
    case VK_TAB: return '\t';
    case VK_BACK: return '\b';
    case VK_ESCAPE: return 27;
    case VK_SPACE: return ' ';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    default: return 0;
  }
}

}  // namespace
}  // namespace tessary::headless

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  if (!msg || hwnd || filterMin || filterMax) return FALSE;
  return NextMessage(msg, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg || hwnd || filterMin || filterMax) return FALSE;
  for (;;) {
    if (NextMessage(msg, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    if (!WaitForTimer()) return FALSE;
  }
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  const char c = KeyChar(msg->wParam);
  if (!c) return FALSE;
  return PostMessageA(msg->hwnd, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), msg->lParam);
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  Window* w = W(msg->hwnd);
  if (!w) return 0;
  if (msg->message == WM_PAINT) {
    // A window that does not validate itself is not painted again and again.
    w->needsPaint = false;
  }
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
  if (!msg || !W(dialog) || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    const LRESULT code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (!(code & DLGC_WANTMESSAGE)) {
      switch (msg->wParam) {
        case VK_TAB:
          if (code & DLGC_WANTTAB) break;
          if (HWND next = GetNextDlgTabItem(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE)) {
            SetFocus(next);
            if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(next, EM_SETSEL, 0, -1);
          }
          return TRUE;
        case VK_ESCAPE:
          SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDCANCEL), BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
          return TRUE;
        case VK_RETURN: {
          HWND focus = GetFocus();
          int id = IDOK;
          if (IsChild(dialog, focus) && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
            id = GetDlgCtrlID(focus);
          } else {
            const auto def = static_cast<DWORD>(SendMessageA(dialog, DM_GETDEFID, 0, 0));
            if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
          }
          SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
          return TRUE;
        }
        default:
          break;
      }
    }
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return TRUE;
}

int PumpMessages() {
  constexpr int kLimit = 1000000;  // a paint handler that always invalidates itself stops here
  int delivered = 0;
  MSG m;
  while (delivered < kLimit && NextMessage(&m, true)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
    ++delivered;
  }
  return delivered;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  State& s = S();
  if (hwnd && !W(hwnd)) return 0;
  if (!hwnd) id = ++s.nextThreadTimer;
  elapse = std::max(elapse, 10u);
  const Clock::time_point due = Clock::now() + std::chrono::milliseconds(elapse);
  for (Timer& t : s.timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t = Timer{hwnd, id, elapse, proc, due};
      return hwnd ? 1 : id;
    }
  }
  s.timers.push_back(Timer{hwnd, id, elapse, proc, due});
  return hwnd ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  return std::erase_if(S().timers, [hwnd, id](const Timer& t) { return t.hwnd == hwnd && t.id == id; }) ? TRUE
                                                                                                          : FALSE;
}

DWORD GetTickCount() {
  return static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

SHORT GetKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  return (S().keys[virtualKey] & 0x80) ? static_cast<SHORT>(-32768) : static_cast<SHORT>(0);
}

BOOL GetKeyboardState(BYTE* keys) {
  if (!keys) return FALSE;
  std::memcpy(keys, S().keys, sizeof S().keys);
  return TRUE;
}

BOOL SetKeyboardState(BYTE* keys) {
  if (!keys) return FALSE;
  std::memcpy(S().keys, keys, sizeof S().keys);
  return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND b = GetDlgItem(dialog, id);
  if (!b) return FALSE;
  SendMessageA(b, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

// ---- Scroll bars ----

int SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  ScrollInfo& s = w->scroll[ScrollIndex(bar)];
  // Windows does not keep a reversed range: it becomes 0 .. 0.
  const bool reversed = maxPos < minPos;
  s.min = reversed ? 0 : minPos;
  s.max = reversed ? 0 : maxPos;
  ClampScroll(s);
  if (redraw) w->needsPaint = true;
  return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos) {
  Window* w = W(hwnd);
  if (!w || !minPos || !maxPos) return FALSE;
  const ScrollInfo& s = w->scroll[ScrollIndex(bar)];
  *minPos = s.min;
  *maxPos = s.max;
  return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  Window* w = W(hwnd);
  if (!w) return 0;
  ScrollInfo& s = w->scroll[ScrollIndex(bar)];
  int old = s.pos;
  s.pos = pos;
  ClampScroll(s);
  if (redraw) w->needsPaint = true;
  return old;
}

int GetScrollPos(HWND hwnd, int bar) {
  Window* w = W(hwnd);
  return w ? w->scroll[ScrollIndex(bar)].pos : 0;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
  if (!W(hwnd)) return FALSE;
  if (bar == static_cast<UINT>(SB_CTL)) EnableWindow(hwnd, arrows == ESB_DISABLE_BOTH ? FALSE : TRUE);
  return TRUE;
}

// ---- Dialogs ----

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

// ---- Test hooks ----

namespace tessary::headless::test {

void ResetGdiObjects();  // resources.cpp

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  for (const auto& [h, w] : S().windows)
    if (!w->parent) out.push_back(H(w.get()));
  return out;
}

std::vector<HWND> ChildWindows(HWND parent) {
  Window* w = W(parent);
  return w ? w->children : std::vector<HWND>{};
}

HWND FindByText(HWND root, const std::string& text) {
  if (!root) {
    for (const auto& [h, w] : S().windows)
      if (w->text == text) return H(w.get());
    return nullptr;
  }
  Window* w = W(root);
  if (!w) return nullptr;
  for (HWND c : w->children) {
    Window* k = W(c);
    if (k && k->text == text) return c;
    if (HWND found = FindByText(c, text)) return found;
  }
  return nullptr;
}

std::size_t LiveWindowCount() { return S().windows.size(); }

std::size_t PostedMessageCount() { return S().queue.size(); }

std::size_t TimerCount() { return S().timers.size(); }

void ResetAll() {
  State& s = S();
  for (HWND h : TopLevelWindows()) DestroyWindow(h);
  // Pop-ups whose owners went first, and anything a WM_DESTROY created.
  while (!s.windows.empty()) {
    std::vector<HWND> rest = TopLevelWindows();
    if (rest.empty()) break;
    for (HWND h : rest) DestroyWindow(h);
  }
  s.windows.clear();
  s.queue.clear();
  std::memset(s.keys, 0, sizeof s.keys);
  s.timers.clear();
  s.focus = nullptr;
  s.capture = nullptr;
  ResetGdiObjects();
}

}  // namespace tessary::headless::test
