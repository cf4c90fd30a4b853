// What a window holds: its text, its long values, its rectangle and its
// scroll bars.

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/headless/window_tree.h"

using namespace tessary::headless;

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
