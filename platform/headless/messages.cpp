// Messages of the headless subset: sending and posting, the queue and the
// message loop, painting, timers and the keyboard.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/headless/window_tree.h"

using namespace tessary::headless;

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(hwnd);
  if (!w || !w->proc) return 0;
  State& s = S();
  if (s.sendDepth > 512) return 0;  // a handler sending to itself without end
  ++s.sendDepth;
  LRESULT r = w->proc(hwnd, msg, wParam, lParam);
  --s.sendDepth;
  return r;
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!W(hwnd)) return FALSE;
  S().queue.push_back(Posted{hwnd, msg, wParam, lParam});
  return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(GetDlgItem(dialog, id), msg, wParam, lParam);
}

BOOL InvalidateRect(HWND hwnd, const RECT* /*rect*/, BOOL /*erase*/) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  w->needsPaint = true;
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* /*rect*/) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  if (w->needsPaint) {
    w->needsPaint = false;
    SendMessageA(hwnd, WM_PAINT, 0, 0);
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL /*erase*/) {
  Window* w = W(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->needsPaint ? RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top} : RECT{};
  return w->needsPaint ? TRUE : FALSE;
}

namespace tessary::headless {

using Clock = std::chrono::steady_clock;

// The next message of the thread, without waiting: posted messages first,
// then a paint of a visible window marked for it, then a due timer.
bool NextMessage(MSG* out, bool remove) {
  State& s = S();
  while (!s.queue.empty()) {
    Posted m = s.queue.front();
    if (!W(m.hwnd)) {
      s.queue.pop_front();
      continue;
    }
    if (remove) s.queue.pop_front();
    *out = MSG{m.hwnd, m.msg, m.wParam, m.lParam, GetTickCount(), POINT{0, 0}};
    return true;
  }
  for (const auto& [h, w] : s.windows) {
    if (w->needsPaint && IsWindowVisible(H(w.get()))) {
      *out = MSG{H(w.get()), WM_PAINT, 0, 0, GetTickCount(), POINT{0, 0}};
      return true;
    }
  }
  const Clock::time_point now = Clock::now();
  for (Timer& t : s.timers) {
    if (t.due <= now) {
      *out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), GetTickCount(), POINT{0, 0}};
      if (remove) t.due = now + std::chrono::milliseconds(t.elapse);
      return true;
    }
  }
  return false;
}

// Sleeps until the earliest timer is due; false when there is none.
bool WaitForTimer() {
  State& s = S();
  if (s.timers.empty()) return false;
  Clock::time_point due = s.timers.front().due;
  for (const Timer& t : s.timers) due = std::min(due, t.due);
  std::this_thread::sleep_until(due);
  return true;
}

namespace {

// The character a key types, for TranslateMessage; 0 for none.
char KeyChar(WPARAM vk) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : vk - 'A' + 'a');
  switch (vk) {
    case VK_RETURN: return '\r';
    case VK_TAB: return '\t';
    case VK_BACK: return '\b';
    case VK_ESCAPE: return 27;
    case VK_SPACE: return ' ';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    default: return 0;
  }
}

}  // namespace
}  // namespace tessary::headless

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  if (!msg || hwnd || filterMin || filterMax) return FALSE;
  return NextMessage(msg, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg || hwnd || filterMin || filterMax) return FALSE;
  for (;;) {
    if (NextMessage(msg, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    if (!WaitForTimer()) return FALSE;
  }
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  const char c = KeyChar(msg->wParam);
  if (!c) return FALSE;
  return PostMessageA(msg->hwnd, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), msg->lParam);
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  Window* w = W(msg->hwnd);
  if (!w) return 0;
  if (msg->message == WM_PAINT) {
    // A window that does not validate itself is not painted again and again.
    w->needsPaint = false;
  }
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
  if (!msg || !W(dialog) || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    const LRESULT code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (!(code & DLGC_WANTMESSAGE)) {
      switch (msg->wParam) {
        case VK_TAB:
          if (code & DLGC_WANTTAB) break;
          if (HWND next = GetNextDlgTabItem(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE)) {
            SetFocus(next);
            if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(next, EM_SETSEL, 0, -1);
          }
          return TRUE;
        case VK_ESCAPE:
          SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(IDCANCEL), BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
          return TRUE;
        case VK_RETURN: {
          HWND focus = GetFocus();
          int id = IDOK;
          if (IsChild(dialog, focus) && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
            id = GetDlgCtrlID(focus);
          } else {
            const auto def = static_cast<DWORD>(SendMessageA(dialog, DM_GETDEFID, 0, 0));
            if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
          }
          SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
          return TRUE;
        }
        default:
          break;
      }
    }
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return TRUE;
}

int PumpMessages() {
  constexpr int kLimit = 1000000;  // a paint handler that always invalidates itself stops here
  int delivered = 0;
  MSG m;
  while (delivered < kLimit && NextMessage(&m, true)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
    ++delivered;
  }
  return delivered;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  State& s = S();
  if (hwnd && !W(hwnd)) return 0;
  if (!hwnd) id = ++s.nextThreadTimer;
  elapse = std::max(elapse, 10u);
  const Clock::time_point due = Clock::now() + std::chrono::milliseconds(elapse);
  for (Timer& t : s.timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t = Timer{hwnd, id, elapse, proc, due};
      return hwnd ? 1 : id;
    }
  }
  s.timers.push_back(Timer{hwnd, id, elapse, proc, due});
  return hwnd ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  return std::erase_if(S().timers, [hwnd, id](const Timer& t) { return t.hwnd == hwnd && t.id == id; }) ? TRUE
                                                                                                          : FALSE;
}

DWORD GetTickCount() {
  return static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

SHORT GetKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  return (S().keys[virtualKey] & 0x80) ? static_cast<SHORT>(-32768) : static_cast<SHORT>(0);
}

BOOL GetKeyboardState(BYTE* keys) {
  if (!keys) return FALSE;
  std::memcpy(keys, S().keys, sizeof S().keys);
  return TRUE;
}

BOOL SetKeyboardState(BYTE* keys) {
  if (!keys) return FALSE;
  std::memcpy(S().keys, keys, sizeof S().keys);
  return TRUE;
}
