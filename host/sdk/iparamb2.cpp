#include "host/sdk/iparamb2.h"

#include <algorithm>
#include <string>

#include "host/sdk/classdesc.h"
#include "host/sdk/hold.h"

namespace tessary::host {

// --- ParamBlockDesc2 ---------------------------------------------------------

ParamBlockDesc2::ParamBlockDesc2(BlockID id, const char* intName, int localNameResId, ClassDesc2* cd,
                                 int flags, int refNo, const ParamRollout& rollout,
                                 std::initializer_list<ParamDef> params)
    : id_(id),
      intName_(intName),
      localNameResId_(localNameResId),
      cd_(cd),
      flags_(flags),
      refNo_(refNo),
      rollout_(rollout),
      params_(params) {
  for (std::size_t i = 0; i < params_.size(); ++i) {
    const ParamDef& p = params_[i];
    if (p.tabSize < 0 || p.tabSize > kMaxParamTabCount) valid_ = false;
    for (std::size_t j = 0; j < i; ++j) {
      if (params_[j].id == p.id) valid_ = false;
    }
  }
  if (cd_) cd_->AddParamBlockDesc(this);
}

ParamBlockDesc2::~ParamBlockDesc2() {
  if (cd_) cd_->RemoveParamBlockDesc(this);
}

const ParamDef* ParamBlockDesc2::GetParamDefByIndex(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &params_[static_cast<std::size_t>(index)];
}

const ParamDef* ParamBlockDesc2::GetParamDef(ParamID id) const { return GetParamDefByIndex(IDtoIndex(id)); }

int ParamBlockDesc2::IDtoIndex(ParamID id) const {
  for (int i = 0; i < Count(); ++i) {
    if (params_[static_cast<std::size_t>(i)].id == id) return i;
  }
  return -1;
}

ParamID ParamBlockDesc2::IndextoID(int index) const {
  const ParamDef* p = GetParamDefByIndex(index);
  return p ? p->id : static_cast<ParamID>(-1);
}

// --- IParamBlock2 ------------------------------------------------------------

namespace {
class ParamBlock2ClassDesc final : public ClassDesc {
 public:
  int IsPublic() override { return 0; }
  Animatable* Create(bool /*loading*/) override { return new IParamBlock2(nullptr); }
  const char* ClassName() override { return "ParamBlock2"; }
  SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(PARAMETER_BLOCK2_CLASS_ID, 0); }
  const char* Category() override { return ""; }
};
}  // namespace

ClassDesc* GetParamBlock2Desc() {
  static ParamBlock2ClassDesc desc;
  return &desc;
}

IParamBlock2* CreateParameterBlock2(const ParamBlockDesc2* desc, ReferenceMaker* owner) {
  return desc ? new IParamBlock2(desc, owner) : nullptr;
}

IParamBlock2::IParamBlock2(const ParamBlockDesc2* desc, ReferenceMaker* owner) : desc_(nullptr), owner_(owner) {
  Build(desc);
}

void IParamBlock2::Build(const ParamBlockDesc2* desc) {
  desc_ = desc;
  params_.clear();
  if (!desc_ || !desc_->IsValid()) return;
  params_.resize(static_cast<std::size_t>(desc_->Count()));
  for (int i = 0; i < desc_->Count(); ++i) {
    Param& p = params_[static_cast<std::size_t>(i)];
    p.def = desc_->GetParamDefByIndex(i);
    p.count = p.def->IsTab() ? p.def->tabSize : 1;
    if (!OwnerHeld(*p.def)) p.entries.assign(static_cast<std::size_t>(p.count), DefaultEntry(*p.def));
  }
}

IParamBlock2::~IParamBlock2() {
  // The block's own texture maps are released by ~ReferenceMaker.
}

bool IParamBlock2::OwnerHeld(const ParamDef& def) {
  return BaseType(def.type) == TYPE_TEXMAP && (def.flags & P_OWNERS_REF) != 0;
}

IParamBlock2::Entry IParamBlock2::DefaultEntry(const ParamDef& def) const {
  Entry e;
  e.f = def.defFloat;
  e.i = def.defInt;
  e.c = def.defColor;
  if (def.defString) {
    e.hasStr = true;
    e.s = def.defString;
  }
  return e;
}

IParamBlock2::Param* IParamBlock2::Find(ParamID id) {
  for (Param& p : params_) {
    if (p.def->id == id) return &p;
  }
  return nullptr;
}

const IParamBlock2::Param* IParamBlock2::Find(ParamID id) const {
  for (const Param& p : params_) {
    if (p.def->id == id) return &p;
  }
  return nullptr;
}

const IParamBlock2::Entry* IParamBlock2::EntryAt(ParamID id, int base, int tabIndex) const {
  const Param* p = Find(id);
  if (!p || BaseType(p->def->type) != base) return nullptr;
  if (tabIndex < 0 || tabIndex >= static_cast<int>(p->entries.size())) return nullptr;
  return &p->entries[static_cast<std::size_t>(tabIndex)];
}

