#pragma once
// The headless Win32 subset: exactly the window, dialog, control, message and
// resource functions the plug-in's panels and the host's custom controls call,
// with the behaviour they have on Windows. Windows form a tree with IDs,
// texts, visibility and enabled state; messages are sent at once or posted
// and delivered by PumpMessages(); dialogs are built from the resource script
// of the module whose instance handle they are given.
//
// Everything runs on one user-interface thread, as on Windows. Handles of
// destroyed windows become invalid: every function given one fails the way
// Win32 does (returns 0, FALSE or null) and touches nothing.
//
// One header, as <windows.h> is one: the declarations of the whole subset
// with what each guarantees, which is why it is longer than most.

#include <cstddef>

#include "platform/headless/win32_types.h"

using SHORT = short;
using INT = int;
using LPINT = int*;
using LPRECT = RECT*;
using ATOM = WORD;
using HMENU = HWND__*;  // control IDs travel in the menu argument, as on Windows
using HICON = void*;
using HCURSOR = void*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HFONT__;
using HFONT = HFONT__*;
using LPPOINT = POINT*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void(CALLBACK*)(HWND, UINT, UINT_PTR, DWORD);
using WNDENUMPROC = BOOL(CALLBACK*)(HWND, LPARAM);

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
using LPMSG = MSG*;

struct SIZE {
  LONG cx;
  LONG cy;
};

constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
  return static_cast<WPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
  return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
// Resource names: small integers travel in the pointer, as on Windows.
inline LPSTR MAKEINTRESOURCEA(int id) {
  return reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<WORD>(id)));
}
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<UINT_PTR>(name) >> 16) == 0; }

// ---- Messages ----
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_GETFONT = 0x0031;
inline constexpr UINT WM_GETDLGCODE = 0x0087;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_PRINTCLIENT = 0x0318;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT DM_GETDEFID = WM_USER + 0;
inline constexpr WORD DC_HASDEFID = 0x534B;

inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;

// What a control asks of the dialog manager (WM_GETDLGCODE).
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTTAB = 0x0002;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
inline constexpr LRESULT DLGC_HASSETSEL = 0x0008;
inline constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
inline constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
inline constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;
inline constexpr LRESULT DLGC_STATIC = 0x0100;
inline constexpr LRESULT DLGC_BUTTON = 0x2000;

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_CLICK = 0x00F5;

inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_DELETESTRING = 0x0144;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_INSERTSTRING = 0x014A;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr LRESULT CB_ERR = -1;

// Notification codes (high word of WM_COMMAND's wParam).
inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD CBN_SELCHANGE = 1;
inline constexpr WORD CBN_SETFOCUS = 3;
inline constexpr WORD CBN_KILLFOCUS = 4;
inline constexpr WORD CBN_DROPDOWN = 7;
inline constexpr WORD CBN_CLOSEUP = 8;
inline constexpr WORD CBN_SELENDOK = 9;
inline constexpr WORD CBN_SELENDCANCEL = 10;
inline constexpr WORD EN_SETFOCUS = 0x0100;
inline constexpr WORD EN_KILLFOCUS = 0x0200;
inline constexpr WORD EN_CHANGE = 0x0300;

// ---- Window and control styles ----
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;

inline constexpr DWORD DS_3DLOOK = 0x0004;
inline constexpr DWORD DS_FIXEDSYS = 0x0008;
inline constexpr DWORD DS_SETFONT = 0x0040;
inline constexpr DWORD DS_MODALFRAME = 0x0080;
inline constexpr DWORD DS_CONTROL = 0x0400;
inline constexpr DWORD DS_CENTER = 0x0800;

inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_CHECKBOX = 0x2;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x3;
inline constexpr DWORD BS_RADIOBUTTON = 0x4;
inline constexpr DWORD BS_3STATE = 0x5;
inline constexpr DWORD BS_AUTO3STATE = 0x6;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
inline constexpr DWORD BS_TYPEMASK = 0xF;
inline constexpr DWORD BS_LEFTTEXT = 0x20;

inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_CENTER = 0x1;
inline constexpr DWORD SS_RIGHT = 0x2;
inline constexpr DWORD SS_NOPREFIX = 0x80;
inline constexpr DWORD SS_NOTIFY = 0x100;
inline constexpr DWORD SS_SUNKEN = 0x1000;

inline constexpr DWORD ES_LEFT = 0x0;
inline constexpr DWORD ES_CENTER = 0x1;
inline constexpr DWORD ES_RIGHT = 0x2;
inline constexpr DWORD ES_MULTILINE = 0x4;
inline constexpr DWORD ES_AUTOHSCROLL = 0x80;
inline constexpr DWORD ES_READONLY = 0x800;
inline constexpr DWORD ES_NUMBER = 0x2000;

inline constexpr DWORD CBS_SIMPLE = 0x1;
inline constexpr DWORD CBS_DROPDOWN = 0x2;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x3;
inline constexpr DWORD CBS_AUTOHSCROLL = 0x40;
inline constexpr DWORD CBS_SORT = 0x100;

inline constexpr DWORD SBS_HORZ = 0x0;
inline constexpr DWORD SBS_VERT = 0x1;

// ---- Other constants ----
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;

inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;
inline constexpr UINT BST_INDETERMINATE = 2;

inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_CTL = 2;
inline constexpr int SB_LINEUP = 0;
inline constexpr int SB_LINEDOWN = 1;
inline constexpr int SB_PAGEUP = 2;
inline constexpr int SB_PAGEDOWN = 3;
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int SB_TOP = 6;
inline constexpr int SB_BOTTOM = 7;
inline constexpr int SB_ENDSCROLL = 8;
inline constexpr UINT ESB_ENABLE_BOTH = 0;
inline constexpr UINT ESB_DISABLE_BOTH = 3;

inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_HINSTANCE = -6;
inline constexpr int GWLP_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWLP_USERDATA = -21;
// Dialog windows: the message result, the dialog procedure and a user slot.
inline constexpr int DWLP_MSGRESULT = 0;
inline constexpr int DWLP_DLGPROC = 8;
inline constexpr int DWLP_USER = 16;
inline constexpr int DLGWINDOWEXTRA = 24;

inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_OEM_MINUS = 0xBD;
inline constexpr int VK_OEM_PERIOD = 0xBE;

// Mouse-message key flags (wParam).
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;

// Image list flags.
inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR = 0x0000;
inline constexpr UINT ILC_COLORDDB = 0x00FE;
inline constexpr UINT ILC_COLOR24 = 0x0018;

// The class name of dialog windows.
inline constexpr const char* WC_DIALOG = "#32770";

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr UINT CS_GLOBALCLASS = 0x4000;

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;  // bytes of per-window storage, read with Get/SetWindowLongPtrA(hwnd, offset)
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

// What WM_CREATE's lParam points to.
struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

// ---- Window classes and windows ----
// Classes "Button", "Static", "Edit", "ComboBox", "ScrollBar" and the dialog
// class are built in. Class names compare without regard to case and are
// reported as registered. A class belongs to the module that registers it
// (a null instance is the program): windows of other modules, the controls
// of their dialog templates among them, find it only when it was registered
// with CS_GLOBALCLASS. A module cannot register a name twice.
ATOM RegisterClassA(const WNDCLASSA* wc);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// Creates a window of a registered class. WM_CREATE is sent before it returns;
// a window procedure that answers -1 to it makes the creation fail (null).
// For a child window (WS_CHILD) hMenu carries the control ID.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);

// Moves the focus out of the window (to its parent for a child window),
// sends WM_DESTROY to the window, then destroys its children (each gets
// WM_DESTROY), then WM_NCDESTROY, and forgets the handles. Posted messages
// for them are dropped.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

HWND GetParent(HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);  // direct children only; null when absent
int GetDlgCtrlID(HWND hwnd);
int GetClassNameA(HWND hwnd, LPSTR buffer, int size);
BOOL IsChild(HWND parent, HWND hwnd);  // hwnd is a descendant of parent
// GW_CHILD: the first child; GW_HWNDNEXT: the next sibling (creation order).
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_CHILD = 5;
HWND GetWindow(HWND hwnd, UINT relation);
// The top-level windows of the thread (there is one thread), oldest first,
// until proc returns FALSE.
DWORD GetCurrentThreadId();
BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam);

