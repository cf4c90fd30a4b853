#pragma once
// Hooks for tests only: a user's drag of a map onto a custom button, or from
// one custom button onto another, carried out through the buttons'
// drag-and-drop managers the way the editor does it. Each returns whether a
// drop happened.

#include "host/sdk/custcont.h"

namespace tessary::host::test {

// Drags map (from somewhere outside the panel) onto button: asks the
// button's manager OkToDrop and, if it agrees, Drop.
bool DragMapOntoButton(HWND button, ReferenceTarget* map);
// Drags from one button onto another. Buttons sharing a manager that handles
// local drags use LocalDragAndDrop; otherwise the source manager's
// GetInstance is dropped onto the target as above.
bool DragButtonOntoButton(HWND from, HWND to);

}  // namespace tessary::host::test