IParamBlock2::Entry* IParamBlock2::EntryAt(ParamID id, int base, int tabIndex) {
  return const_cast<Entry*>(static_cast<const IParamBlock2*>(this)->EntryAt(id, base, tabIndex));
}

int IParamBlock2::Count(ParamID id) const {
  const Param* p = Find(id);
  return p && p->def->IsTab() ? p->count : 0;
}

bool IParamBlock2::SetCount(ParamID id, int n) {
  Param* p = Find(id);
  if (!p || !p->def->IsTab() || n < 0 || n > kMaxParamTabCount) return false;
  if (!OwnerHeld(*p->def)) {
    if (BaseType(p->def->type) == TYPE_TEXMAP) {
      // Release the maps of the entries that go, last first.
      for (int k = p->count - 1; k >= n; --k) {
        if (p->entries[static_cast<std::size_t>(k)].ref) ReplaceReference(RefIndexOf(p, k), nullptr);
      }
    }
    p->entries.resize(static_cast<std::size_t>(n), DefaultEntry(*p->def));
  }
  p->count = n;
  Changed(id, -1, std::string(".count = ") + std::to_string(n));
  return true;
}

namespace {
std::string TabSuffix(const ParamDef& def, int tabIndex) {
  std::string s;
  if (def.IsTab()) {
    s.append("[");
    s.append(std::to_string(tabIndex + 1));
    s.append("]");
  }
  return s;
}
}  // namespace

bool IParamBlock2::SetValue(ParamID id, TimeValue /*t*/, int v, int tabIndex) {
  const Param* p = Find(id);
  if (!p) return false;
  const int base = BaseType(p->def->type);
  if (base != TYPE_INT && base != TYPE_BOOL) return false;
  Entry* e = EntryAt(id, base, tabIndex);
  if (!e) return false;
  e->i = v;
  Changed(id, tabIndex, TabSuffix(*p->def, tabIndex) + " = " + std::to_string(v));
  return true;
}

bool IParamBlock2::SetValue(ParamID id, TimeValue /*t*/, float v, int tabIndex) {
  Entry* e = EntryAt(id, TYPE_FLOAT, tabIndex);
  if (!e) return false;
  e->f = v;
  Changed(id, tabIndex, TabSuffix(*Find(id)->def, tabIndex) + " = " + std::to_string(v));
  return true;
}

bool IParamBlock2::SetValue(ParamID id, TimeValue /*t*/, const Color& v, int tabIndex) {
  Entry* e = EntryAt(id, TYPE_RGBA, tabIndex);
  if (!e) return false;
  e->c = v;
  Changed(id, tabIndex,
          TabSuffix(*Find(id)->def, tabIndex) + " = color " + std::to_string(v.r) + " " + std::to_string(v.g) +
              " " + std::to_string(v.b));
  return true;
}

bool IParamBlock2::SetValue(ParamID id, TimeValue /*t*/, const char* v, int tabIndex) {
  Entry* e = EntryAt(id, TYPE_STRING, tabIndex);
  if (!e) return false;
  e->hasStr = v != nullptr;
  e->s = v ? v : "";
  Changed(id, tabIndex, TabSuffix(*Find(id)->def, tabIndex) + " = \"" + e->s + "\"");
  return true;
}

bool IParamBlock2::SetValue(ParamID id, TimeValue /*t*/, ReferenceTarget* v, int tabIndex) {
  const Param* p = Find(id);
  if (!p || BaseType(p->def->type) != TYPE_TEXMAP) return false;
  if (tabIndex < 0 || tabIndex >= p->count) return false;
  if (OwnerHeld(*p->def)) {
    // The entry is the owner's reference; the owner stores it.
    if (!owner_ || p->def->ownerRefNo < 0) return false;
    if (owner_->ReplaceReference(p->def->ownerRefNo + tabIndex, v) != REF_SUCCEED) return false;
  } else {
    if (ReplaceReference(RefIndexOf(p, tabIndex), v) != REF_SUCCEED) return false;
  }
  Changed(id, tabIndex, TabSuffix(*p->def, tabIndex) + (v ? " = <map>" : " = undefined"));
  return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue /*t*/, int& v, Interval& /*valid*/, int tabIndex) const {
  const Param* p = Find(id);
  if (!p) return false;
  const int base = BaseType(p->def->type);
  if (base != TYPE_INT && base != TYPE_BOOL) return false;
  const Entry* e = EntryAt(id, base, tabIndex);
  if (!e) return false;
  v = e->i;
  return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue /*t*/, float& v, Interval& /*valid*/, int tabIndex) const {
  const Entry* e = EntryAt(id, TYPE_FLOAT, tabIndex);
  if (!e) return false;
  v = e->f;
  return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue /*t*/, Color& v, Interval& /*valid*/, int tabIndex) const {
  const Entry* e = EntryAt(id, TYPE_RGBA, tabIndex);
  if (!e) return false;
  v = e->c;
  return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue /*t*/, ReferenceTarget*& v, Interval& /*valid*/,
                            int tabIndex) const {
  const Param* p = Find(id);
  if (!p || BaseType(p->def->type) != TYPE_TEXMAP) return false;
  if (tabIndex < 0 || tabIndex >= p->count) return false;
  if (OwnerHeld(*p->def)) {
    if (!owner_ || p->def->ownerRefNo < 0) return false;
    const int r = p->def->ownerRefNo + tabIndex;
    v = r < owner_->NumRefs() ? owner_->GetReference(r) : nullptr;
  } else {
    v = p->entries[static_cast<std::size_t>(tabIndex)].ref;
  }
  return true;
}

