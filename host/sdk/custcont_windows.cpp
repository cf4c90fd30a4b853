// The window procedures of the host's custom controls (the edit's is in
// custcont_edit.cpp): how each one paints and what it does with the mouse
// and the keyboard, and the handling they share.

#include <algorithm>
#include <string>

#include "host/sdk/custcont_wnd.h"

namespace tessary::host::detail {

int MouseX(LPARAM lParam) { return static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam))); }
int MouseY(LPARAM lParam) { return static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lParam))); }

RECT ClientRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return r;
}

bool Inside(HWND hwnd, LPARAM lParam) {
  const RECT r = ClientRect(hwnd);
  return PtInRect(&r, POINT{MouseX(lParam), MouseY(lParam)}) != FALSE;
}

bool Common(Kind kind, HWND hwnd, UINT msg, WPARAM wParam, LRESULT& result) {
  switch (msg) {
    case WM_CREATE:
      SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(Make(kind, hwnd)));
      result = 0;
      return true;
    case WM_NCDESTROY:
      if (ControlBase* c = Impl(hwnd)) {
        SetWindowLongPtrA(hwnd, 0, 0);
        c->Detach();
        c->Release();
      }
      result = 0;
      return true;
    case WM_SETFONT:
      if (ControlBase* c = Impl(hwnd)) c->font = reinterpret_cast<HFONT>(wParam);
      result = 0;
      return true;
    case WM_GETFONT: {
      ControlBase* c = Impl(hwnd);
      result = reinterpret_cast<LRESULT>(c ? c->font : nullptr);
      return true;
    }
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      result = 0;
      return true;
    case WM_ERASEBKGND:
      result = 1;  // every control paints all of itself
      return true;
    default:
      return false;
  }
}