// Returns whether the window was visible before. IsWindowVisible is true only
// when the window and all its ancestors have the visible style. Hiding the
// window that has the focus (or an ancestor of it) gives the focus to the
// window's parent.
BOOL ShowWindow(HWND hwnd, int command);
BOOL IsWindowVisible(HWND hwnd);
// Returns nonzero when the window was disabled before. A change sends
// WM_ENABLE; disabling the window with the focus leaves no focus.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

// ---- Focus and mouse capture ----
// SetFocus sends WM_KILLFOCUS to the window losing the focus (wParam: the
// one gaining it), then WM_SETFOCUS to the new one (wParam: the old);
// returns the old. A null window removes the focus.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// The next (or previous) child of the dialog after control that is visible,
// enabled and has WS_TABSTOP, wrapping around; control null: the first.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
// Capture: the window that gets the mouse. Changing it sends
// WM_CAPTURECHANGED (lParam: the new one) to the window losing it.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// Window text. GetWindowTextA copies at most size - 1 characters and a NUL;
// it returns the number copied.
BOOL SetWindowTextA(HWND hwnd, LPCSTR text);
int GetWindowTextA(HWND hwnd, LPSTR buffer, int size);
int GetWindowTextLengthA(HWND hwnd);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);

// GWLP_USERDATA, GWLP_ID, GWLP_WNDPROC, GWLP_HINSTANCE, GWL_STYLE, the
// dialog slots DWLP_*, and offsets 0 .. cbWndExtra - 8 of a registered class.
// An index that is none of these fails (0).
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);

// Positions are kept in dialog units, which the headless subset uses as
// pixels; a window has no frame, so its client area is its whole rectangle.
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL PtInRect(const RECT* rect, POINT p);
BOOL InflateRect(LPRECT rect, int dx, int dy);

// ---- Messages ----
// SendMessageA calls the window's procedure at once and returns its result.
// PostMessageA queues the message for PumpMessages(); both fail on an
// invalid handle.
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);

// Marks the window for painting: the next pump sends it one WM_PAINT however
// often it was invalidated. UpdateWindow paints a marked window at once.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL UpdateWindow(HWND hwnd);
// Whether the window is marked for painting (rect, when given, gets its
// client rectangle).
BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase);

// Delivers every posted message in order (including those posted while
// delivering), then one WM_PAINT to each visible window marked for painting,
// then due timers, and repeats until nothing is left; timers are not waited
// for. Returns the number of messages delivered: a PeekMessageA loop.
int PumpMessages();

// The message loop. PeekMessageA takes (PM_REMOVE) or looks at the next
// message of the thread: a posted one, else WM_PAINT for a window marked for
// painting, else WM_TIMER for a timer that is due; FALSE when there is none.
// Only a null window filter and an empty message range are supported.
// GetMessageA waits for a due timer when nothing else is there and returns
// FALSE (as for WM_QUIT) when nothing can come any more.
BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
// Posts WM_CHAR for a WM_KEYDOWN of a key that types a character.
BOOL TranslateMessage(const MSG* msg);
// Calls the window's procedure, or a timer's own procedure for WM_TIMER.
LRESULT DispatchMessageA(const MSG* msg);
// The dialog manager's keyboard handling for a message of dialog (or of one
// of its controls): Tab and Shift+Tab move the focus, Return presses the
// default button (IDOK when there is none), Escape presses IDCANCEL, unless
// the focused control claims the key through WM_GETDLGCODE. Other messages
// of the dialog are translated and dispatched. TRUE when handled.
BOOL IsDialogMessageA(HWND dialog, LPMSG msg);

// ---- Timers ----
// A timer of a window (or of the thread, for a null window: the id is then
// chosen and returned) posts WM_TIMER every `elapse` milliseconds of real
// time (at least 10); a timer procedure, when given, gets it instead of the
// window. Setting an existing timer again restarts it.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
DWORD GetTickCount();

// ---- Keyboard ----
// High bit set (negative) while the key is down: the thread's key state,
// which SetKeyboardState sets (256 bytes, high bit = down).
SHORT GetKeyState(int virtualKey);
BOOL GetKeyboardState(BYTE* keys);
BOOL SetKeyboardState(BYTE* keys);

