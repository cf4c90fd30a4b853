#include "app/host_session.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/bitmap_tex.h"
#include "app/mode_names.h"
#include "host/runtime/class_directory.h"
#include "host/runtime/stdmap_classes.h"

namespace tessary::app {

namespace fs = std::filesystem;

std::vector<std::string> ModuleCandidates() {
  if (const char* env = std::getenv("TESSARY_MODULE"); env && *env) {
    // A bare file name is a file in the current folder, as everywhere else on
    // the command line (the loader alone would search its library path).
    std::error_code ec;
    const fs::path absolute = fs::absolute(env, ec);
    return {ec ? std::string(env) : absolute.string()};
  }
  std::vector<std::string> paths;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    // Beside the program; installed, in lib/tessary/ next to bin/; in a
    // build tree, in lib/ next to bin/.
    const fs::path prefix = exe.parent_path().parent_path();
    paths.push_back((exe.parent_path() / kModuleFileName).string());
    paths.push_back((prefix / "lib" / "tessary" / kModuleFileName).string());
    paths.push_back((prefix / "lib" / kModuleFileName).string());
  }
  return paths;
}

std::string SharedDataDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("share/tessary") : (exe.parent_path().parent_path() / "share" / "tessary").string();
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
