#pragma once
// The host's module loader: opens a plug-in library, checks its exports and
// version, runs its entry point and registers its classes in the class
// directory, the way the host does at start-up.

#include <memory>
#include <string>
#include <vector>

#include "host/sdk/plugapi.h"
#include "host/runtime/runtime_only.h"
#include "host/runtime/class_directory.h"

namespace tessary::host {


class PluginModule {
 public:
  // Loads the library at path and registers its classes in directory.
  // On failure returns null with a message in *error naming the file and
  // the cause (missing file, not a loadable library, a missing export, a
  // version the host does not accept, a rejected entry point, a class that
  // is already registered, a library this loader already holds); nothing
  // stays loaded or registered. Modules are loaded and unloaded on one
  // thread. Objects made from a module's classes must be gone before it is
  // unloaded.
  static std::unique_ptr<PluginModule> Load(const std::string& path, ClassDirectory& directory,
                                            std::string* error);
  // Unregisters the classes, calls the entry point with DLL_PROCESS_DETACH
  // and closes the library.
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  const std::string& Path() const { return path_; }
  // The module's instance handle (the loader's handle of the library).
  HINSTANCE Instance() const { return hInstance_; }
  // LibDescription's text, copied at load ("" when it returned null).
  const std::string& Description() const { return description_; }
  unsigned long Version() const { return version_; }
  int NumClasses() const { return static_cast<int>(classes_.size()); }
  ClassDesc* GetClassDesc(int i) const;

 private:
  PluginModule() = default;
  void Unload();

  std::string path_;
  void* library_ = nullptr;
  HINSTANCE hInstance_ = nullptr;
  DllMainFn dllMain_ = nullptr;
  ClassDirectory* directory_ = nullptr;
  std::string description_;
  unsigned long version_ = 0;
  std::vector<ClassDesc*> classes_;
};

}  // namespace tessary::host
