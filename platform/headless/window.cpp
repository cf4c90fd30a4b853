// The window tree of the headless subset: classes, creating and destroying
// windows, their relations, visibility, enabled state, focus and capture.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/window_tree.h"

namespace tessary::headless {

State& S() {
  static State state;
  return state;
}

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
