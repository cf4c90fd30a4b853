#pragma once
// The material editor's rollup panel (Windows): the pages a map's editor adds
// are dialogs made from its templates, stacked one under another, each under
// a title bar that rolls it up or out when clicked ("-" open, "+" rolled
// up), inside an etched frame. The panel scrolls vertically (its scroll bar
// and the mouse wheel) when the stack is taller than the panel.

#include <string>
#include <vector>

#include "platform/win32.h"
#include "host/runtime/runtime_only.h"

namespace tessary::host::editor {

// Registers a window class of the editor once (later calls find it and do
// nothing): the arrow cursor, the dialog face as background unless
// `background` says otherwise, `extraBytes` of window storage.
bool RegisterEditorClass(HINSTANCE instance, const char* name, WNDPROC proc, int extraBytes = 0,
                         HBRUSH background = GetSysColorBrush(COLOR_BTNFACE));

// AddPage flag: the page starts rolled up.
inline constexpr DWORD kPageRolledUp = 1;

// Class names of the panel and its title bars.
inline constexpr const char* kRollupPanelClass = "TessaryRollupPanel";
inline constexpr const char* kRollupTitleClass = "TessaryRollupTitle";

class RollupPanel {
 public:
  // Registers the window classes (once per program; later calls do nothing).
  static bool RegisterClasses(HINSTANCE instance);

  RollupPanel() = default;
  ~RollupPanel();
  RollupPanel(const RollupPanel&) = delete;
  RollupPanel& operator=(const RollupPanel&) = delete;

  // Makes the panel as a child window of parent covering `area`; titles use
  // `font` (kept by the caller).
  bool Create(HWND parent, const RECT& area, HFONT font);
  HWND Hwnd() const { return hwnd_; }

  // Makes a page from dialog template dlgId of instance with the procedure
  // and creation parameter (WM_INITDIALOG runs before this returns), titled
  // `title`, at the end of the stack. Null when the dialog cannot be made.
  HWND AddPage(HINSTANCE instance, int dlgId, DLGPROC proc, const char* title, LPARAM param, DWORD flags);
  // Removes the page (its window and title bar). Other windows are ignored.
  void DeletePage(HWND page);
  // Removes every page, last first.
  void DeleteAllPages();

  int PageCount() const { return static_cast<int>(pages_.size()); }
  HWND PageWindow(int i) const;
  HWND TitleWindow(int i) const;
  std::vector<std::string> Titles() const;
  bool IsOpen(int i) const;
  void SetOpen(int i, bool open);
  // Scrolls the panel so that page i's title is at the top (as far as the
  // stack allows).
  void ShowPage(int i);
  int ScrollPosition() const { return scroll_; }
  // The height of the whole stack, and the client width the widest page
  // needs (margins and frame included).
  int ContentHeight() const { return contentHeight_; }
  int ContentWidth() const;
  // The page window that `window` is or lies in; null when it is outside
  // every page.
  HWND PageOf(HWND window) const;

 private:
  struct Page {
    HWND title = nullptr;
    HWND dialog = nullptr;
    std::string text;
    bool open = true;
    int width = 0;
    int height = 0;
  };
  // Where each part of every page goes at a scroll position.
  struct Placement {
    RECT title;
    RECT frame;  // the etched frame under the title, around the open page
    POINT page;
  };

  std::vector<Placement> Place(int scroll) const;
  void Layout();
  void ScrollTo(int position);
  int FrameWidth() const;
  int ClientHeight() const;
  int IndexOfTitle(HWND title) const;
  void Paint();

  static LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TitleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  std::vector<Page> pages_;
  int scroll_ = 0;
  int contentHeight_ = 0;
};

}  // namespace tessary::host::editor
