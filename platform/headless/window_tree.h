#pragma once
// Inside the headless subset: the window tree and the state of the one
// user-interface thread (windows, classes, the message queue, timers, keys,
// focus and capture), shared by the sources that implement the Win32
// functions. Internal to the subset; nothing outside platform/headless but
// the tests' look-inside hooks includes it.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/win32.h"

namespace tessary::headless {

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

// The one user-interface state of the process (window.cpp).
State& S();

inline std::string Upper(const char* s) {
  std::string out(s ? s : "");
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

inline Window* W(HWND h) {
  if (!h) return nullptr;
  auto it = S().windows.find(reinterpret_cast<std::uintptr_t>(h));
  return it == S().windows.end() ? nullptr : it->second.get();
}

inline HWND H(const Window* w) { return reinterpret_cast<HWND>(w->handle); }

inline void NotifyParent(HWND hwnd, WORD code) {
  Window* w = W(hwnd);
  if (!w || !w->parent) return;
  SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code), reinterpret_cast<LPARAM>(hwnd));
}

inline int ScrollIndex(int bar) { return bar == SB_CTL ? 2 : (bar == SB_VERT ? 1 : 0); }

inline void ClampScroll(ScrollInfo& s) {
  if (s.max < s.min) {
    s.pos = s.min;
    return;
  }
  s.pos = std::clamp(s.pos, s.min, s.max);
}

inline HINSTANCE Program() { return GetModuleHandleA(nullptr); }
inline HINSTANCE Module(HINSTANCE instance) { return instance ? instance : Program(); }

// The class a window of `instance` gets for `name`: the module's own class,
// else a global class, else a built-in one (window.cpp).
const ClassInfo* FindClass(const char* name, HINSTANCE instance);
// Registers the built-in classes once (controls.cpp).
void EnsureBuiltins();
// Makes a window of a registered class; every window but a dialog gets
// WM_CREATE. A dialog's own procedure is dlgProc, which the dialog class's
// shell calls. Null when the class is unknown or the creation fails
// (window.cpp).
HWND Create(DWORD exStyle, const char* className, const char* name, DWORD style, RECT rect, HWND parent, int id,
            HINSTANCE instance, LPVOID param, DLGPROC dlgProc);
// The next message of the thread, without waiting: posted messages first,
// then a paint of a visible window marked for it, then a due timer
// (messages.cpp).
bool NextMessage(MSG* out, bool remove);
// Sleeps until the earliest timer is due; false when there is none
// (messages.cpp).
bool WaitForTimer();
// Builds a dialog and its controls from the module's resource script and
// sends WM_INITDIALOG; templateId receives the numeric template name, or -1
// (dialogs.cpp).
HWND CreateFromTemplate(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param, int* templateId);

}  // namespace tessary::headless
