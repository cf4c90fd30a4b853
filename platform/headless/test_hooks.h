#pragma once
// Hooks for tests only: they stand in for the user (keys, clicks, picks,
// answers to modal dialogs) and let a test find and count windows. Product
// code never includes this header.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless/win32.h"

namespace tessary::headless::test {

// Keys: GetKeyState reports the key as held down until released here.
void SetKeyDown(int virtualKey, bool down);

// Modal dialogs: each DialogBoxParamA takes the oldest queued answer and
// calls it with the dialog once WM_INITDIALOG has run. The answer acts as a
// user would (set a spinner, click OK); see DialogBoxParamA for a dialog the
// answer leaves open.
using DialogAnswer = std::function<void(HWND dialog)>;
void QueueDialogAnswer(DialogAnswer answer);
std::size_t PendingDialogAnswers();
// Every modal dialog shown so far, by template number (or -1 for a named
// template), oldest first; cleared by ResetAll.
const std::vector<int>& ShownModalDialogs();

// A user's click on a button: nothing happens (false) unless the button and
// all its ancestors are visible and enabled. Auto check boxes toggle; the
// parent gets WM_COMMAND with BN_CLICKED.
bool ClickButton(HWND button);
bool ClickDlgButton(HWND dialog, int id);
// A user's pick in a combo box list: selects the entry and sends
// WM_COMMAND with CBN_SELCHANGE to the parent. False if out of range or
// the box cannot be used.
bool PickComboItem(HWND combo, int index);
// A user's action on a scroll-bar control: sends WM_VSCROLL (vertical bars)
// or WM_HSCROLL to its parent with the code and thumb position. False if the
// bar is disabled or hidden.
bool ScrollAction(HWND scrollBar, int code, int thumbPos);

// Finding windows.
std::vector<HWND> TopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);
HWND FindByText(HWND root, const std::string& text);  // root null: every window
HWND FindById(HWND root, int id);                     // depth-first, root's descendants
std::size_t LiveWindowCount();
std::size_t PostedMessageCount();
bool NeedsPaint(HWND hwnd);

// Destroys every window and image list, frees every bitmap, and clears the
// message queue, keys and queued answers: a fresh user interface per test.
void ResetAll();

}  // namespace tessary::headless::test
