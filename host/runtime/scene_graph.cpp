// The object graph of a scene: what a root reaches, deleting a whole graph,
// and holding a graph while it is changed so that what falls off is deleted.

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "host/runtime/scene_file.h"
#include "host/sdk/ref.h"

namespace tessary::host {

std::vector<ReferenceTarget*> Reachable(ReferenceTarget* root) {
  if (root == nullptr) return {};
  std::vector<ReferenceTarget*> order{root};
  std::unordered_set<ReferenceTarget*> seen{root};
  for (std::size_t k = 0; k < order.size(); ++k) {
    const int n = order[k]->NumRefs();
    for (int j = 0; j < n; ++j) {
      ReferenceTarget* t = order[k]->GetReference(j);
      if (t != nullptr && seen.insert(t).second) order.push_back(t);
    }
  }
  return order;
}

void DeleteGraph(ReferenceTarget* root) {
  if (root == nullptr) return;
  const std::vector<ReferenceTarget*> order = Reachable(root);
  for (ReferenceTarget* obj : order) {
    const int n = obj->NumRefs();
    for (int j = 0; j < n; ++j) {
      if (obj->GetReference(j) != nullptr) obj->ReplaceReference(j, nullptr, false);
    }
  }
  for (ReferenceTarget* obj : order) obj->DeleteThis();
}

// The maker behind a GraphHold: one slot per held object.
class GraphHold::Holder : public ReferenceMaker {
 public:
  explicit Holder(const std::vector<ReferenceTarget*>& objects) : slots_(objects.size(), nullptr) {
    for (std::size_t i = 0; i < objects.size(); ++i) ReplaceReference(static_cast<int>(i), objects[i], false);
  }
  ~Holder() override { Release(); }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  // Lets go of every object without deleting any.
  void Release() {
    for (int i = 0; i < NumRefs(); ++i) {
      if (GetReference(i)) ReplaceReference(i, nullptr, false);
    }
  }
  int NumRefs() override { return static_cast<int>(slots_.size()); }
  RefTargetHandle GetReference(int i) override {
    return i >= 0 && i < NumRefs() ? slots_[static_cast<std::size_t>(i)] : nullptr;
  }

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < NumRefs()) slots_[static_cast<std::size_t>(i)] = t;
  }

 private:
  std::vector<RefTargetHandle> slots_;
};

GraphHold::GraphHold(ReferenceTarget* root) : root_(root) {
  held_ = Reachable(root);
  holder_ = std::make_unique<Holder>(held_);
}

GraphHold::~GraphHold() {
  const std::vector<ReferenceTarget*> now = Reachable(root_);
  const std::unordered_set<ReferenceTarget*> owned(now.begin(), now.end());
  const std::unordered_set<ReferenceTarget*> held(held_.begin(), held_.end());
  holder_->Release();
  std::unordered_set<const ReferenceMaker*> cut;
  for (ReferenceTarget* obj : held_) {
    if (!owned.count(obj)) cut.insert(obj);
  }
  // A cut-off object that a maker outside the cut still references belongs
  // to that maker, and so does what it reaches.
  std::unordered_set<ReferenceTarget*> kept;
  for (ReferenceTarget* obj : held_) {
    if (!cut.count(obj) || kept.count(obj)) continue;
    const auto& deps = obj->Dependents();
    if (std::all_of(deps.begin(), deps.end(), [&cut](const ReferenceMaker* m) { return cut.count(m) > 0; })) continue;
    for (ReferenceTarget* t : Reachable(obj)) kept.insert(t);
  }
  std::vector<ReferenceTarget*> unowned;
  for (ReferenceTarget* obj : held_) {
    if (cut.count(obj) && !kept.count(obj)) unowned.push_back(obj);
  }
  // As DeleteGraph does: the references among them (and to the rest) are
  // released without deleting, then each is deleted once.
  for (ReferenceTarget* obj : unowned) {
    const int n = obj->NumRefs();
    for (int j = 0; j < n; ++j) {
      if (held.count(obj->GetReference(j))) obj->ReplaceReference(j, nullptr, false);
    }
  }
  for (ReferenceTarget* obj : unowned) obj->DeleteThis();
}

}  // namespace tessary::host
