// Painting in the headless subset: device contexts, brushes, text measures
// and the caret. Nothing is drawn; the functions check their arguments and
// keep the little state the controls read back (brushes, the caret).

#include <cstdint>
#include <cstring>
#include <set>

#include "platform/headless/win32.h"

namespace tessary::headless {

namespace {

// Device contexts are the window handle they paint, marked.
constexpr std::uintptr_t kDcMark = 1;

std::set<std::uintptr_t>& Brushes() {
  static std::set<std::uintptr_t> brushes;
  return brushes;
}

struct Caret {
  HWND owner = nullptr;
  int x = 0;
  int y = 0;
  int shown = 0;
};
Caret caret;

// The classic Windows scheme.
DWORD SysColor(int index) {
  switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT: return RGB(10, 36, 106);
    case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(212, 208, 200);
    case COLOR_BTNSHADOW: return RGB(128, 128, 128);
    case COLOR_GRAYTEXT: return RGB(128, 128, 128);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(64, 64, 64);
    default: return 0;
  }
}

bool ValidDc(HDC dc) {
  const auto v = reinterpret_cast<std::uintptr_t>(dc);
  return v != 0 && (v & kDcMark) != 0 && IsWindow(reinterpret_cast<HWND>(v & ~kDcMark));
}

}  // namespace

// Called by DeleteObject for handles that are not bitmaps.
bool ForgetBrush(HGDIOBJ object) { return Brushes().erase(reinterpret_cast<std::uintptr_t>(object)) != 0; }

}  // namespace tessary::headless

using namespace tessary::headless;

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  if (!paint || !IsWindow(hwnd)) return nullptr;
  std::memset(paint, 0, sizeof *paint);
  GetClientRect(hwnd, &paint->rcPaint);
  ValidateRect(hwnd, nullptr);
  paint->hdc = reinterpret_cast<HDC>(reinterpret_cast<std::uintptr_t>(hwnd) | kDcMark);
  return paint->hdc;
}

BOOL EndPaint(HWND /*hwnd*/, const PAINTSTRUCT* paint) { return paint ? TRUE : FALSE; }

HDC GetDC(HWND hwnd) {
  return IsWindow(hwnd) ? reinterpret_cast<HDC>(reinterpret_cast<std::uintptr_t>(hwnd) | kDcMark) : nullptr;
}

int ReleaseDC(HWND /*hwnd*/, HDC dc) { return ValidDc(dc) ? 1 : 0; }

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
  return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE /*instance*/, LPCSTR name) { return name ? reinterpret_cast<HCURSOR>(0x400000) : nullptr; }

DWORD GetSysColor(int index) { return SysColor(index); }

HBRUSH GetSysColorBrush(int index) {
  // System brushes are fixed handles, one per colour index.
  return reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(0x100000u + static_cast<unsigned>(index) * 16u));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  static std::uintptr_t next = 0x200000;
  next += 16;
  Brushes().insert(next);
  (void)color;
  return reinterpret_cast<HBRUSH>(next);
}

HGDIOBJ GetStockObject(int index) {
  return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x300000u + static_cast<unsigned>(index) * 16u));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (!ValidDc(dc) || !object) return nullptr;
  return GetStockObject(DEFAULT_GUI_FONT);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) { return ValidDc(dc) && rect && brush ? 1 : 0; }
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) { return ValidDc(dc) && rect && brush ? 1 : 0; }

BOOL DrawEdge(HDC dc, LPRECT rect, UINT /*edge*/, UINT flags) {
  if (!ValidDc(dc) || !rect) return FALSE;
  if (flags & BF_ADJUST) InflateRect(rect, -2, -2);
  return TRUE;
}

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT /*type*/, UINT /*state*/) { return ValidDc(dc) && rect ? TRUE : FALSE; }
BOOL DrawFocusRect(HDC dc, const RECT* rect) { return ValidDc(dc) && rect ? TRUE : FALSE; }
COLORREF SetTextColor(HDC dc, COLORREF /*color*/) { return ValidDc(dc) ? 0 : 0xFFFFFFFFu; }
COLORREF SetBkColor(HDC dc, COLORREF /*color*/) { return ValidDc(dc) ? RGB(255, 255, 255) : 0xFFFFFFFFu; }
int SetBkMode(HDC dc, int /*mode*/) { return ValidDc(dc) ? OPAQUE : 0; }

int DrawTextA(HDC dc, LPCSTR text, int /*count*/, LPRECT rect, UINT /*format*/) {
  return ValidDc(dc) && text && rect ? 13 : 0;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size) {
  if (!ValidDc(dc) || !size || count < 0 || (count > 0 && !text)) return FALSE;
  size->cx = 6 * count;
  size->cy = 13;
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int /*x*/, int /*y*/, UINT /*style*/) {
  return ValidDc(dc) && index >= 0 && index < ImageList_GetImageCount(list) ? TRUE : FALSE;
}

BOOL CreateCaret(HWND hwnd, HBITMAP /*bitmap*/, int /*width*/, int /*height*/) {
  if (!IsWindow(hwnd)) return FALSE;
  caret = Caret{hwnd, 0, 0, 0};
  return TRUE;
}

BOOL DestroyCaret() {
  if (!caret.owner) return FALSE;
  caret = Caret{};
  return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
  if (!caret.owner || (hwnd && hwnd != caret.owner)) return FALSE;
  ++caret.shown;
  return TRUE;
}

BOOL HideCaret(HWND hwnd) {
  if (!caret.owner || (hwnd && hwnd != caret.owner)) return FALSE;
  --caret.shown;
  return TRUE;
}

BOOL SetCaretPos(int x, int y) {
  if (!caret.owner) return FALSE;
  caret.x = x;
  caret.y = y;
  return TRUE;
}
