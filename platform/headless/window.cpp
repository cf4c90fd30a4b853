// Windows, messages and the built-in control classes of the headless subset.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
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
  std::string cls;  // upper-cased class name
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
  WNDPROC proc = nullptr;
  int cbWndExtra = 0;
  HINSTANCE instance = nullptr;
  bool builtIn = false;
};

struct Posted {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

struct State {
  std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
  std::map<std::string, ClassInfo> classes;
  std::deque<Posted> queue;
  std::map<int, bool> keys;
  std::deque<test::DialogAnswer> answers;
  std::vector<int> shownModal;
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

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
    case BM_CLICK: {
      if (!IsWindowEnabled(hwnd) || type == BS_GROUPBOX) return 0;
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

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SETTEXT) {
    LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
    NotifyParent(hwnd, EN_CHANGE);
    return r;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w) return 0;
  auto count = static_cast<int>(w->items.size());
  auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
  switch (msg) {
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
      if (index < 0 || index >= count) {
        w->cursel = -1;
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

LRESULT DialogProcShell(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w) return 0;
  DLGPROC proc = w->dlgProc;
  INT_PTR r = proc ? proc(hwnd, msg, wParam, lParam) : FALSE;
  if (r != FALSE) {
    if (msg == WM_INITDIALOG) return r;
    Window* again = W(hwnd);
    return again ? again->msgResult : 0;
  }
  if (msg == WM_CLOSE) {
    // Closing a dialog is pressing Cancel.
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDCANCEL), BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
    return 0;
  }
  if (msg == WM_INITDIALOG) return 0;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void EnsureBuiltins() {
  State& s = S();
  if (!s.classes.empty()) return;
  s.classes["BUTTON"] = {ButtonProc, 0, nullptr, true};
  s.classes["STATIC"] = {DefWindowProcA, 0, nullptr, true};
  s.classes["EDIT"] = {EditProc, 0, nullptr, true};
  s.classes["COMBOBOX"] = {ComboProc, 0, nullptr, true};
  s.classes["SCROLLBAR"] = {DefWindowProcA, 0, nullptr, true};
  s.classes[WC_DIALOG] = {DialogProcShell, DLGWINDOWEXTRA, nullptr, true};
}

State& S() {
  static State state;
  return state;
}

HWND Create(DWORD exStyle, const char* className, const char* name, DWORD style, RECT rect, HWND parent, int id,
            HINSTANCE instance, LPVOID param, DLGPROC dlgProc) {
  EnsureBuiltins();
  State& s = S();
  auto cls = s.classes.find(Upper(className));
  if (cls == s.classes.end()) return nullptr;
  if (parent && !W(parent)) return nullptr;
  auto w = std::make_unique<Window>();
  w->handle = s.nextHandle += 0x10;
  w->cls = cls->first;
  w->proc = cls->second.proc;
  w->isDialog = cls->first == WC_DIALOG;
  w->dlgProc = dlgProc;
  w->extra.assign(static_cast<std::size_t>(std::max(0, cls->second.cbWndExtra)), 0);
  w->style = style;
  w->exStyle = exStyle;
  w->text = name ? name : "";
  w->rect = rect;
  w->instance = instance;
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = id;
  } else {
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
  HWND firstChild = made->children.empty() ? nullptr : made->children.front();
  SendMessageA(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstChild), param);
  if (Window* d = W(dlg)) {
    if (t->style & WS_VISIBLE) d->style |= WS_VISIBLE;
    return dlg;
  }
  return nullptr;
}

bool Usable(HWND hwnd) {
  for (HWND h = hwnd; h; h = GetParent(h)) {
    Window* w = W(h);
    if (!w || !(w->style & WS_VISIBLE) || (w->style & WS_DISABLED)) return false;
    if (!(w->style & WS_CHILD)) break;
  }
  return true;
}

}  // namespace
}  // namespace tessary::headless

using namespace tessary::headless;

