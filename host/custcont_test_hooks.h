#pragma once
// Hooks for tests only: they drive the host's custom controls as a user
// would. Each returns false, doing nothing, when the window is not such a
// control or the user could not reach it (hidden or disabled).

#include "host/custcont.h"

namespace tessary::host::test {

// Types text into a custom edit and, with pressEnter, presses Enter: a linked
// spinner takes the value, then the parent gets WM_CUSTEDIT_ENTER.
bool TypeInEdit(HWND edit, const char* text, bool pressEnter = true);
// Presses the spinner's button (first call: CC_SPINNER_BUTTONDOWN) and drags
// it by `steps` steps (negative: down), each sending CC_SPINNER_CHANGE with
// the high word TRUE. The button stays pressed until ReleaseSpinner.
bool DragSpinner(HWND spinner, int steps);
// Releases the pressed button: CC_SPINNER_BUTTONUP, high word TRUE; with
// cancel the value goes back to the one at the press and the high word is FALSE.
bool ReleaseSpinner(HWND spinner, bool cancel = false);
// A right click: the reset value, CC_SPINNER_CHANGE then CC_SPINNER_BUTTONUP.
bool ResetSpinner(HWND spinner);
// Picks a colour in the swatch's picker: CC_COLOR_CHANGE with the final flag.
bool PickColor(HWND swatch, COLORREF color, bool final);
// What a custom image shows.
bool CustImageState(HWND image, HIMAGELIST* list, int* index, int* width, int* height);
// Control objects alive (windows or interfaces not yet given back).
int LiveControlObjects();

}  // namespace tessary::host::test
