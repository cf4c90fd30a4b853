#pragma once
// Hooks for tests only: they drive the host's custom controls as a person
// would, through the messages the mouse and keyboard send (the same on
// Windows and headless). Each returns false, doing nothing, when the window
// is not such a control or the person could not reach it (hidden or
// disabled, itself or a window around it).

#include <optional>
#include <vector>

#include "host/sdk/custcont.h"

namespace tessary::host::test {

// Clicks into a custom edit (it takes the focus and its text is selected),
// types text and, with pressEnter, presses Return: a linked spinner takes the
// value, then the parent gets WM_CUSTEDIT_ENTER. The keys go to the field
// itself, as in a panel without a dialog manager in front of it.
bool TypeInEdit(HWND edit, const char* text, bool pressEnter = true);
// Presses the mouse on the spinner's upper arrow (first call:
// CC_SPINNER_BUTTONDOWN) and drags it by `steps` steps (negative: down),
// each sending CC_SPINNER_CHANGE with the high word TRUE. The button stays
// pressed until ReleaseSpinner.
bool DragSpinner(HWND spinner, int steps);
// Releases the pressed button: CC_SPINNER_BUTTONUP, high word TRUE; with
// cancel (a right click during the drag) the value goes back to the one at
// the press and the high word is FALSE.
bool ReleaseSpinner(HWND spinner, bool cancel = false);
// A right click: the reset value, CC_SPINNER_CHANGE then CC_SPINNER_BUTTONUP.
bool ResetSpinner(HWND spinner);
// A click on one arrow: one step up or down, then CC_SPINNER_BUTTONUP.
bool ClickSpinnerArrow(HWND spinner, bool up);
// A click on a colour swatch with a picker in which the person tries the
// `tried` colours in order, then takes `chosen` (OK) or, without it, cancels.
bool PickColors(HWND swatch, const std::vector<COLORREF>& tried, std::optional<COLORREF> chosen);
// What a custom image shows.
bool CustImageState(HWND image, HIMAGELIST* list, int* index, int* width, int* height);
// Control objects alive (windows or interfaces not yet given back).
int LiveControlObjects();

}  // namespace tessary::host::test