// ---- Buttons ----
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

// ---- Scroll bars ----
// bar is SB_CTL for a scroll-bar control, SB_VERT or SB_HORZ for a window's
// own bars. A position is kept inside the range. A reversed range (max <
// min) is not kept: it becomes 0 .. 0, as on Windows.
int SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);  // returns the previous position
int GetScrollPos(HWND hwnd, int bar);
BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows);

// ---- Dialogs ----
// Both build the dialog from template `name` of the module `instance` (a
// null instance means the program itself), create every control, send
// WM_INITDIALOG with `param` to the dialog procedure, and give it the
// resource's caption and position.
//
// CreateDialogParamA returns the modeless dialog, or null when the template
// is missing or a control's class is not registered.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param);
// Both send WM_SETFONT to every control and, when WM_INITDIALOG returns
// TRUE, give the focus to the first control that takes Tab.
//
// DialogBoxParamA runs the dialog modally: it disables the owner, shows the
// dialog and runs the message loop (IsDialogMessageA, then TranslateMessage
// and DispatchMessageA, waiting for timers) until EndDialog; it returns the
// value given to EndDialog, or -1 when the dialog cannot be created. The user
// answers from inside the loop (a timer or a posted message). A dialog that
// nothing can reach any more (no message, no timer) would wait for ever on
// Windows; headless it is cancelled as by the Escape key (WM_COMMAND
// IDCANCEL), and if that does not end it either it is destroyed and -1
// returned.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);

// ---- Strings and bitmaps ----
// Copies string `id` of the module into buffer (at most size - 1 characters
// and a NUL) and returns its length; 0 when the string, the module's
// resources or the buffer are missing. size 0 makes it return nothing.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
// Loads a bitmap resource (a 24- or 32-bit uncompressed BMP file named by the
// script); null when missing or malformed. Free it with DeleteObject.
HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name);
int GetObjectA(HGDIOBJ object, int size, LPVOID out);  // fills a BITMAP
BOOL DeleteObject(HGDIOBJ object);

// ---- Common controls ----
// Registers the common control classes; the headless subset has them built
// in, so it only counts the call (the tests can read the count).
void InitCommonControls();

// ---- Image lists ----
HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
// Adds the bitmap's images (its width divided by the list's image width; the
// pixels are copied, so the bitmap may be deleted afterwards); returns the
// index of the first, or -1 when the list or bitmap is invalid or the bitmap
// is narrower or lower than one image. The list grows as needed.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_Destroy(HIMAGELIST list);

// ---- Painting ----
// Headless there is no screen: the drawing functions check their arguments
// and draw nothing. BeginPaint validates the window and gives a device
// context for it; what the controls draw is tested on Windows.
struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
inline constexpr int DEFAULT_GUI_FONT = 17;
inline constexpr UINT BDR_RAISEDOUTER = 0x0001;
inline constexpr UINT BDR_SUNKENOUTER = 0x0002;
inline constexpr UINT BDR_RAISEDINNER = 0x0004;
inline constexpr UINT BDR_SUNKENINNER = 0x0008;
inline constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr UINT BF_RECT = 0x000F;
inline constexpr UINT BF_ADJUST = 0x2000;
inline constexpr UINT DFC_SCROLL = 3;
inline constexpr UINT DFCS_SCROLLUP = 0x0000;
inline constexpr UINT DFCS_SCROLLDOWN = 0x0001;
inline constexpr UINT DFCS_INACTIVE = 0x0100;
inline constexpr UINT DFCS_PUSHED = 0x0200;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_NOPREFIX = 0x0800;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;
inline constexpr UINT ILD_NORMAL = 0x0000;

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);
HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);
BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
int DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format);
// Every character is 6 pixels wide and 13 high (the dialog font's averages).
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);

// The caret of the window with the focus.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);
BOOL SetCaretPos(int x, int y);

// ---- Module handles ----
// The handle of the program itself (the loader's handle of the main program).
HINSTANCE GetModuleHandleA(LPCSTR name);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, the module that holds the
// address given as the name.
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;
BOOL GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module);
