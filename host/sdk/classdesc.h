#pragma once
// Class descriptors: how the host lists and creates a plug-in's classes.

#include <vector>

#include "host/sdk/maxtypes.h"
#include "platform/win32.h"

namespace tessary::host {

class Animatable;
class ParamBlockDesc2;
class ReferenceMaker;

class ClassDesc {
 public:
  ClassDesc() = default;
  ClassDesc(const ClassDesc&) = delete;
  ClassDesc& operator=(const ClassDesc&) = delete;
  virtual ~ClassDesc() = default;

  // Whether the class is listed to the user.
  virtual int IsPublic() = 0;
  // A new object of the class (loading: about to be loaded from a file);
  // null when it cannot be made.
  virtual Animatable* Create(bool loading = false) = 0;
  virtual const char* ClassName() = 0;
  virtual SClass_ID SuperClassID() = 0;
  virtual Class_ID ClassID() = 0;
  virtual const char* Category() = 0;
  virtual const char* InternalName() { return nullptr; }
  virtual HINSTANCE HInstance() { return nullptr; }
};

// A descriptor that also holds the class's parameter block schemas.
class ClassDesc2 : public ClassDesc {
 public:
  int NumParamBlockDescs() const { return static_cast<int>(pbDescs_.size()); }
  ParamBlockDesc2* GetParamBlockDesc(int i) const;
  ParamBlockDesc2* GetParamBlockDescByID(BlockID id) const;
  // Adds a schema (once); called by ParamBlockDesc2's constructor.
  void AddParamBlockDesc(ParamBlockDesc2* pbd);
  // Forgets a schema; called by ParamBlockDesc2's destructor.
  void RemoveParamBlockDesc(ParamBlockDesc2* pbd);
  // For every schema with P_AUTO_CONSTRUCT, in order: makes a block with its
  // defaults and puts it into owner's reference slot RefNo() through
  // ReplaceReference (the block that was there is released).
  virtual void MakeAutoParamBlocks(ReferenceMaker* owner);

 private:
  std::vector<ParamBlockDesc2*> pbDescs_;
};

// How the host finds a registered class by identity. Parameter blocks use it
// when they load, to find their schema in the class that owns it. The host
// installs its class directory here at start-up; until then nothing is found.
using ClassLookupFn = ClassDesc* (*)(SClass_ID sclass, Class_ID cid);
void SetClassLookup(ClassLookupFn lookup);
ClassDesc* FindClassDesc(SClass_ID sclass, Class_ID cid);

}  // namespace tessary::host
