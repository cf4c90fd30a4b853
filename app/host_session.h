#pragma once
// The program as a host: at start-up it loads the plug-in module through the
// host's module loader (which registers the module's classes in the class
// directory) and registers the host's own map classes (the standard maps and
// the bitmap). Maps are then made by class through the directory.

#include <memory>
#include <string>
#include <vector>

#include "host/runtime/module_loader.h"

namespace tessary::app {

// File name of the plug-in module (Windows hosts load texture maps from .dlt
// files).
#ifdef _WIN32
inline constexpr const char* kModuleFileName = "quilbo.dlt";
#else
inline constexpr const char* kModuleFileName = "quilbo.so";
#endif

// The program's shared data (the bundled examples and textures):
// share/tessary next to the folder of the program, installed as in a build
// tree (the build copies them there).
std::string SharedDataDir();

// Where the module is looked for, in order: $TESSARY_MODULE when set (and
// then only there), the program's own folder, ../lib beside it (the build
// tree's layout), and, in a native build, the path the build put it at.
std::vector<std::string> ModuleCandidates();

// A module file's places beside the program, in order: the program's own
// folder, lib/tessary/ and lib/ next to its folder.
std::vector<std::string> ModulePlaces(const char* fileName);

class HostSession {
 public:
  // Loads the module and registers every class. Null with one line in
  // `error` when the module is missing or refused.
  static std::unique_ptr<HostSession> Start(std::string& error);
  // Unregisters the host's classes and unloads the module. Every map made
  // through the session must be gone by then.
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  const host::PluginModule& Module() const { return *module_; }

 private:
  HostSession() = default;
  std::unique_ptr<host::PluginModule> module_;
  std::vector<host::ClassDesc*> registered_;
};

}  // namespace tessary::app
