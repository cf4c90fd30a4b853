#pragma once
// A person at the keyboard and mouse, for tests: everything goes through
// Win32 messages and functions, so the same test runs on Windows (under
// Wine) and on the headless subset.

#include <cstddef>
#include <functional>
#include <string>

#include "platform/win32.h"

namespace tessary::testsupport {

// Destroys every top-level window of this thread, lets the keys go and
// forgets unanswered dialogs: a fresh user interface.
void ResetUserInterface();

// Runs the thread's message loop until nothing waits (posted messages,
// paints, due timers; timers are not waited for). Returns the messages
// dispatched.
int Pump();

// Whether a person could reach the window: it and the windows around it are
// visible and enabled.
bool Reachable(HWND hwnd);

// A click: a standard button gets BM_CLICK (the mouse goes down and up on
// it), any other control a press and release of the left button at its
// centre. False, doing nothing, when the control cannot be reached.
bool ClickButton(HWND button);
bool ClickDlgButton(HWND dialog, int id);
// Picks entry `index` of a drop-down list with the mouse: the list takes the
// focus and opens, the entry is selected, the list closes; the parent hears
// CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK and CBN_CLOSEUP
// as on Windows.
bool PickComboItem(HWND combo, int index);
// A scroll-bar control used with the mouse: its parent gets WM_VSCROLL (a
// vertical bar) or WM_HSCROLL with the code and thumb position.
bool ScrollAction(HWND scrollBar, int code, int thumbPos);
// Holds a key down (or lets it go) in the thread's keyboard state.
void SetKeyDown(int virtualKey, bool down);
// Gives the window the keyboard focus, as a click into it would.
void Focus(HWND hwnd);
// Posts a key press (down and up) to the window with the focus; the loop
// that runs next handles it: in a modal dialog, the dialog manager.
void PressKey(int virtualKey);

// Modal dialogs block in their own message loop: a test answers the next one
// from inside that loop. The answer runs once the dialog is up (a modal
// dialog of this thread whose owner is disabled), acting as a person would
// (typing, clicking OK or Cancel, pressing keys).
void AnswerNextDialog(std::function<void(HWND dialog)> answer);
std::size_t PendingAnswers();

// Window text and class.
std::string Text(HWND hwnd);
std::string ClassName(HWND hwnd);
// The first child of `parent` (direct children only) whose control ID is id.
HWND ChildWithId(HWND parent, int id);

}  // namespace tessary::testsupport
