#pragma once
// Small reference targets for the scene-file tests, registered in the
// class directory while a test runs.

#include <string>
#include <vector>

#include "host/runtime/class_directory.h"
#include "host/sdk/iparamb2.h"
#include "host/sdk/iosave.h"
#include "host/sdk/ref.h"

namespace tessary::host::testing_scene {

// Every post-load procedure appends to this log.
inline std::vector<std::string>& CallbackLog() {
  static std::vector<std::string> log;
  return log;
}

// A node with a value, a label and a number of reference slots that its
// own data gives. It counts live instances so tests can see leaks and
// double deletes, and counts SetReference calls.
class Node : public ReferenceTarget {
 public:
  static constexpr Class_ID kClassID{0x7E570001u, 0x00000001u};
  static constexpr USHORT kValueChunk = 0x0100;
  static constexpr USHORT kLabelChunk = 0x0200;
  static constexpr USHORT kCallbackChunk = 0x0300;  // int32 priority: register a callback
  static constexpr USHORT kReleaseChunk = 0x0400;   // int32 slot: a callback releases it
  static constexpr int kMaxSlots = 64;
  static inline int live = 0;

  Node() { ++live; }
  ~Node() override { --live; }

  Class_ID ClassID() override { return kClassID; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  void GetClassName(MSTR& s) override { s = "Node"; }
  int NumRefs() override { return static_cast<int>(slots.size()); }
  RefTargetHandle GetReference(int i) override {
    return i >= 0 && i < NumRefs() ? slots[static_cast<std::size_t>(i)] : nullptr;
  }
  IOResult Save(ISave* s) override;
  IOResult Load(ILoad* l) override;

  std::int32_t value = 0;
  std::string label;
  std::vector<ReferenceTarget*> slots;
  int setReferenceCalls = 0;
  // Test switches.
  bool failSave = false;
  bool leaveChunkOpen = false;
  int callbackPriority = -1;  // >= 0: Load registers a callback of this priority
  int releaseSlot = -1;       // >= 0: after a load, a callback releases this slot

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < NumRefs()) slots[static_cast<std::size_t>(i)] = t;
    ++setReferenceCalls;
  }
};

// Runs after the load; records its owner's label, its priority and how many
// of the owner's slots are filled by then, and frees itself.
class NodeCallback : public PostLoadCallback {
 public:
  NodeCallback(Node* owner, int priority) : owner_(owner), priority_(priority) {}
  void proc(ILoad* l) override {
    int filled = 0;
    for (ReferenceTarget* t : owner_->slots) filled += t != nullptr ? 1 : 0;
    CallbackLog().push_back(owner_->label + ":" + std::to_string(priority_) + ":" +
                            std::to_string(filled) + (l->Failed() ? ":failed" : ""));
    delete this;
  }
  int Priority() override { return priority_; }

 private:
  Node* owner_;
  int priority_;
};

// Releases one slot of its owner after the load, as a post-load conversion
// may drop a reference it has no place for, and frees itself.
class ReleaseCallback : public PostLoadCallback {
 public:
  ReleaseCallback(Node* owner, int slot) : owner_(owner), slot_(slot) {}
  void proc(ILoad* l) override {
    if (!l->Failed()) owner_->ReplaceReference(slot_, nullptr);
    delete this;
  }

 private:
  Node* owner_;
  int slot_;
};

// A value of -999 makes Load fail, as an object with bad data would.
inline constexpr std::int32_t kFailingValue = -999;

inline IOResult Node::Save(ISave* s) {
  if (failSave) return IO_ERROR;
  s->BeginChunk(kValueChunk);
  WriteI32(s, value);
  WriteI32(s, static_cast<std::int32_t>(slots.size()));
  s->EndChunk();
  s->BeginChunk(kLabelChunk);
  s->WriteCString(label.c_str());
  s->EndChunk();
  if (callbackPriority >= 0) {
    s->BeginChunk(kCallbackChunk);
    WriteI32(s, callbackPriority);
    s->EndChunk();
  }
  if (releaseSlot >= 0) {
    s->BeginChunk(kReleaseChunk);
    WriteI32(s, releaseSlot);
    s->EndChunk();
  }
  if (leaveChunkOpen) s->BeginChunk(0x0999);
  return IO_OK;
}

