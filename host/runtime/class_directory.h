#pragma once
// The host's class directory: every registered class descriptor, by
// identity. The module loader fills it; the scene loader and the programs
// find descriptors and make objects through it.

#include <vector>

#include "host/runtime/runtime_only.h"
#include "host/sdk/classdesc.h"

namespace tessary::host {

class ClassDirectory {
 public:
  // The one directory of the running host. It is also the lookup the SDK's
  // parameter blocks use when they load (SetClassLookup).
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

}  // namespace tessary::host
