#pragma once
// Hooks for tests of the headless subset only: they look inside it (every
// window, the queue, the timers) and reset it. Test-only code
// (tessary_test_support, built where the subset is). Tests that act as a user do it through Win32 messages
// (tests/support/win32_user.h), the same on Windows and here.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/headless/win32.h"

namespace tessary::headless::test {

// Finding windows.
std::vector<HWND> TopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);
HWND FindByText(HWND root, const std::string& text);  // root null: every window
std::size_t LiveWindowCount();
std::size_t PostedMessageCount();
std::size_t TimerCount();

// Destroys every window and image list, frees every bitmap, and clears the
// message queue, timers, keys, focus and capture: a fresh user interface per
// test.
void ResetAll();

// How often InitCommonControls was called.
int InitCommonControlsCount();

}  // namespace tessary::headless::test
