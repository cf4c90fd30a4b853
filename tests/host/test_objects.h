#pragma once
// Small host objects for the host tests: a target that logs its deletion
// and the messages it receives, a maker with a fixed number of slots, and a
// texture map with a constant colour and sub-map slots.

#include <string>
#include <vector>

#include "host/sdk/mtl.h"
#include "host/sdk/ref.h"

namespace tessary::host::testing {

struct Message {
  std::string who;
  RefMessage message;
  PartID part;
  ReferenceTarget* target;
};

struct Log {
  std::vector<std::string> deleted;
  std::vector<Message> messages;
};

// A target that references up to four other targets and can forward
// notifications (answer REF_SUCCEED) or stop them (answer REF_STOP).
class Node : public ReferenceTarget {
 public:
  Node(std::string name, Log* log, int slots = 4) : name_(std::move(name)), log_(log), slots_(slots) {}
  ~Node() override {
    if (log_) log_->deleted.push_back(name_);
  }

  int NumRefs() override { return slots_; }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < slots_ ? refs_[i] : nullptr; }
  RefResult NotifyRefChanged(const Interval&, RefTargetHandle target, PartID& part, RefMessage message,
                             bool) override {
    if (log_) log_->messages.push_back({name_, message, part, target});
    part &= partFilter;
    return answer;
  }
  RefTargetHandle Clone(RemapDir& remap) override {
    auto* n = new Node(name_ + "'", log_, slots_);
    for (int i = 0; i < slots_; ++i) n->ReplaceReference(i, remap.CloneRef(refs_[i]));
    BaseClone(this, n, remap);
    return n;
  }
  void GetClassName(MSTR& s) override { s = "Node"; }

  const std::string& Name() const { return name_; }
  RefResult answer = REF_SUCCEED;
  PartID partFilter = ~PartID{0};
  int setReferenceCalls = 0;

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    ++setReferenceCalls;
    if (i >= 0 && i < slots_) refs_[i] = t;
  }

 private:
  std::string name_;
  Log* log_;
  int slots_;
  RefTargetHandle refs_[4] = {nullptr, nullptr, nullptr, nullptr};
};

// A texture map of one colour with sub-map slots.
class ColorMap : public MultiTex {
 public:
  explicit ColorMap(AColor c, int slots = 2, Log* log = nullptr, std::string name = "map")
      : color_(c), slots_(slots), log_(log), name_(std::move(name)) {
    subs_.assign(static_cast<std::size_t>(slots), nullptr);
  }
  ~ColorMap() override {
    if (log_) log_->deleted.push_back(name_);
  }
  AColor EvalColor(ShadeContext&) override { return color_; }
  Point3 EvalNormalPerturb(ShadeContext&) override { return Point3(); }
  void GetClassName(MSTR& s) override { s = "Color Map"; }
  Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }

  int NumSubTexmaps() override { return slots_; }
  Texmap* GetSubTexmap(int i) override { return i >= 0 && i < slots_ ? subs_[static_cast<std::size_t>(i)] : nullptr; }
  void SetSubTexmap(int i, Texmap* m) override { ReplaceReference(i, m); }
  int NumRefs() override { return slots_; }
  RefTargetHandle GetReference(int i) override { return GetSubTexmap(i); }
  void ActivateTexDisplay(bool on) override { activations.push_back(on); }

  std::vector<bool> activations;

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < slots_) subs_[static_cast<std::size_t>(i)] = dynamic_cast<Texmap*>(t);
  }

 private:
  AColor color_;
  int slots_;
  Log* log_;
  std::string name_;
  std::vector<Texmap*> subs_;
};

}  // namespace tessary::host::testing
