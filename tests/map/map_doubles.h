#pragma once
// Test doubles for the map tests: a constant texture map that logs its calls
// and its deletion, an observer that references a map and records the
// messages it gets, a hardware material that logs every call, and a
// material-maker callback that counts the handles it makes and releases.

#include <cstdio>
#include <string>
#include <vector>

#include "host/sdk/gfx.h"
#include "host/sdk/mtl.h"
#include "host/sdk/ref.h"
#include "host/sdk/shade_context.h"
#include "map/quilbo.h"

namespace tessary::testing {

using Log = std::vector<std::string>;

// A heap-allocated map of one colour and one perturbation. Every call it
// gets is logged as "<name>.<Call>", its deletion as "~<name>".
class ConstMap : public host::Texmap {
 public:
  ConstMap(std::string name, Log* log, host::AColor color = host::AColor(0.2f, 0.4f, 0.6f, 1.0f),
           host::Point3 perturb = host::Point3(0.1f, 0.2f, 0.3f))
      : name_(std::move(name)), log_(log), color_(color), perturb_(perturb) {}
  ~ConstMap() override { Note("~" + name_); }

  host::AColor EvalColor(host::ShadeContext&) override {
    Note(name_ + ".EvalColor");
    return color_;
  }
  host::Point3 EvalNormalPerturb(host::ShadeContext&) override {
    Note(name_ + ".EvalNormalPerturb");
    return perturb_;
  }
  void Update(host::TimeValue, host::Interval& valid) override {
    Note(name_ + ".Update");
    valid &= validity;
  }
  void ActivateTexDisplay(bool on) override { Note(name_ + (on ? ".Activate" : ".Deactivate")); }
  BITMAPINFO* GetVPDisplayDIB(host::TimeValue, host::TexHandleMaker&, host::Interval&, bool, int, int) override {
    Note(name_ + ".GetVPDisplayDIB");
    return &image_;
  }
  host::RefTargetHandle Clone(host::RemapDir& remap) override {
    auto* copy = new ConstMap(name_ + "'", log_, color_, perturb_);
    BaseClone(this, copy, remap);
    return copy;
  }
  void GetClassName(host::MSTR& s) override { s = "Const"; }

  const std::string& Name() const { return name_; }
  host::Interval validity = host::FOREVER;

 private:
  void Note(const std::string& what) {
    if (log_) log_->push_back(what);
  }
  std::string name_;
  Log* log_;
  host::AColor color_;
  host::Point3 perturb_;
  BITMAPINFO image_{};
};

// References one target and records every message it is sent.
class Observer : public host::ReferenceMaker {
 public:
  struct Message {
    host::RefMessage message;
    host::PartID part;
    bool propagate;
  };
  explicit Observer(host::ReferenceTarget* target) { ReplaceReference(0, target); }
  ~Observer() override { DeleteAllRefsFromMe(); }
  int NumRefs() override { return 1; }
  host::RefTargetHandle GetReference(int i) override { return i == 0 ? target_ : nullptr; }
  host::RefResult NotifyRefChanged(const host::Interval&, host::RefTargetHandle, host::PartID& part,
                                   host::RefMessage message, bool propagate) override {
    messages.push_back({message, part, propagate});
    return host::REF_SUCCEED;
  }
  std::vector<Message> messages;

 protected:
  void SetReference(int i, host::RefTargetHandle t) override {
    if (i == 0) target_ = t;
  }

 private:
  host::RefTargetHandle target_ = nullptr;
};

// Logs every call as text, e.g. "ColorOp 1 13".
class LoggingHardwareMaterial : public host::IHardwareMaterial {
 public:
  void SetNumTexStages(DWORD n) override { Add("Stages " + N(n)); }
  void SetTexture(DWORD s, DWORD_PTR h) override { Add("Texture " + N(s) + " " + N(h)); }
  void SetTextureColorArg(DWORD s, DWORD a, DWORD v) override { Add("ColorArg " + N(s) + " " + N(a) + " " + N(v)); }
  void SetTextureAlphaArg(DWORD s, DWORD a, DWORD v) override { Add("AlphaArg " + N(s) + " " + N(a) + " " + N(v)); }
  void SetTextureColorOp(DWORD s, DWORD v) override { Add("ColorOp " + N(s) + " " + N(v)); }
  void SetTextureAlphaOp(DWORD s, DWORD v) override { Add("AlphaOp " + N(s) + " " + N(v)); }
  void SetTextureTransformFlag(DWORD s, DWORD v) override { Add("Transform " + N(s) + " " + N(v)); }
  void SetDiffuseColor(const host::AColor& c) override { Add("Diffuse " + C(c)); }
  void SetAmbientColor(const host::AColor& c) override { Add("Ambient " + C(c)); }
  Log calls;

 private:
  static std::string N(unsigned long long v) { return std::to_string(v); }
  static std::string C(const host::AColor& c) {
    char text[64];
    std::snprintf(text, sizeof(text), "%g %g %g %g", double(c.r), double(c.g), double(c.b), double(c.a));
    return text;
  }
  void Add(std::string s) { calls.push_back(std::move(s)); }
};

// Makes handles whose values count up from 101 and counts how many are
// made and released; logs the texture records it fills.
class CountingCallback : public host::MtlMakerCallback {
 public:
  explicit CountingCallback(int supported) : supported_(supported) {}

  class Handle : public host::TexHandle {
   public:
    Handle(CountingCallback* owner, DWORD_PTR value) : owner_(owner), value_(value) {}
    DWORD_PTR GetHandle() override { return value_; }
    void DeleteThis() override {
      ++owner_->released;
      owner_->releasedValues.push_back(value_);
      delete this;
    }

   private:
    CountingCallback* owner_;
    DWORD_PTR value_;
  };

  host::TexHandle* CreateHandle(BITMAPINFO*) override {
    ++made;
    return new Handle(this, static_cast<DWORD_PTR>(100 + made));
  }
  void GetGfxTexInfoFromTexmap(host::TimeValue, host::TextureInfo& ti, host::Texmap* map) override {
    auto* c = dynamic_cast<ConstMap*>(map);
    filled.push_back(std::to_string(ti.currentStage) + ":" + (c ? c->Name() : std::string("?")));
  }
  int NumberTexturesSupported() override { return supported_; }

  int made = 0;
  int released = 0;
  std::vector<DWORD_PTR> releasedValues;
  Log filled;

 private:
  int supported_;
};

}  // namespace tessary::testing
