#include "host/runtime/class_directory.h"

#include <algorithm>

#include "host/sdk/iparamb2.h"

namespace tessary::host {

namespace {
ClassDesc* FindInHostDirectory(SClass_ID sclass, Class_ID cid) {
  return ClassDirectory::Instance().Find(sclass, cid);
}
}  // namespace

ClassDirectory& ClassDirectory::Instance() {
  // The host's own classes are there from the start.
  static ClassDirectory directory = [] {
    ClassDirectory d;
    d.Register(GetParamBlock2Desc());
    return d;
  }();
  static const bool lookupInstalled = [] {
    SetClassLookup(&FindInHostDirectory);
    return true;
  }();
  (void)lookupInstalled;
  return directory;
}

bool ClassDirectory::Register(ClassDesc* cd) {
  if (!cd || Find(cd->SuperClassID(), cd->ClassID())) return false;
  classes_.push_back(cd);
  return true;
}

void ClassDirectory::Unregister(ClassDesc* cd) {
  classes_.erase(std::remove(classes_.begin(), classes_.end(), cd), classes_.end());
}

ClassDesc* ClassDirectory::Find(SClass_ID sclass, Class_ID cid) const {
  for (ClassDesc* cd : classes_) {
    if (cd->SuperClassID() == sclass && cd->ClassID() == cid) return cd;
  }
  return nullptr;
}

Animatable* ClassDirectory::Create(SClass_ID sclass, Class_ID cid, bool loading) const {
  ClassDesc* cd = Find(sclass, cid);
  return cd ? cd->Create(loading) : nullptr;
}

ClassDesc* ClassDirectory::Get(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return classes_[static_cast<std::size_t>(i)];
}

}  // namespace tessary::host
