#include "host/sdk/classdesc.h"

#include <algorithm>

#include "host/sdk/iparamb2.h"
#include "host/sdk/ref.h"

namespace tessary::host {

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int i) const {
  if (i < 0 || i >= NumParamBlockDescs()) return nullptr;
  return pbDescs_[static_cast<std::size_t>(i)];
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID id) const {
  for (ParamBlockDesc2* d : pbDescs_) {
    if (d->ID() == id) return d;
  }
  return nullptr;
}

void ClassDesc2::AddParamBlockDesc(ParamBlockDesc2* pbd) {
  if (pbd && std::find(pbDescs_.begin(), pbDescs_.end(), pbd) == pbDescs_.end()) pbDescs_.push_back(pbd);
}

void ClassDesc2::RemoveParamBlockDesc(ParamBlockDesc2* pbd) {
  pbDescs_.erase(std::remove(pbDescs_.begin(), pbDescs_.end(), pbd), pbDescs_.end());
}

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
  if (!owner) return;
  for (ParamBlockDesc2* d : pbDescs_) {
    if ((d->Flags() & P_AUTO_CONSTRUCT) == 0) continue;
    IParamBlock2* pb = CreateParameterBlock2(d, owner);
    if (owner->ReplaceReference(d->RefNo(), pb) != REF_SUCCEED) {
      // The owner has no such slot: the block never entered the graph and
      // is still ours to free.
      pb->DeleteThis();
    }
  }
}

ClassDirectory& ClassDirectory::Instance() {
  // The host's own classes are there from the start.
  static ClassDirectory directory = [] {
    ClassDirectory d;
    d.Register(GetParamBlock2Desc());
    return d;
  }();
  return directory;
}

bool ClassDirectory::Register(ClassDesc* cd) {
  if (!cd || Find(cd->SuperClassID(), cd->ClassID())) return false;
  classes_.push_back(cd);
  return true;
}

void ClassDirectory::Unregister(ClassDesc* cd) {
  classes_.erase(std::remove(classes_.begin(), classes_.end(), cd), classes_.end());
}

ClassDesc* ClassDirectory::Find(SClass_ID sclass, Class_ID cid) const {
  for (ClassDesc* cd : classes_) {
    if (cd->SuperClassID() == sclass && cd->ClassID() == cid) return cd;
  }
  return nullptr;
}

Animatable* ClassDirectory::Create(SClass_ID sclass, Class_ID cid, bool loading) const {
  ClassDesc* cd = Find(sclass, cid);
  return cd ? cd->Create(loading) : nullptr;
}

ClassDesc* ClassDirectory::Get(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return classes_[static_cast<std::size_t>(i)];
}

Animatable* CreateInstance(SClass_ID sclass, Class_ID cid) {
  return ClassDirectory::Instance().Create(sclass, cid);
}

}  // namespace tessary::host
