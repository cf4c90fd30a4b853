#include "app/host_session.h"

#include <cstdlib>
#include <filesystem>

#include "app/bitmap_tex.h"
#include "app/mode_names.h"
#include "host/runtime/class_directory.h"
#include "host/runtime/stdmap_classes.h"
#include "platform/win32.h"

namespace tessary::app {

namespace fs = std::filesystem;

namespace {

// The running program's file; empty when the system does not say.
fs::path ProgramFile() {
#ifdef _WIN32
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return fs::path(name);
    }
    if (name.size() >= 32768) return {};  // longer than any Windows path
    name.resize(name.size() * 2);
  }
#else
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe;
#endif
}

// A path as the program's other file names are written: on Windows in the
// system's code page (as the C runtime and the narrow file functions take
// them), elsewhere as the system gives it.
std::string NarrowPath(const fs::path& p) {
#ifdef _WIN32
  const std::wstring& wide = p.native();
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), n, nullptr, nullptr);
  return narrow;
#else
  return p.string();
#endif
}

}  // namespace

std::vector<std::string> ModuleCandidates() {
  if (const char* env = std::getenv("TESSARY_MODULE"); env && *env) {
#ifdef _WIN32
    return {env};  // the loader looks in the current folder too
#else
    // A bare file name is a file in the current folder, as everywhere else on
    // the command line (the loader alone would search its library path).
    std::error_code ec;
    const fs::path absolute = fs::absolute(env, ec);
    return {ec ? std::string(env) : absolute.string()};
#endif
  }
  return ModulePlaces(kModuleFileName);
}

std::vector<std::string> ModulePlaces(const char* fileName) {
  std::vector<std::string> paths;
  const fs::path exe = ProgramFile();
  if (!exe.empty()) {
    // Beside the program; installed, in lib/tessary/ next to bin/; in a
    // build tree, in lib/ next to bin/.
    const fs::path prefix = exe.parent_path().parent_path();
    paths.push_back(NarrowPath(exe.parent_path() / fileName));
    paths.push_back(NarrowPath(prefix / "lib" / "tessary" / fileName));
    paths.push_back(NarrowPath(prefix / "lib" / fileName));
  }
  return paths;
}

std::string SharedDataDir() {
  const fs::path exe = ProgramFile();
  return exe.empty() ? std::string("share/tessary") : NarrowPath(exe.parent_path().parent_path() / "share" / "tessary");
}

std::unique_ptr<HostSession> HostSession::Start(std::string& error) {
  const std::vector<std::string> candidates = ModuleCandidates();
  std::string path;
  std::error_code ec;
  for (const std::string& p : candidates) {
    if (fs::exists(p, ec)) {
      path = p;
      break;
    }
  }
  if (path.empty()) {
    error = std::string("cannot find the plug-in module ") + kModuleFileName + " (looked at";
    for (std::size_t i = 0; i < candidates.size(); ++i) error += (i ? ", " : " ") + candidates[i];
    error += "; set TESSARY_MODULE to its path)";
    return nullptr;
  }
  auto session = std::unique_ptr<HostSession>(new HostSession());
  host::ClassDirectory& directory = host::ClassDirectory::Instance();
  session->module_ = host::PluginModule::Load(path, directory, &error);
  if (!session->module_) return nullptr;
  if (!LoadModeNames(session->module_->Instance(), error)) return nullptr;
  for (host::ClassDesc* cd : {static_cast<host::ClassDesc*>(host::GetConstantTexDesc()),
                              static_cast<host::ClassDesc*>(host::GetCheckerTexDesc()),
                              static_cast<host::ClassDesc*>(host::GetGradientTexDesc()),
                              static_cast<host::ClassDesc*>(host::GetNoiseTexDesc()),
                              static_cast<host::ClassDesc*>(GetBitmapTexDesc())}) {
    if (directory.Register(cd)) session->registered_.push_back(cd);
  }
  return session;
}

HostSession::~HostSession() {
  for (host::ClassDesc* cd : registered_) host::ClassDirectory::Instance().Unregister(cd);
}

}  // namespace tessary::app
