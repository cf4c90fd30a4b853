#pragma once
// The host's reference graph.
//
// A ReferenceMaker holds numbered reference slots that point to
// ReferenceTargets; each target keeps the list of makers that reference it
// (its dependents) and tells them of its changes (NotifyDependents).
//
// Ownership: a target that a maker references belongs to the graph. When
// the last reference to it is released through ReplaceReference or
// DeleteAllRefsFromMe (with deletion allowed), or when the last maker that
// references it is destroyed, the target is deleted through DeleteThis. A
// target that was never referenced belongs to whoever created it. Targets
// that enter the graph must therefore be heap objects whose DeleteThis
// deletes them.
//
// A maker's slots are its own storage: the graph writes them only through
// the maker's virtual SetReference and reads them through GetReference.

#include <map>
#include <unordered_set>
#include <vector>

#include "host/sdk/interval.h"
#include "host/sdk/maxtypes.h"

namespace tessary::host {

class ISave;
class ILoad;
class IParamBlock2;
class ReferenceTarget;
class RemapDir;
using RefTargetHandle = ReferenceTarget*;

// The root of every host object.
class Animatable {
 public:
  Animatable() = default;
  Animatable(const Animatable&) = delete;
  Animatable& operator=(const Animatable&) = delete;
  virtual ~Animatable();

  // Destroys the object. The default deletes it.
  virtual void DeleteThis();

  virtual Class_ID ClassID() { return Class_ID(0, 0); }
  virtual SClass_ID SuperClassID() { return 0; }
  virtual void GetClassName(MSTR& s) { s.clear(); }

  // Sub-anims: the animatable children shown in the host's track view.
  virtual int NumSubs() { return 0; }
  virtual Animatable* SubAnim(int /*i*/) { return nullptr; }
  virtual MSTR SubAnimName(int /*i*/) { return MSTR(); }
  // Reference number of sub-anim i, or -1 when it is not a reference.
  virtual int SubNumToRefNum(int /*subNum*/) { return -1; }

  // Parameter blocks of the object.
  virtual int NumParamBlocks() { return 0; }
  virtual IParamBlock2* GetParamBlock(int /*i*/) { return nullptr; }
  virtual IParamBlock2* GetParamBlockByID(BlockID /*id*/) { return nullptr; }
};

class ReferenceMaker : public Animatable {
 public:
  ReferenceMaker() = default;
  // Releases every reference this maker still holds; a target left without
  // any referencing maker is deleted. The maker's own slots are not written
  // (its derived part is already gone).
  ~ReferenceMaker() override;

  virtual bool IsRefTarget() { return false; }

  virtual int NumRefs() { return 0; }
  virtual RefTargetHandle GetReference(int /*i*/) { return nullptr; }

  // Puts target into slot which: the new target (when not null) records this
  // maker as a dependent, the slot is written through the maker's own
  // SetReference, then the old target (when not null and different) drops
  // this maker; if delOld is set and no maker references the old target any
  // more it is deleted. A slot outside [0, NumRefs()) gives REF_FAIL and
  // changes nothing. Replacing a target by itself succeeds without effect.
  //
  // The maker may refuse a target (a wrong kind for the slot): when its slot
  // does not hold target after SetReference, the registration is undone
  // (target keeps no record of this maker and is not deleted) and the result
  // is REF_FAIL. The old target is released only if the slot no longer
  // holds it.
  RefResult ReplaceReference(int which, RefTargetHandle target, bool delOld = true);

  // Sets every slot to null through SetReference, deleting targets that are
  // no longer referenced.
  RefResult DeleteAllRefsFromMe();

  // A target this maker references changed. The default accepts and passes
  // the message on.
  virtual RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget,
                                     PartID& partID, RefMessage message, bool propagate);

  // The object's own chunks. The defaults write and read nothing.
  virtual IOResult Save(ISave* isave);
  virtual IOResult Load(ILoad* iload);

  // How many slots of this maker currently point to target (as recorded by
  // the graph).
  int CountRefsTo(const ReferenceTarget* target) const;

 protected:
  virtual void SetReference(int /*i*/, RefTargetHandle /*rtarg*/) {}

 private:
  friend class ReferenceTarget;
  // One entry per slot that points to a target (a target referenced from
  // two slots appears twice).
  std::vector<ReferenceTarget*> refsTo_;
};

class ReferenceTarget : public ReferenceMaker {
 public:
  ReferenceTarget() = default;
  // A target destroyed while makers still reference it first tells them
  // (REFMSG_TARGET_DELETED) and clears their slots that point to it, so no
  // slot is left dangling.
  ~ReferenceTarget() override;

  bool IsRefTarget() override { return true; }

  // Calls NotifyRefChanged on every dependent (whose super class matches
  // sclass, or all of them for NOTIFY_ALL) with this target, or with target
  // when given. A dependent that is itself a target and answers REF_SUCCEED
  // passes the message on to its own dependents when propagate is set. A
  // target already busy notifying (a cycle) is not notified again, and a
  // target reached along several paths (shared sub-targets) passes one
  // notification on once: every maker still hears once from each of its
  // targets that changed, and the work stays linear in the graph's size.
  RefResult NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message,
                             SClass_ID sclass = NOTIFY_ALL, bool propagate = true,
                             RefTargetHandle target = nullptr);

  // A copy of the object for the remap. The default makes none.
  virtual RefTargetHandle Clone(RemapDir& remap);
  // Finishing step of every Clone: records from -> to in the remap.
  void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);

  // Called after maker has started referencing this target (once per slot),
  // and after maker has stopped referencing it from one slot (before the
  // target is deleted for want of references). The defaults do nothing.
  virtual void RefAdded(ReferenceMaker* /*maker*/) {}
  virtual void RefDeleted(ReferenceMaker* /*maker*/) {}

  // The makers that reference this target, one entry per referencing slot.
  const std::vector<ReferenceMaker*>& Dependents() const { return dependents_; }
  int NumDependents() const { return static_cast<int>(dependents_.size()); }

 private:
  friend class ReferenceMaker;
  // The targets that have passed one notification on.
  struct Notification {
    std::unordered_set<const ReferenceTarget*> passedOn;
  };
  void PassOn(const Interval& changeInt, PartID partID, RefMessage message, SClass_ID sclass, bool propagate,
              RefTargetHandle target, Notification& n);
  void AddDependent(ReferenceMaker* maker);
  // Removes one record of maker; returns whether one was found.
  bool RemoveDependent(ReferenceMaker* maker);

  std::vector<ReferenceMaker*> dependents_;
};

// The source-to-clone map of one cloning operation: every source target is
// cloned once, and a target referenced from several places maps to the one
// clone. The remap owns nothing: a clone belongs to the graph once it is
// referenced, to the caller otherwise.
class RemapDir {
 public:
  // The clone of from: the one already made in this remap, else a new clone
  // (from->Clone(*this)), recorded. Null for null.
  RefTargetHandle CloneRef(RefTargetHandle from);
  // The clone recorded for from, or null.
  RefTargetHandle FindMapping(RefTargetHandle from) const;
  // Records to as the clone of from (a first record wins).
  void AddEntry(RefTargetHandle from, RefTargetHandle to);
  int NumMappings() const { return static_cast<int>(map_.size()); }

 private:
  std::map<RefTargetHandle, RefTargetHandle> map_;
};

// Clones target and everything it references through one fresh remap.
RefTargetHandle CloneRefHierarchy(RefTargetHandle target);

}  // namespace tessary::host