// Measures text outside painting.
int TextWidthIn(HWND hwnd, const ControlBase& c, const std::string& text) {
  HDC dc = GetDC(hwnd);
  if (!dc) return static_cast<int>(text.size()) * 6;
  HGDIOBJ old = SelectObject(dc, c.font ? static_cast<HGDIOBJ>(c.font) : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (old) SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return size.cx;
}

namespace {

// --- Spinner -----------------------------------------------------------------

RECT ArrowRect(HWND hwnd, bool upper) {
  RECT r = ClientRect(hwnd);
  const LONG mid = (r.top + r.bottom) / 2;
  if (upper) {
    r.bottom = mid;
  } else {
    r.top = mid;
  }
  return r;
}

void PaintSpinner(HWND hwnd, SpinnerImpl& s, WPARAM printDc) {
  Painter p(hwnd, s, printDc);
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  for (bool upper : {true, false}) {
    RECT r = ArrowRect(hwnd, upper);
    UINT state = upper ? DFCS_SCROLLUP : DFCS_SCROLLDOWN;
    if (!enabled) state |= DFCS_INACTIVE;
    if (s.dragging && (s.pressPart > 0) == upper) state |= DFCS_PUSHED;
    DrawFrameControl(p.dc(), &r, DFC_SCROLL, state);
  }
}

// Steps the value by `steps` (negative: down), each step announced.
void StepSpinner(SpinnerImpl& s, int steps, BOOL dragging) {
  const WORD id = static_cast<WORD>(s.Id());
  const int dir = steps < 0 ? -1 : 1;
  for (int i = 0; i != steps && s.Hwnd(); i += dir) {
    s.SetValue(s.Value() + static_cast<float>(dir) * s.Step(), FALSE);
    s.Notify(CC_SPINNER_CHANGE, MAKEWPARAM(id, static_cast<WORD>(dragging)), s.Self());
  }
}

void EndDrag(HWND hwnd, SpinnerImpl& s, bool accepted) {
  s.dragging = false;
  if (GetCapture() == hwnd) ReleaseCapture();
  InvalidateRect(hwnd, nullptr, TRUE);
  if (!accepted) s.SetValue(s.dragStart, FALSE);
  s.Notify(CC_SPINNER_BUTTONUP, MAKEWPARAM(static_cast<WORD>(s.Id()), accepted ? TRUE : FALSE), s.Self());
}

// --- Button and swatch ---------------------------------------------------------

void PaintButton(HWND hwnd, ButtonImpl& b, WPARAM printDc) {
  Painter p(hwnd, b, printDc);
  RECT r = ClientRect(hwnd);
  const bool down = (b.pressed && b.inside) || b.IsChecked();
  p.Fill(r, GetSysColor(COLOR_BTNFACE));
  DrawEdge(p.dc(), &r, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  char caption[512] = {};
  GetWindowTextA(hwnd, caption, sizeof caption);
  RECT t = r;
  if (down) OffsetRect(&t, 1, 1);
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  p.Text(caption, t, DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  if (GetFocus() == hwnd) {
    InflateRect(&r, -1, -1);
    DrawFocusRect(p.dc(), &r);
  }
}

void PaintSwatch(HWND hwnd, SwatchImpl& s, WPARAM printDc) {
  Painter p(hwnd, s, printDc);
  RECT r = ClientRect(hwnd);
  p.Fill(r, GetSysColor(COLOR_BTNFACE));
  DrawEdge(p.dc(), &r, s.pressed ? EDGE_SUNKEN : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  p.Fill(r, s.GetColor());
  if (!IsWindowEnabled(hwnd)) {
    // A disabled swatch keeps its colour inside a grey frame.
    HBRUSH grey = GetSysColorBrush(COLOR_BTNSHADOW);
    FrameRect(p.dc(), &r, grey);
  }
}

void PaintImage(HWND hwnd, ImageImpl& i, WPARAM printDc) {
  Painter p(hwnd, i, printDc);
  const RECT r = ClientRect(hwnd);
  p.Fill(r, GetSysColor(COLOR_BTNFACE));
  if (i.list && i.index >= 0) {
    const int x = std::max(0, static_cast<int>(r.right - i.width) / 2);
    const int y = std::max(0, static_cast<int>(r.bottom - i.height) / 2);
    ImageList_Draw(i.list, i.index, p.dc(), x, y, ILD_NORMAL);
  }
}

}  // namespace

LRESULT CALLBACK SpinnerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Common(Kind::Spinner, hwnd, msg, wParam, result)) return result;
  auto* s = ImplAs<SpinnerImpl>(hwnd);
  if (!s) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_LBUTTONDOWN: {
      if (!IsWindowEnabled(hwnd) || s->dragging) return 0;
      const RECT upper = ArrowRect(hwnd, true);
      s->dragging = true;
      s->moved = false;
      s->pressPart = PtInRect(&upper, POINT{MouseX(lParam), MouseY(lParam)}) ? 1 : -1;
      s->pressY = s->mouseY = MouseY(lParam);
      s->stepsDone = 0;
      s->dragStart = s->Value();
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      s->Notify(CC_SPINNER_BUTTONDOWN, MAKEWPARAM(static_cast<WORD>(s->Id()), 0), s->Self());
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (!s->dragging) return 0;
      s->mouseY = MouseY(lParam);
      // Upwards increases; steps are counted from the press.
      const int steps = (s->pressY - s->mouseY) / kSpinnerPixelsPerStep;
      if (steps != s->stepsDone) {
        s->moved = true;
        const int delta = steps - s->stepsDone;
        s->stepsDone = steps;
        StepSpinner(*s, delta, TRUE);
      }
      return 0;
    }
    case WM_LBUTTONUP:
      if (!s->dragging) return 0;
      // A press and release without travel is a click on the arrow.
      if (!s->moved) StepSpinner(*s, s->pressPart, FALSE);
      if (IsWindow(hwnd) && s->dragging) EndDrag(hwnd, *s, true);
      return 0;
    case WM_RBUTTONDOWN:
      if (s->dragging) {
        EndDrag(hwnd, *s, false);  // a right click cancels the drag
      } else if (IsWindowEnabled(hwnd)) {
        // Otherwise it restores the reset value.
        const WORD id = static_cast<WORD>(s->Id());
        s->SetValue(s->ResetValue(), FALSE);
        s->Notify(CC_SPINNER_CHANGE, MAKEWPARAM(id, FALSE), s->Self());
        s->Notify(CC_SPINNER_BUTTONUP, MAKEWPARAM(id, TRUE), s->Self());
      }
      return 0;
    case WM_CAPTURECHANGED:
      // The mouse was taken away in the middle of a drag: nothing is kept.
      if (s->dragging && reinterpret_cast<HWND>(lParam) != hwnd) EndDrag(hwnd, *s, false);
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      PaintSpinner(hwnd, *s, msg == WM_PRINTCLIENT ? wParam : 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Common(Kind::Button, hwnd, msg, wParam, result)) return result;
  auto* b = ImplAs<ButtonImpl>(hwnd);
  if (!b) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_LBUTTONDOWN:
      if (!IsWindowEnabled(hwnd)) return 0;
      SetFocus(hwnd);
      if (!IsWindow(hwnd)) return 0;
      b->pressed = b->inside = true;
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_MOUSEMOVE:
      if (b->pressed && b->inside != Inside(hwnd, lParam)) {
        b->inside = !b->inside;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!b->pressed) return 0;
      const bool click = Inside(hwnd, lParam);
      b->pressed = false;
      if (GetCapture() == hwnd) ReleaseCapture();
      InvalidateRect(hwnd, nullptr, TRUE);
      if (click) b->Click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (b->pressed && reinterpret_cast<HWND>(lParam) != hwnd) {
        b->pressed = false;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == static_cast<WPARAM>(VK_SPACE) && IsWindowEnabled(hwnd)) {
        b->pressed = b->inside = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
      }
      break;
    case WM_KEYUP:
      if (wParam == static_cast<WPARAM>(VK_SPACE) && b->pressed) {
        b->pressed = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        b->Click();
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case WM_PAINT:
    case WM_PRINTCLIENT:
      PaintButton(hwnd, *b, msg == WM_PRINTCLIENT ? wParam : 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SwatchWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Common(Kind::Swatch, hwnd, msg, wParam, result)) return result;
  auto* s = ImplAs<SwatchImpl>(hwnd);
  if (!s) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (!IsWindowEnabled(hwnd)) return 0;
      s->pressed = true;
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONUP: {
      if (!s->pressed) return 0;
      s->pressed = false;
      if (GetCapture() == hwnd) ReleaseCapture();
      InvalidateRect(hwnd, nullptr, TRUE);
      if (Inside(hwnd, lParam)) s->Pick();
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (s->pressed && reinterpret_cast<HWND>(lParam) != hwnd) {
        s->pressed = false;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      PaintSwatch(hwnd, *s, msg == WM_PRINTCLIENT ? wParam : 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ImageWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Common(Kind::Image, hwnd, msg, wParam, result)) return result;
  auto* i = ImplAs<ImageImpl>(hwnd);
  if (i && (msg == WM_PAINT || msg == WM_PRINTCLIENT)) {
    PaintImage(hwnd, *i, msg == WM_PRINTCLIENT ? wParam : 0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace tessary::host::detail
