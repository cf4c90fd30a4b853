// The custom controls driven as a person would: mouse and keyboard messages.

#include "tests/support/custcont_test_hooks.h"

#include <cstring>

#include "host/sdk/custcont_impl.h"

namespace tessary::host::test {

using namespace detail;

namespace {

LPARAM Point(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

LPARAM Centre(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return Point(r.right / 2, r.bottom / 2);
}

template <class T>
T* ReachableControl(HWND hwnd) {
  auto* c = ImplAs<T>(hwnd);
  return c && Reachable(hwnd) ? c : nullptr;
}

}  // namespace

bool TypeInEdit(HWND edit, const char* text, bool pressEnter) {
  if (!ReachableControl<EditImpl>(edit) || !text) return false;
  if (GetFocus() != edit) SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(1, 1));
  SendMessageA(edit, WM_LBUTTONUP, 0, Point(1, 1));
  SendMessageA(edit, EM_SETSEL, 0, -1);  // the whole text, as a double click selects it
  for (const char* c = text; *c && IsWindow(edit); ++c)
    SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(*c)), 1);
  if (pressEnter && IsWindow(edit)) {
    SendMessageA(edit, WM_KEYDOWN, static_cast<WPARAM>(VK_RETURN), 1);
    SendMessageA(edit, WM_CHAR, '\r', 1);
  }
  return true;
}

bool DragSpinner(HWND spinner, int steps) {
  SpinnerImpl* s = ReachableControl<SpinnerImpl>(spinner);
  if (!s) return false;
  if (!s->dragging) {
    RECT r{};
    GetClientRect(spinner, &r);
    SendMessageA(spinner, WM_LBUTTONDOWN, MK_LBUTTON, Point(r.right / 2, r.bottom / 4));
  }
  if (!IsWindow(spinner) || !s->dragging) return IsWindow(spinner) != FALSE;
  const int y = s->pressY - (s->stepsDone + steps) * kSpinnerPixelsPerStep;
  SendMessageA(spinner, WM_MOUSEMOVE, MK_LBUTTON, Point(0, y));
  return true;
}

bool ReleaseSpinner(HWND spinner, bool cancel) {
  auto* s = ImplAs<SpinnerImpl>(spinner);
  if (!s || !s->dragging) return false;
  if (cancel) {
    SendMessageA(spinner, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, Point(0, s->mouseY));
    SendMessageA(spinner, WM_RBUTTONUP, 0, Point(0, s->mouseY));
  } else {
    SendMessageA(spinner, WM_LBUTTONUP, 0, Point(0, s->mouseY));
  }
  return true;
}

bool ResetSpinner(HWND spinner) {
  if (!ReachableControl<SpinnerImpl>(spinner)) return false;
  SendMessageA(spinner, WM_RBUTTONDOWN, MK_RBUTTON, Centre(spinner));
  SendMessageA(spinner, WM_RBUTTONUP, 0, Centre(spinner));
  return true;
}

bool ClickSpinnerArrow(HWND spinner, bool up) {
  if (!ReachableControl<SpinnerImpl>(spinner)) return false;
  RECT r{};
  GetClientRect(spinner, &r);
  const LPARAM at = Point(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
  SendMessageA(spinner, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(spinner, WM_LBUTTONUP, 0, at);
  return true;
}

bool PickColors(HWND swatch, const std::vector<COLORREF>& tried, std::optional<COLORREF> chosen) {
  if (!ReachableControl<SwatchImpl>(swatch)) return false;
  ColorPicker previous = SetColorPicker([&tried, chosen](HWND, COLORREF& color, const std::function<void(COLORREF)>& interim) {
    for (COLORREF c : tried) interim(c);
    if (!chosen) return false;
    color = *chosen;
    return true;
  });
  SendMessageA(swatch, WM_LBUTTONDOWN, MK_LBUTTON, Centre(swatch));
  SendMessageA(swatch, WM_LBUTTONUP, 0, Centre(swatch));
  SetColorPicker(std::move(previous));
  return true;
}

bool CustImageState(HWND image, HIMAGELIST* list, int* index, int* width, int* height) {
  auto* i = ImplAs<ImageImpl>(image);
  if (!i) return false;
  if (list) *list = i->list;
  if (index) *index = i->index;
  if (width) *width = i->width;
  if (height) *height = i->height;
  return true;
}

int LiveControlObjects() { return LiveControls(); }

}  // namespace tessary::host::test
