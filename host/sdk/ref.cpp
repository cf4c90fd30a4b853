#include "host/sdk/ref.h"

#include <algorithm>

namespace tessary::host {

Animatable::~Animatable() = default;

void Animatable::DeleteThis() { delete this; }

// --- ReferenceMaker ----------------------------------------------------------

ReferenceMaker::~ReferenceMaker() {
  // Release what this maker still references. Each release may delete a
  // target, whose own destruction may release further targets; none of them
  // touches this maker's list, which is taken over first.
  std::vector<ReferenceTarget*> held;
  held.swap(refsTo_);
  for (ReferenceTarget* t : held) {
    if (static_cast<ReferenceMaker*>(t) == this) continue;  // a self reference
    if (!t->RemoveDependent(this)) continue;
    t->RefDeleted(this);
    if (t->dependents_.empty()) t->DeleteThis();
  }
}

RefResult ReferenceMaker::ReplaceReference(int which, RefTargetHandle target, bool delOld) {
  if (which < 0 || which >= NumRefs()) return REF_FAIL;
  ReferenceTarget* old = GetReference(which);
  if (old == target) return REF_SUCCEED;

  if (target) {
    target->AddDependent(this);
    refsTo_.push_back(target);
    target->RefAdded(this);
  }
  SetReference(which, target);

  // The maker decides what its slot holds: a target it did not take (a
  // wrong kind for the slot) leaves no trace in the graph, as if it had
  // never been offered, and still belongs to whoever had it.
  ReferenceTarget* held = GetReference(which);
  const bool refused = held != target;
  if (refused && target) {
    const auto it = std::find(refsTo_.begin(), refsTo_.end(), target);
    if (it != refsTo_.end()) refsTo_.erase(it);
    if (target->RemoveDependent(this)) target->RefDeleted(this);
  }

  // The old target is released only when the slot no longer holds it.
  if (old && held != old) {
    const auto it = std::find(refsTo_.begin(), refsTo_.end(), old);
    // A slot the maker filled by itself, outside the graph, holds a target
    // the graph does not own: it is left alone.
    if (it != refsTo_.end()) {
      refsTo_.erase(it);
      if (old->RemoveDependent(this)) {
        old->RefDeleted(this);
        if (delOld && old->dependents_.empty() && static_cast<ReferenceMaker*>(old) != this) old->DeleteThis();
      }
    }
  }
  return refused ? REF_FAIL : REF_SUCCEED;
}

RefResult ReferenceMaker::DeleteAllRefsFromMe() {
  for (int i = 0; i < NumRefs(); ++i) {
    if (GetReference(i)) ReplaceReference(i, nullptr, true);
  }
  return REF_SUCCEED;
}

RefResult ReferenceMaker::NotifyRefChanged(const Interval& /*changeInt*/, RefTargetHandle /*hTarget*/,
                                           PartID& /*partID*/, RefMessage /*message*/,
                                           bool /*propagate*/) {
  return REF_SUCCEED;
}

IOResult ReferenceMaker::Save(ISave* /*isave*/) { return IO_OK; }
IOResult ReferenceMaker::Load(ILoad* /*iload*/) { return IO_OK; }

int ReferenceMaker::CountRefsTo(const ReferenceTarget* target) const {
  return static_cast<int>(std::count(refsTo_.begin(), refsTo_.end(), target));
}

// --- ReferenceTarget ---------------------------------------------------------

ReferenceTarget::~ReferenceTarget() {
  // Makers still referencing this target learn of its deletion and lose
  // their slots to it, so none is left pointing at freed memory.
  while (!dependents_.empty()) {
    ReferenceMaker* m = dependents_.front();
    dependents_.erase(std::remove(dependents_.begin(), dependents_.end(), m), dependents_.end());
    m->refsTo_.erase(std::remove(m->refsTo_.begin(), m->refsTo_.end(), this), m->refsTo_.end());
    if (static_cast<ReferenceMaker*>(this) == m) continue;
    PartID part = PART_ALL;
    m->NotifyRefChanged(FOREVER, this, part, REFMSG_TARGET_DELETED, false);
    for (int i = 0; i < m->NumRefs(); ++i) {
      if (m->GetReference(i) == this) m->SetReference(i, nullptr);
    }
  }
}

void ReferenceTarget::AddDependent(ReferenceMaker* maker) { dependents_.push_back(maker); }

bool ReferenceTarget::RemoveDependent(ReferenceMaker* maker) {
  const auto it = std::find(dependents_.begin(), dependents_.end(), maker);
  if (it == dependents_.end()) return false;
  dependents_.erase(it);
  return true;
}

RefResult ReferenceTarget::NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message,
                                            SClass_ID sclass, bool propagate, RefTargetHandle target) {
  Notification n;
  PassOn(changeInt, partID, message, sclass, propagate, target, n);
  return REF_SUCCEED;
}

void ReferenceTarget::PassOn(const Interval& changeInt, PartID partID, RefMessage message, SClass_ID sclass,
                             bool propagate, RefTargetHandle target, Notification& n) {
  // Targets whose notification is under way on this thread: a cycle in the
  // graph, or a maker that starts a notification of its own while hearing
  // one, ends here instead of recursing for ever.
  thread_local std::vector<const ReferenceTarget*> busy;
  if (std::find(busy.begin(), busy.end(), this) != busy.end()) return;
  // A target reached again along another path of shared targets has passed
  // this notification on already; going on would visit the graph once per
  // path, which grows exponentially with the depth of the sharing.
  if (!n.passedOn.insert(this).second) return;
  busy.push_back(this);

  // Each maker once, in the order they came, even if it references this
  // target from several slots. The list may change while it is walked.
  std::vector<ReferenceMaker*> makers;
  for (ReferenceMaker* m : dependents_) {
    if (std::find(makers.begin(), makers.end(), m) == makers.end()) makers.push_back(m);
  }
  for (ReferenceMaker* m : makers) {
    if (std::find(dependents_.begin(), dependents_.end(), m) == dependents_.end()) continue;
    if (sclass != NOTIFY_ALL && m->SuperClassID() != sclass) continue;
    PartID part = partID;
    const RefResult r = m->NotifyRefChanged(changeInt, target ? target : this, part, message, propagate);
    if (propagate && r == REF_SUCCEED && m->IsRefTarget()) {
      static_cast<ReferenceTarget*>(m)->PassOn(changeInt, part, message, sclass, propagate, nullptr, n);
    }
  }

  busy.erase(std::find(busy.begin(), busy.end(), this));
}

RefTargetHandle ReferenceTarget::Clone(RemapDir& /*remap*/) { return nullptr; }

void ReferenceTarget::BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap) {
  if (from && to) remap.AddEntry(from, to);
}

// --- RemapDir ----------------------------------------------------------------

RefTargetHandle RemapDir::CloneRef(RefTargetHandle from) {
  if (!from) return nullptr;
  if (RefTargetHandle done = FindMapping(from)) return done;
  RefTargetHandle to = from->Clone(*this);
  if (to) AddEntry(from, to);
  return to;
}

RefTargetHandle RemapDir::FindMapping(RefTargetHandle from) const {
  const auto it = map_.find(from);
  return it == map_.end() ? nullptr : it->second;
}

void RemapDir::AddEntry(RefTargetHandle from, RefTargetHandle to) { map_.emplace(from, to); }

RefTargetHandle CloneRefHierarchy(RefTargetHandle target) {
  RemapDir remap;
  return remap.CloneRef(target);
}

}  // namespace tessary::host
