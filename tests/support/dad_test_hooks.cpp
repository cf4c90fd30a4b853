// A user's drag of a map onto a custom button, or from one button onto
// another, carried out through the buttons' drag-and-drop managers the way
// the editor does it.

#include "tests/support/dad_test_hooks.h"

namespace tessary::host::test {

namespace {
DADMgr* ManagerOf(HWND button) {
  ICustButton* b = GetICustButton(button);
  if (!b) return nullptr;
  DADMgr* m = IsWindowVisible(button) && IsWindowEnabled(button) ? b->GetDADMgr() : nullptr;
  ReleaseICustButton(b);
  return m;
}
}  // namespace

bool DragMapOntoButton(HWND button, ReferenceTarget* map) {
  DADMgr* m = ManagerOf(button);
  const POINT p{0, 0};
  if (!m || !m->OkToDrop(map, nullptr, button, p, TEXMAP_CLASS_ID, FALSE)) return false;
  m->Drop(map, button, p, TEXMAP_CLASS_ID);
  return true;
}

bool DragButtonOntoButton(HWND from, HWND to) {
  DADMgr* src = ManagerOf(from);
  DADMgr* dst = ManagerOf(to);
  const POINT p{0, 0};
  if (!src || !dst || from == to) return false;
  const SClass_ID type = src->GetDragType(from, p);
  if (type == 0) return false;
  if (src == dst && src->LetMeHandleLocalDAD()) {
    src->LocalDragAndDrop(from, to, p);
    return true;
  }
  ReferenceTarget* what = src->GetInstance(from, p, type);
  if (!what || !dst->OkToDrop(what, from, to, p, type, FALSE)) return false;
  dst->Drop(what, to, p, type);
  return true;
}

}  // namespace tessary::host::test