inline IOResult Node::Load(ILoad* l) {
  IOResult r;
  while ((r = l->OpenChunk()) == IO_OK) {
    switch (l->CurChunkID()) {
      case kValueChunk: {
        std::int32_t n = 0;
        if (ReadI32(l, value) != IO_OK || ReadI32(l, n) != IO_OK) return IO_ERROR;
        if (n < 0 || n > kMaxSlots || value == kFailingValue) return IO_ERROR;
        slots.assign(static_cast<std::size_t>(n), nullptr);
        break;
      }
      case kLabelChunk: {
        char* text = nullptr;
        if (l->ReadCStringChunk(&text) != IO_OK) return IO_ERROR;
        label = text;
        break;
      }
      case kCallbackChunk: {
        std::int32_t p = 0;
        if (ReadI32(l, p) != IO_OK) return IO_ERROR;
        callbackPriority = p;
        l->RegisterPostLoadCallback(new NodeCallback(this, p));
        break;
      }
      case kReleaseChunk: {
        std::int32_t slot = 0;
        if (ReadI32(l, slot) != IO_OK) return IO_ERROR;
        releaseSlot = slot;
        l->RegisterPostLoadCallback(new ReleaseCallback(this, slot));
        break;
      }
      default:
        break;
    }
    l->CloseChunk();
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

class NodeDesc : public ClassDesc {
 public:
  int IsPublic() override { return 0; }
  Animatable* Create(bool) override { return new Node; }
  const char* ClassName() override { return "Node"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return Node::kClassID; }
  const char* Category() override { return "Tests"; }
};

// Registers the node class for the lifetime of the object.
class RegisteredNodes {
 public:
  RegisteredNodes();
  ~RegisteredNodes();
  RegisteredNodes(const RegisteredNodes&) = delete;
  RegisteredNodes& operator=(const RegisteredNodes&) = delete;

 private:
  NodeDesc desc_;
};

// A map-like holder: its parameter block at reference 0 (a schema with every
// kind of parameter) and owner-held maps at references 1 and 2. Its class
// is registered by RegisteredNodes as well.
namespace holder_params {
enum : ParamID { kMaps = 0, kFlags = 1, kAmount = 3, kColors = 4, kNames = 6, kGamma = 18, kOwnMaps = 30 };
}  // namespace holder_params
using namespace holder_params;

class HolderDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  Animatable* Create(bool) override;
  const char* ClassName() override { return "Holder"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0x7E570002u, 0x2u); }
  const char* Category() override { return "Tests"; }
};

inline HolderDesc holderDesc;

inline ParamBlockDesc2 holderBlock(
    7, "parameters", 0, &holderDesc, P_AUTO_CONSTRUCT, 0, ParamRollout{},
    {
        {.id = kMaps, .int_name = "mapList", .type = TYPE_TEXMAP_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE | P_OWNERS_REF, .ownerRefNo = 1},
        {.id = kFlags, .int_name = "flags", .type = TYPE_BOOL_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE, .defInt = 1},
        {.id = kAmount, .int_name = "amount", .type = TYPE_FLOAT_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE, .defFloat = 100.0f},
        {.id = kColors, .int_name = "colors", .type = TYPE_RGBA_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE, .defColor = Color(0.5f, 0.5f, 0.5f)},
        {.id = kNames, .int_name = "names", .type = TYPE_STRING_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE},
        {.id = kGamma, .int_name = "gamma", .type = TYPE_FLOAT, .defFloat = 1.0f},
        {.id = kOwnMaps, .int_name = "ownMaps", .type = TYPE_TEXMAP_TAB, .tabSize = 1,
         .flags = P_VARIABLE_SIZE},
    });

// Block at reference 0, owner-held maps at 1 and 2.
class Holder : public ReferenceTarget {
 public:
  Holder() { holderDesc.MakeAutoParamBlocks(this); }
  Class_ID ClassID() override { return holderDesc.ClassID(); }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  void GetClassName(MSTR& s) override { s = "Holder"; }
  int NumRefs() override { return 3; }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < 3 ? refs[i] : nullptr; }
  IParamBlock2* pblock() { return dynamic_cast<IParamBlock2*>(refs[0]); }
  RefTargetHandle refs[3] = {};

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < 3) refs[i] = t;
  }
};

inline Animatable* HolderDesc::Create(bool) { return new Holder(); }

inline RegisteredNodes::RegisteredNodes() {
  ClassDirectory::Instance().Register(&desc_);
  ClassDirectory::Instance().Register(&holderDesc);
}
inline RegisteredNodes::~RegisteredNodes() {
  ClassDirectory::Instance().Unregister(&desc_);
  ClassDirectory::Instance().Unregister(&holderDesc);
}

}  // namespace tessary::host::testing_scene