int IParamBlock2::GetInt(ParamID id, TimeValue t, int tabIndex) const {
  int v = 0;
  Interval valid = FOREVER;
  return GetValue(id, t, v, valid, tabIndex) ? v : 0;
}

float IParamBlock2::GetFloat(ParamID id, TimeValue t, int tabIndex) const {
  float v = 0.0f;
  Interval valid = FOREVER;
  return GetValue(id, t, v, valid, tabIndex) ? v : 0.0f;
}

Color IParamBlock2::GetColor(ParamID id, TimeValue t, int tabIndex) const {
  Color v;
  Interval valid = FOREVER;
  return GetValue(id, t, v, valid, tabIndex) ? v : Color();
}

const char* IParamBlock2::GetStr(ParamID id, TimeValue /*t*/, int tabIndex) const {
  const Entry* e = EntryAt(id, TYPE_STRING, tabIndex);
  return e && e->hasStr ? e->s.c_str() : nullptr;
}

ReferenceTarget* IParamBlock2::GetReferenceTarget(ParamID id, TimeValue t, int tabIndex) const {
  ReferenceTarget* v = nullptr;
  Interval valid = FOREVER;
  return GetValue(id, t, v, valid, tabIndex) ? v : nullptr;
}

int IParamBlock2::RefIndexOf(const Param* p, int tabIndex) const {
  int index = 0;
  for (const Param& q : params_) {
    if (&q == p) return index + tabIndex;
    if (BaseType(q.def->type) == TYPE_TEXMAP && !OwnerHeld(*q.def)) index += q.count;
  }
  return -1;
}

int IParamBlock2::NumRefs() {
  int n = 0;
  for (const Param& p : params_) {
    if (BaseType(p.def->type) == TYPE_TEXMAP && !OwnerHeld(*p.def)) n += p.count;
  }
  return n;
}

RefTargetHandle IParamBlock2::GetReference(int i) {
  if (i < 0) return nullptr;
  for (const Param& p : params_) {
    if (BaseType(p.def->type) != TYPE_TEXMAP || OwnerHeld(*p.def)) continue;
    if (i < p.count) return p.entries[static_cast<std::size_t>(i)].ref;
    i -= p.count;
  }
  return nullptr;
}

void IParamBlock2::SetReference(int i, RefTargetHandle target) {
  if (i < 0) return;
  for (Param& p : params_) {
    if (BaseType(p.def->type) != TYPE_TEXMAP || OwnerHeld(*p.def)) continue;
    if (i < p.count) {
      p.entries[static_cast<std::size_t>(i)].ref = target;
      return;
    }
    i -= p.count;
  }
}

void IParamBlock2::RefAdded(ReferenceMaker* maker) {
  if (!owner_) owner_ = maker;
}

void IParamBlock2::RefDeleted(ReferenceMaker* maker) {
  if (maker == owner_ && maker->CountRefsTo(this) == 0) owner_ = nullptr;
}

RefTargetHandle IParamBlock2::Clone(RemapDir& remap) {
  auto* to = new IParamBlock2(desc_, nullptr);
  for (std::size_t k = 0; k < params_.size(); ++k) {
    const Param& src = params_[k];
    Param& dst = to->params_[k];
    dst.count = src.count;
    dst.entries = src.entries;
    for (Entry& e : dst.entries) e.ref = nullptr;
  }
  // The block's own maps: cloned through the remap, referenced by the copy.
  for (std::size_t k = 0; k < params_.size(); ++k) {
    const Param& src = params_[k];
    if (BaseType(src.def->type) != TYPE_TEXMAP || OwnerHeld(*src.def)) continue;
    for (int j = 0; j < src.count; ++j) {
      ReferenceTarget* m = src.entries[static_cast<std::size_t>(j)].ref;
      if (m) to->ReplaceReference(to->RefIndexOf(&to->params_[k], j), remap.CloneRef(m));
    }
  }
  to->lastParam_ = lastParam_;
  to->lastTabIndex_ = lastTabIndex_;
  BaseClone(this, to, remap);
  return to;
}

void IParamBlock2::Changed(ParamID id, int tabIndex, const std::string& what) {
  lastParam_ = id;
  lastTabIndex_ = tabIndex;
  if (macroRecorder && macroRecorder->Enabled()) {
    const Param* p = Find(id);
    macroRecorder->Record(std::string(desc_ && desc_->InternalName() ? desc_->InternalName() : "") + "." +
                          (p && p->def->int_name ? p->def->int_name : "") + what);
  }
  NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

}  // namespace tessary::host
