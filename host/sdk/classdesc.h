#pragma once
// Class descriptors (how the host lists and creates a plug-in's classes) and
// the host's class directory (every registered descriptor, by identity).

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

// The host's directory of classes. The scene loader and the programs find
// descriptors here; the module loader fills it.
class ClassDirectory {
 public:
  // The one directory of the running host.
  static ClassDirectory& Instance();

  // Adds cd. False (not added) for null or when a class with the same super
  // class and class ID is already registered.
  bool Register(ClassDesc* cd);
  // Removes cd when present.
  void Unregister(ClassDesc* cd);
  ClassDesc* Find(SClass_ID sclass, Class_ID cid) const;
  // A new object of the class, or null when it is unknown or not made.
  Animatable* Create(SClass_ID sclass, Class_ID cid, bool loading = false) const;
  int Count() const { return static_cast<int>(classes_.size()); }
  ClassDesc* Get(int i) const;

 private:
  std::vector<ClassDesc*> classes_;
};

// Shorthand for ClassDirectory::Instance().Create.
Animatable* CreateInstance(SClass_ID sclass, Class_ID cid);

}  // namespace tessary::host
