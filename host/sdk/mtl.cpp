#include "host/sdk/mtl.h"

#include <algorithm>
#include <set>

#include "host/sdk/shade_context.h"
#include "host/sdk/shade_span.h"

namespace tessary::host {

MSTR MtlBase::GetFullName() {
  MSTR cls;
  GetClassName(cls);
  if (cls.empty()) return name_;
  if (name_.empty()) return "(" + cls + ")";
  return name_ + " (" + cls + ")";
}

float Texmap::EvalMono(ShadeContext& sc) {
  const AColor c = EvalColor(sc);
  return ((c.b + c.g) + c.r) * 0.33333334f;
}

void Texmap::EvalColorSpan(ShadeSpan& span, SpanColors& out) {
  ShadeContext& sc = span.Context();
  const int n = span.Count();
  for (int k = 0; k < n; ++k) {
    sc.MoveTo(span.UVW(k));
    out.Set(k, EvalColor(sc));
  }
}

void* Texmap::GetProperty(int id) {
  for (const auto& [key, value] : properties_) {
    if (key == id) return value;
  }
  return nullptr;
}

void Texmap::SetHostProperty(int id, void* value) {
  const auto it = std::find_if(properties_.begin(), properties_.end(),
                               [id](const std::pair<int, void*>& p) { return p.first == id; });
  if (it != properties_.end()) {
    if (value) {
      it->second = value;
    } else {
      properties_.erase(it);
    }
  } else if (value) {
    properties_.emplace_back(id, value);
  }
}

void DeactivateMapsInTree(MtlBase* m) {
  std::vector<MtlBase*> pending{m};
  std::set<MtlBase*> seen;
  while (!pending.empty()) {
    MtlBase* x = pending.back();
    pending.pop_back();
    if (!x || !seen.insert(x).second) continue;
    if (x->IsActive()) {
      x->ClearActive();
      if (auto* tex = dynamic_cast<Texmap*>(x)) tex->ActivateTexDisplay(false);
    }
    const int n = x->NumSubTexmaps();
    for (int i = n - 1; i >= 0; --i) pending.push_back(x->GetSubTexmap(i));
  }
}

}  // namespace tessary::host
