#pragma once
// Inside the host's custom controls: what their window procedures share
// (custcont_windows.cpp defines it, custcont_edit.cpp uses it too).

#include <string>

#include "host/sdk/custcont_impl.h"

namespace tessary::host::detail {

// Client coordinates of a mouse message (signed: a captured mouse may be
// outside the window).
int MouseX(LPARAM lParam);
int MouseY(LPARAM lParam);
RECT ClientRect(HWND hwnd);
// Whether the mouse of the message is over the window's client area.
bool Inside(HWND hwnd, LPARAM lParam);

// The handling every control shares: its object is made at WM_CREATE and
// let go at WM_NCDESTROY; it keeps the dialog's font and repaints when it is
// enabled or disabled. Returns true when the message was handled.
bool Common(Kind kind, HWND hwnd, UINT msg, WPARAM wParam, LRESULT& result);


// A device context ready for the control's text: its font, no background.
class Painter {
 public:
  Painter(HWND hwnd, const ControlBase& c, WPARAM printDc) : hwnd_(hwnd) {
    dc_ = printDc ? reinterpret_cast<HDC>(printDc) : BeginPaint(hwnd, &ps_);
    owned_ = printDc == 0;
    HGDIOBJ font = c.font ? static_cast<HGDIOBJ>(c.font) : GetStockObject(DEFAULT_GUI_FONT);
    oldFont_ = SelectObject(dc_, font);
    SetBkMode(dc_, TRANSPARENT);
  }
  ~Painter() {
    if (oldFont_) SelectObject(dc_, oldFont_);
    if (owned_) EndPaint(hwnd_, &ps_);
  }
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;
  HDC dc() const { return dc_; }

  void Fill(const RECT& r, COLORREF color) const {
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc_, &r, b);
    DeleteObject(b);
  }
  void Text(const std::string& text, RECT r, UINT format, COLORREF color) const {
    SetTextColor(dc_, color);
    DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r, format | DT_SINGLELINE | DT_NOPREFIX);
  }
  int TextWidth(const std::string& text) const {
    SIZE size{};
    GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
  bool owned_ = true;
  HGDIOBJ oldFont_ = nullptr;
};

// Measures text outside painting.
int TextWidthIn(HWND hwnd, const ControlBase& c, const std::string& text);

}  // namespace tessary::host::detail
