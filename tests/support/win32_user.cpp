#include "tests/support/win32_user.h"

#include <deque>
#include <vector>

#include "host/sdk/custcont.h"
#ifndef _WIN32
#include "tests/support/headless_test_hooks.h"
#endif

namespace tessary::testsupport {

namespace {

std::deque<std::function<void(HWND)>>& Answers() {
  static std::deque<std::function<void(HWND)>> answers;
  return answers;
}
UINT_PTR answerTimer = 0;

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// The modal dialog now running: a visible, enabled dialog window whose owner
// is disabled.
HWND RunningModalDialog() {
  for (HWND w : TopLevelWindows()) {
    if (ClassName(w) != "#32770" || !IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
    HWND owner = GetParent(w);
    if (!owner || !IsWindowEnabled(owner)) return w;
  }
  return nullptr;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = RunningModalDialog();
  if (!dialog || Answers().empty()) return;
  std::function<void(HWND)> answer = std::move(Answers().front());
  Answers().pop_front();
  if (Answers().empty() && answerTimer) {
    KillTimer(nullptr, answerTimer);
    answerTimer = 0;
  }
  answer(dialog);
}

}  // namespace

void ResetUserInterface() {
  Answers().clear();
  if (answerTimer) KillTimer(nullptr, answerTimer);
  answerTimer = 0;
  BYTE keys[256] = {};
  SetKeyboardState(keys);
  host::SetColorPicker(nullptr);
  if (GetCapture()) ReleaseCapture();
#ifdef _WIN32
  for (int round = 0; round < 4; ++round) {
    std::vector<HWND> windows = TopLevelWindows();
    if (windows.empty()) break;
    for (HWND w : windows)
      if (IsWindow(w)) DestroyWindow(w);
  }
  Pump();
#else
  headless::test::ResetAll();
#endif
}

int Pump() {
  int n = 0;
  MSG m;
  while (n < 100000 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
    ++n;
  }
  return n;
}

bool Reachable(HWND hwnd) {
  if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return false;
  for (HWND h = hwnd; h; h = (GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr)
    if (!IsWindowEnabled(h)) return false;
  return true;
}

bool ClickButton(HWND button) {
  if (!Reachable(button)) return false;
  if (ClassName(button) == "Button") {
    SendMessageA(button, BM_CLICK, 0, 0);
    return true;
  }
  RECT r{};
  GetClientRect(button, &r);
  const LPARAM at = MAKELPARAM(static_cast<WORD>(r.right / 2), static_cast<WORD>(r.bottom / 2));
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
  if (IsWindow(button)) SendMessageA(button, WM_LBUTTONUP, 0, at);
  return true;
}

bool ClickDlgButton(HWND dialog, int id) { return ClickButton(GetDlgItem(dialog, id)); }

bool PickComboItem(HWND combo, int index) {
  if (!Reachable(combo) || ClassName(combo) != "ComboBox") return false;
  const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  if (index < 0 || index >= count) return false;
  HWND parent = GetParent(combo);
  const auto id = static_cast<WORD>(GetDlgCtrlID(combo));
  auto notify = [&](WORD code) {
    if (IsWindow(combo)) SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(combo));
  };
  Focus(combo);
  notify(CBN_DROPDOWN);
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  notify(CBN_SELCHANGE);
  notify(CBN_SELENDOK);
  notify(CBN_CLOSEUP);
  return true;
}

bool ScrollAction(HWND scrollBar, int code, int thumbPos) {
  if (!Reachable(scrollBar) || ClassName(scrollBar) != "ScrollBar") return false;
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(scrollBar, GWL_STYLE));
  const UINT msg = (style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
  SendMessageA(GetParent(scrollBar), msg, MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(thumbPos)),
               reinterpret_cast<LPARAM>(scrollBar));
  return true;
}

void SetKeyDown(int virtualKey, bool down) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[virtualKey & 0xFF] = down ? 0x80 : 0x00;
  SetKeyboardState(keys);
}

void Focus(HWND hwnd) {
  if (GetFocus() == hwnd) return;
  SetFocus(hwnd);
}

void PressKey(int virtualKey) {
  HWND focus = GetFocus();
  if (!focus) return;
  PostMessageA(focus, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
  PostMessageA(focus, WM_KEYUP, static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(0xC0000001u));
}

void AnswerNextDialog(std::function<void(HWND)> answer) {
  Answers().push_back(std::move(answer));
  if (!answerTimer) answerTimer = SetTimer(nullptr, 0, 10, AnswerTimer);
}

std::size_t PendingAnswers() { return Answers().size(); }

std::string Text(HWND hwnd) {
  char buf[4096] = {};
  GetWindowTextA(hwnd, buf, sizeof buf);
  return buf;
}

std::string ClassName(HWND hwnd) {
  char buf[256] = {};
  GetClassNameA(hwnd, buf, sizeof buf);
  return buf;
}

HWND ChildWithId(HWND parent, int id) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetDlgCtrlID(c) == id) return c;
  return nullptr;
}

}  // namespace tessary::testsupport
