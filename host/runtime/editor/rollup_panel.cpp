#include "host/runtime/editor/rollup_panel.h"

#include <algorithm>

namespace tessary::host::editor {

namespace {

// Layout in pixels: the space around the stack and between rollouts, the
// title bar's height, the etched frame's width and the space between the
// frame and its page.
constexpr int kMargin = 3;
constexpr int kGap = 3;
constexpr int kTitleHeight = 16;
constexpr int kFrame = 2;
constexpr int kPad = 1;
// Scrolling: one line, and one wheel notch.
constexpr int kLine = 16;
constexpr int kWheelStep = 48;

RollupPanel* PanelOf(HWND hwnd) { return reinterpret_cast<RollupPanel*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

}  // namespace

bool RegisterEditorClass(HINSTANCE instance, const char* name, WNDPROC proc, int extraBytes, HBRUSH background) {
  WNDCLASSA wc{};
  if (GetClassInfoA(instance, name, &wc)) return true;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = extraBytes;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0;
}

bool RollupPanel::RegisterClasses(HINSTANCE instance) {
  return RegisterEditorClass(instance, kRollupPanelClass, PanelProc) &&
         RegisterEditorClass(instance, kRollupTitleClass, TitleProc);
}

RollupPanel::~RollupPanel() {
  DeleteAllPages();
  if (hwnd_) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool RollupPanel::Create(HWND parent, const RECT& area, HFONT font) {
  font_ = font;
  hwnd_ = CreateWindowExA(0, kRollupPanelClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN,
                          area.left, area.top, area.right - area.left, area.bottom - area.top, parent, nullptr,
                          reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
  if (!hwnd_) return false;
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  Layout();
  return true;
}

HWND RollupPanel::AddPage(HINSTANCE instance, int dlgId, DLGPROC proc, const char* title, LPARAM param,
                          DWORD flags) {
  if (!hwnd_) return nullptr;
  HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(dlgId), hwnd_, proc, param);
  if (!dialog) return nullptr;
  Page page;
  page.dialog = dialog;
  page.text = title ? title : "";
  page.open = (flags & kPageRolledUp) == 0;
  RECT r{};
  GetWindowRect(dialog, &r);
  page.width = r.right - r.left;
  page.height = r.bottom - r.top;
  page.title = CreateWindowExA(0, kRollupTitleClass, page.text.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, hwnd_,
                               nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)),
                               nullptr);
  if (page.title) SetWindowLongPtrA(page.title, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  pages_.push_back(page);
  Layout();
  return dialog;
}

void RollupPanel::DeletePage(HWND page) {
  for (auto it = pages_.begin(); it != pages_.end(); ++it) {
    if (it->dialog != page) continue;
    const Page gone = *it;
    pages_.erase(it);
    if (gone.title) DestroyWindow(gone.title);
    if (gone.dialog) DestroyWindow(gone.dialog);
    Layout();
    return;
  }
}

void RollupPanel::DeleteAllPages() {
  while (!pages_.empty()) DeletePage(pages_.back().dialog);
}

HWND RollupPanel::PageWindow(int i) const {
  return i >= 0 && i < PageCount() ? pages_[static_cast<std::size_t>(i)].dialog : nullptr;
}

HWND RollupPanel::TitleWindow(int i) const {
  return i >= 0 && i < PageCount() ? pages_[static_cast<std::size_t>(i)].title : nullptr;
}

std::vector<std::string> RollupPanel::Titles() const {
  std::vector<std::string> titles;
  for (const Page& p : pages_) titles.push_back(p.text);
  return titles;
}

bool RollupPanel::IsOpen(int i) const { return i >= 0 && i < PageCount() && pages_[static_cast<std::size_t>(i)].open; }

void RollupPanel::SetOpen(int i, bool open) {
  if (i < 0 || i >= PageCount()) return;
  Page& p = pages_[static_cast<std::size_t>(i)];
  if (p.open == open) return;
  p.open = open;
  Layout();
}

void RollupPanel::ShowPage(int i) {
  if (i < 0 || i >= PageCount()) return;
  const std::vector<Placement> places = Place(scroll_);
  ScrollTo(scroll_ + places[static_cast<std::size_t>(i)].title.top - kMargin);
}

int RollupPanel::FrameWidth() const {
  int widest = 0;
  for (const Page& p : pages_) widest = std::max(widest, p.width);
  return widest + 2 * (kFrame + kPad);
}

int RollupPanel::ContentWidth() const { return 2 * kMargin + FrameWidth(); }

int RollupPanel::ClientHeight() const {
  RECT r{};
  if (hwnd_) GetClientRect(hwnd_, &r);
  return r.bottom - r.top;
}

HWND RollupPanel::PageOf(HWND window) const {
  for (const Page& p : pages_) {
    if (window == p.dialog || IsChild(p.dialog, window)) return p.dialog;
  }
  return nullptr;
}

int RollupPanel::IndexOfTitle(HWND title) const {
  for (std::size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i].title == title) return static_cast<int>(i);
  return -1;
}

std::vector<RollupPanel::Placement> RollupPanel::Place(int scroll) const {
  std::vector<Placement> places;
  const int left = kMargin;
  const int width = FrameWidth();
  int y = kMargin - scroll;
  for (const Page& p : pages_) {
    Placement at{};
    at.title = RECT{left, y, left + width, y + kTitleHeight};
    y += kTitleHeight;
    at.page = POINT{left + kFrame + kPad + (width - 2 * (kFrame + kPad) - p.width) / 2, y + kPad};
    if (p.open) y += kPad + p.height + kPad + kFrame;
    at.frame = RECT{left, at.title.bottom - kFrame, left + width, y};
    places.push_back(at);
    y += kGap;
  }
  return places;
}

void RollupPanel::Layout() {
  if (!hwnd_) return;
  // The height of the stack does not depend on the scroll position.
  const std::vector<Placement> unscrolled = Place(0);
  contentHeight_ = unscrolled.empty() ? 2 * kMargin : static_cast<int>(unscrolled.back().frame.bottom) + kMargin;
  const int view = ClientHeight();
  scroll_ = std::clamp(scroll_, 0, std::max(0, contentHeight_ - view));

  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  si.nMin = 0;
  si.nMax = std::max(0, contentHeight_ - 1);
  si.nPage = static_cast<UINT>(std::max(0, view));
  si.nPos = scroll_;
  SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
  EnableScrollBar(hwnd_, SB_VERT, contentHeight_ > view ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);

  const std::vector<Placement> places = Place(scroll_);
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    const Page& p = pages_[i];
    const Placement& at = places[i];
    if (p.title) {
      SetWindowPos(p.title, nullptr, at.title.left, at.title.top, at.title.right - at.title.left, kTitleHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(p.title, nullptr, TRUE);
    }
    if (p.open) {
      SetWindowPos(p.dialog, nullptr, at.page.x, at.page.y, p.width, p.height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE | SWP_SHOWWINDOW);
    } else {
      ShowWindow(p.dialog, SW_HIDE);
    }
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void RollupPanel::ScrollTo(int position) {
  const int limit = std::max(0, contentHeight_ - ClientHeight());
  const int clamped = std::clamp(position, 0, limit);
  if (clamped == scroll_) return;
  scroll_ = clamped;
  Layout();
}

void RollupPanel::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  const std::vector<Placement> places = Place(scroll_);
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (!pages_[i].open) continue;
    RECT frame = places[i].frame;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_LEFT | BF_RIGHT | BF_BOTTOM);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK RollupPanel::PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  RollupPanel* self = PanelOf(hwnd);
  if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_PAINT:
      self->Paint();
      return 0;
    case WM_SIZE:
      self->Layout();
      return 0;
    case WM_VSCROLL: {
      const int view = self->ClientHeight();
      int to = self->scroll_;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: to -= kLine; break;
        case SB_LINEDOWN: to += kLine; break;
        case SB_PAGEUP: to -= std::max(kLine, view - kLine); break;
        case SB_PAGEDOWN: to += std::max(kLine, view - kLine); break;
        case SB_TOP: to = 0; break;
        case SB_BOTTOM: to = self->contentHeight_; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO si{};
          si.cbSize = sizeof si;
          si.fMask = SIF_TRACKPOS;
          GetScrollInfo(hwnd, SB_VERT, &si);
          to = si.nTrackPos;
          break;
        }
        default: break;
      }
      self->ScrollTo(to);
      return 0;
    }
    case WM_MOUSEWHEEL:
      self->ScrollTo(self->scroll_ - GET_WHEEL_DELTA_WPARAM(wParam) * kWheelStep / WHEEL_DELTA);
      return 0;
    case WM_NCDESTROY:
      // Destroyed with its parent: the pages went with it.
      self->pages_.clear();
      self->hwnd_ = nullptr;
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK RollupPanel::TitleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  RollupPanel* self = PanelOf(hwnd);
  if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_LBUTTONDOWN: {
      // A click rolls the page up or out.
      const int i = self->IndexOfTitle(hwnd);
      if (i >= 0) self->SetOpen(i, !self->IsOpen(i));
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r{};
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
      const int i = self->IndexOfTitle(hwnd);
      HGDIOBJ old = SelectObject(dc, self->font_ ? static_cast<HGDIOBJ>(self->font_) : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      RECT sign = r;
      sign.left += 4;
      sign.right = sign.left + 10;
      DrawTextA(dc, self->IsOpen(i) ? "-" : "+", 1, &sign, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      char text[256] = {};
      const int n = GetWindowTextA(hwnd, text, sizeof text);
      DrawTextA(dc, text, n, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace tessary::host::editor
