#include "host/runtime/module_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/runtime/class_directory.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace tessary::host {

namespace {

// Libraries held by live PluginModule objects. The loader runs on the
// host's start-up thread only, as the host's does.
std::vector<void*>& HeldLibraries() {
  static std::vector<void*> held;
  return held;
}

// Largest number of classes a module may declare; a larger count is taken
// as a broken module rather than trusted.
constexpr int kMaxModuleClasses = 1024;

void* OpenLibrary(const std::string& path, std::string& why) {
#ifdef _WIN32
  HMODULE h = LoadLibraryA(path.c_str());
  if (!h) why = "the system could not load it (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(h);
#else
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* e = dlerror();
    why = e ? e : "the system could not load it";
  }
  return h;
#endif
}

void CloseLibrary(void* lib) {
  if (!lib) return;
#ifdef _WIN32
  FreeLibrary(reinterpret_cast<HMODULE>(lib));
#else
  dlclose(lib);
#endif
}

// The address of an unmangled export as a function pointer, or null.
template <class Fn>
Fn FindExport(void* lib, const char* name) {
#ifdef _WIN32
  FARPROC sym = GetProcAddress(reinterpret_cast<HMODULE>(lib), name);
#else
  void* sym = dlsym(lib, name);
#endif
  Fn fn = nullptr;
  if (sym) {
    static_assert(sizeof(fn) == sizeof(sym));
    std::memcpy(&fn, &sym, sizeof(fn));
  }
  return fn;
}

std::string Hex(unsigned long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%08lX", v);
  return buf;
}

}  // namespace

std::unique_ptr<PluginModule> PluginModule::Load(const std::string& path, ClassDirectory& directory,
                                                 std::string* error) {
  auto fail = [&](const std::string& msg) -> std::unique_ptr<PluginModule> {
    if (error) *error = "module '" + path + "': " + msg;
    return nullptr;
  };

  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return fail("no such file");

  std::string why;
  void* lib = OpenLibrary(path, why);
  if (!lib) return fail("not a loadable module: " + why);

  // Opening a library twice gives the same library: its entry point and
  // classes are already in use, so a second load is refused.
  auto& held = HeldLibraries();
  if (std::find(held.begin(), held.end(), lib) != held.end()) {
    CloseLibrary(lib);
    return fail("it is already loaded");
  }

  std::unique_ptr<PluginModule> m(new PluginModule());
  m->path_ = path;
  m->library_ = lib;
  m->hInstance_ = reinterpret_cast<HINSTANCE>(lib);
  m->directory_ = &directory;
  held.push_back(lib);

  const auto describe = FindExport<LibDescriptionFn>(lib, "LibDescription");
  const auto numClasses = FindExport<LibNumberClassesFn>(lib, "LibNumberClasses");
  const auto classDesc = FindExport<LibClassDescFn>(lib, "LibClassDesc");
  const auto version = FindExport<LibVersionFn>(lib, "LibVersion");
#ifdef _WIN32
  // The system runs the entry point itself when it loads the library.
  m->dllMain_ = nullptr;
#else
  m->dllMain_ = FindExport<DllMainFn>(lib, "DllMain");
#endif
  const char* missing = !describe     ? "LibDescription"
                        : !numClasses ? "LibNumberClasses"
                        : !classDesc  ? "LibClassDesc"
                        : !version    ? "LibVersion"
                                      : nullptr;
#ifndef _WIN32
  if (!missing && !m->dllMain_) missing = "DllMain";
#endif
  if (missing) {
    m->dllMain_ = nullptr;  // never attached: no detach either
    return fail(std::string("the export '") + missing + "' is missing");
  }

  if (m->dllMain_ && !m->dllMain_(m->hInstance_, DLL_PROCESS_ATTACH, nullptr)) {
    m->dllMain_ = nullptr;
    return fail("its entry point refused to attach");
  }

  m->version_ = version();
  if ((m->version_ >> 8) != (HOST_API_VERSION >> 8)) {
    return fail("version " + Hex(m->version_) + " is not accepted (this host takes " + Hex(HOST_API_VERSION) +
                ")");
  }

  const char* text = describe();
  m->description_ = text ? text : "";

  const int n = numClasses();
  if (n < 0 || n > kMaxModuleClasses) return fail("it declares " + std::to_string(n) + " classes");
  for (int i = 0; i < n; ++i) {
    ClassDesc* cd = classDesc(i);
    if (!cd) return fail("LibClassDesc(" + std::to_string(i) + ") gave no class descriptor");
    if (!directory.Register(cd)) {
      const char* name = cd->ClassName();
      return fail(std::string("class '") + (name ? name : "") + "' is already registered");
    }
    m->classes_.push_back(cd);
  }
  return m;
}

PluginModule::~PluginModule() { Unload(); }

void PluginModule::Unload() {
  if (directory_) {
    for (ClassDesc* cd : classes_) directory_->Unregister(cd);
  }
  classes_.clear();
  if (dllMain_) dllMain_(hInstance_, DLL_PROCESS_DETACH, nullptr);
  dllMain_ = nullptr;
  if (library_) {
    auto& held = HeldLibraries();
    held.erase(std::remove(held.begin(), held.end(), library_), held.end());
  }
  CloseLibrary(library_);
  library_ = nullptr;
}

ClassDesc* PluginModule::GetClassDesc(int i) const {
  if (i < 0 || i >= NumClasses()) return nullptr;
  return classes_[static_cast<std::size_t>(i)];
}

}  // namespace tessary::host
