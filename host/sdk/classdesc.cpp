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

namespace {
ClassLookupFn classLookup = nullptr;
}  // namespace

void SetClassLookup(ClassLookupFn lookup) { classLookup = lookup; }

ClassDesc* FindClassDesc(SClass_ID sclass, Class_ID cid) { return classLookup ? classLookup(sclass, cid) : nullptr; }

}  // namespace tessary::host
