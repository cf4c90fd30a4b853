#include "host/sdk/tex_dad_mgr.h"

#include <set>
#include <vector>

#include "host/sdk/mtl.h"

namespace tessary::host {

namespace {

// Whether target is root or is reached from root through references.
bool Reaches(ReferenceTarget* root, ReferenceTarget* target) {
  std::set<ReferenceMaker*> seen;
  std::vector<ReferenceMaker*> todo{root};
  while (!todo.empty()) {
    ReferenceMaker* m = todo.back();
    todo.pop_back();
    if (!m || !seen.insert(m).second) continue;
    if (m == target) return true;
    const int n = m->NumRefs();
    for (int i = 0; i < n; ++i) todo.push_back(m->GetReference(i));
  }
  return false;
}

// Holds one reference while the slots of a map change hands, so that a map
// leaving its last slot is not deleted before it arrives in the other.
class KeepAlive : public ReferenceMaker {
 public:
  explicit KeepAlive(ReferenceTarget* t) { ReplaceReference(0, t, false); }
  ~KeepAlive() override { ReplaceReference(0, nullptr, false); }
  KeepAlive(const KeepAlive&) = delete;
  KeepAlive& operator=(const KeepAlive&) = delete;
  int NumRefs() override { return 1; }
  RefTargetHandle GetReference(int i) override { return i == 0 ? held_ : nullptr; }

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i == 0) held_ = t;
  }

 private:
  RefTargetHandle held_ = nullptr;
};

}  // namespace

Texmap* TexDADMgr::EditedMap() const { return dialog_ ? dynamic_cast<Texmap*>(dialog_->GetThing()) : nullptr; }

int TexDADMgr::SlotOf(HWND hwnd) const { return dialog_ && hwnd ? dialog_->FindSubTexFromHWND(hwnd) : -1; }

SClass_ID TexDADMgr::GetDragType(HWND hwnd, POINT /*p*/) { return SlotOf(hwnd) >= 0 ? TEXMAP_CLASS_ID : 0; }

BOOL TexDADMgr::OkToDrop(ReferenceTarget* dropThis, HWND /*from*/, HWND to, POINT /*p*/, SClass_ID type,
                         BOOL /*isNew*/) {
  if (type != TEXMAP_CLASS_ID || !dynamic_cast<Texmap*>(dropThis)) return FALSE;
  Texmap* edited = EditedMap();
  if (!edited || SlotOf(to) < 0) return FALSE;
  return Reaches(dropThis, edited) ? FALSE : TRUE;
}

ReferenceTarget* TexDADMgr::GetInstance(HWND hwnd, POINT /*p*/, SClass_ID type) {
  Texmap* edited = EditedMap();
  const int slot = SlotOf(hwnd);
  if (type != TEXMAP_CLASS_ID || !edited || slot < 0) return nullptr;
  return edited->GetSubTexmap(slot);
}

void TexDADMgr::Drop(ReferenceTarget* dropThis, HWND hwnd, POINT p, SClass_ID type) {
  if (!OkToDrop(dropThis, nullptr, hwnd, p, type, FALSE)) return;
  EditedMap()->SetSubTexmap(SlotOf(hwnd), dynamic_cast<Texmap*>(dropThis));
}

void TexDADMgr::LocalDragAndDrop(HWND from, HWND to, POINT /*p*/) {
  Texmap* edited = EditedMap();
  const int a = SlotOf(from);
  const int b = SlotOf(to);
  if (!edited || a < 0 || b < 0 || a == b) return;
  Texmap* ma = edited->GetSubTexmap(a);
  Texmap* mb = edited->GetSubTexmap(b);
  // Assigning slot b may release the only reference to its old map.
  KeepAlive keep(mb);
  edited->SetSubTexmap(b, ma);
  edited->SetSubTexmap(a, mb);
}

}  // namespace tessary::host