// ---- Classes and windows ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
  EnsureBuiltins();
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || wc->cbWndExtra < 0 || wc->cbWndExtra > 1024) return 0;
  std::string name = Upper(wc->lpszClassName);
  auto& classes = S().classes;
  if (classes.count(name)) return 0;  // already registered
  classes[name] = {wc->lpfnWndProc, wc->cbWndExtra, wc->hInstance, false};
  return static_cast<ATOM>(0xC000u + classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE /*instance*/) {
  EnsureBuiltins();
  std::string name = Upper(className);
  auto it = S().classes.find(name);
  if (it == S().classes.end() || it->second.builtIn) return FALSE;
  for (const auto& [h, w] : S().windows)
    if (w->cls == name) return FALSE;  // windows of the class still exist
  S().classes.erase(it);
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
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  if (Window* again = W(hwnd)) {
    std::vector<HWND> kids = again->children;
    for (HWND k : kids) DestroyWindow(k);
  }
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  w = W(hwnd);
  if (!w) return TRUE;
  if (Window* p = W(w->parent)) std::erase(p->children, hwnd);
  for (auto& [h, other] : S().windows)
    if (other->owner == hwnd) other->owner = nullptr;
  S().windows.erase(w->handle);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) { return W(hwnd) ? TRUE : FALSE; }

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
    default:
      return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
  std::size_t n = std::min(w->cls.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, w->cls.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL ShowWindow(HWND hwnd, int command) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  BOOL was = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  if (command == SW_HIDE) {
    w->style &= ~WS_VISIBLE;
  } else {
    w->style |= WS_VISIBLE;
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
  return wasDisabled;
}

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

int PumpMessages() {
  constexpr int kLimit = 1000000;  // a paint handler that always invalidates itself stops here
  State& s = S();
  int delivered = 0;
  while (delivered < kLimit) {
    if (!s.queue.empty()) {
      Posted m = s.queue.front();
      s.queue.pop_front();
      if (W(m.hwnd)) {
        SendMessageA(m.hwnd, m.msg, m.wParam, m.lParam);
        ++delivered;
      }
      continue;
    }
    std::vector<HWND> dirty;
    for (const auto& [h, w] : s.windows)
      if (w->needsPaint) dirty.push_back(H(w.get()));
    if (dirty.empty()) break;
    for (HWND h : dirty) {
      Window* w = W(h);
      if (!w || !w->needsPaint) continue;
      w->needsPaint = false;
      SendMessageA(h, WM_PAINT, 0, 0);
      ++delivered;
    }
  }
  return delivered;
}

SHORT GetKeyState(int virtualKey) {
  auto it = S().keys.find(virtualKey);
  return (it != S().keys.end() && it->second) ? static_cast<SHORT>(-32768) : static_cast<SHORT>(0);
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
  s.min = minPos;
  s.max = maxPos;
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
  int templateId = -1;
  HWND dlg = CreateFromTemplate(instance, name, parent, proc, param, &templateId);
  if (!dlg) return -1;
  State& s = S();
  s.shownModal.push_back(templateId);
  BOOL ownerWasDisabled = parent ? EnableWindow(parent, FALSE) : TRUE;
  ShowWindow(dlg, SW_SHOW);
  auto ended = [dlg]() {
    Window* w = W(dlg);
    return !w || w->ended;
  };
  PumpMessages();
  if (!ended() && !s.answers.empty()) {
    test::DialogAnswer answer = std::move(s.answers.front());
    s.answers.pop_front();
    if (answer) answer(dlg);
    PumpMessages();
  }
  if (!ended()) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDCANCEL), BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
    PumpMessages();
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

void SetKeyDown(int virtualKey, bool down) { S().keys[virtualKey] = down; }

void QueueDialogAnswer(DialogAnswer answer) { S().answers.push_back(std::move(answer)); }

std::size_t PendingDialogAnswers() { return S().answers.size(); }

const std::vector<int>& ShownModalDialogs() { return S().shownModal; }

bool ClickButton(HWND button) {
  Window* w = W(button);
  if (!w || !Usable(button)) return false;
  if (w->cls == "BUTTON") {
    SendMessageA(button, BM_CLICK, 0, 0);
  } else {
    // A custom button class: a press and release of the mouse over it.
    SendMessageA(button, WM_LBUTTONDOWN, 0, 0);
    SendMessageA(button, WM_LBUTTONUP, 0, 0);
  }
  return true;
}

bool ClickDlgButton(HWND dialog, int id) { return ClickButton(GetDlgItem(dialog, id)); }

bool PickComboItem(HWND combo, int index) {
  Window* w = W(combo);
  if (!w || w->cls != "COMBOBOX" || !Usable(combo)) return false;
  if (index < 0 || index >= static_cast<int>(w->items.size())) return false;
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  NotifyParent(combo, CBN_SELCHANGE);
  return true;
}

bool ScrollAction(HWND scrollBar, int code, int thumbPos) {
  Window* w = W(scrollBar);
  if (!w || w->cls != "SCROLLBAR" || !Usable(scrollBar) || !w->parent) return false;
  UINT msg = (w->style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
  SendMessageA(w->parent, msg, MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(thumbPos)),
               reinterpret_cast<LPARAM>(scrollBar));
  return true;
}

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

HWND FindById(HWND root, int id) {
  Window* w = W(root);
  if (!w) return nullptr;
  for (HWND c : w->children) {
    Window* k = W(c);
    if (k && k->id == id) return c;
    if (HWND found = FindById(c, id)) return found;
  }
  return nullptr;
}

std::size_t LiveWindowCount() { return S().windows.size(); }

std::size_t PostedMessageCount() { return S().queue.size(); }

bool NeedsPaint(HWND hwnd) {
  Window* w = W(hwnd);
  return w && w->needsPaint;
}

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
  s.keys.clear();
  s.answers.clear();
  s.shownModal.clear();
  ResetGdiObjects();
}

}  // namespace tessary::headless::test
