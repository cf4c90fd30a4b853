#include "app/image_module.h"

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/command_steps.h"
#include "app/commands.h"
#include "app/host_session.h"
#include "app/layers_sheet.h"

// Defined where the module's code is linked into the program itself.
extern "C" const tessary::app::ImageModule* tessary_image_module() __attribute__((weak));

namespace tessary::app {

namespace {

struct Loaded {
  const ImageModule* module = nullptr;
  std::string error;
};

std::atomic<bool> g_loaded{false};

// The thread limit in force, and the module once loaded (both under the lock).
std::mutex g_threadsMutex;
bool g_threadsLimited = false;
int g_threads = 0;
const ImageModule* g_module = nullptr;

std::string Refusal(const ImageModule* m) {
  if (!m) return "it has no image functions";
  if (m->size != sizeof(ImageModule) || !m->version || std::string(m->version) != TESSARY_VERSION_STRING)
    return std::string("it is of another version (") + (m->version ? m->version : "?") + "; this program is " +
           TESSARY_VERSION_STRING + ")";
  return {};
}

Loaded Load() {
  Loaded result;
  if (tessary_image_module) {
    result.module = tessary_image_module();
    return result;
  }
  const std::vector<std::string> places = ModulePlaces(kImageModuleFileName);
  std::string path;
  std::error_code ec;
  for (const std::string& p : places) {
    if (std::filesystem::exists(p, ec)) {
      path = p;
      break;
    }
  }
  if (path.empty()) {
    result.error = std::string("cannot find the image module ") + kImageModuleFileName + " (looked at";
    for (std::size_t i = 0; i < places.size(); ++i) result.error += (i ? ", " : " ") + places[i];
    result.error += ")";
    return result;
  }
  // Never unloaded: the library's threads and handlers live until the end.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    result.error = "cannot load the image module " + path + ": " + (why ? why : "unknown reason");
    return result;
  }
  using Entry = const ImageModule* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(handle, "tessary_image_module"));
  const ImageModule* module = entry ? entry() : nullptr;
  if (const std::string why = Refusal(module); !why.empty()) {
    result.error = "cannot use the image module " + path + ": " + why;
    return result;
  }
  result.module = module;
  return result;
}

const Loaded& Module() {
  static const Loaded loaded = [] {
    Loaded l = Load();
    std::lock_guard lock(g_threadsMutex);
    if (l.module && g_threadsLimited) l.module->setThreads(true, g_threads);
    g_module = l.module;
    g_loaded.store(l.module != nullptr, std::memory_order_release);
    return l;
  }();
  return loaded;
}

}  // namespace

const ImageModule* ImageModuleOrError(std::string& error) {
  const Loaded& loaded = Module();
  if (!loaded.module) error = loaded.error;
  return loaded.module;
}

bool ImageModuleLoaded() { return g_loaded.load(std::memory_order_acquire); }

void SetLibraryThreadLimit(bool limited, int n) {
  std::lock_guard lock(g_threadsMutex);
  g_threadsLimited = limited;
  g_threads = n;
  if (g_module) g_module->setThreads(limited, n);
}

void LibraryThreadLimit(bool& limited, int& n) {
  std::lock_guard lock(g_threadsMutex);
  limited = g_threadsLimited;
  n = g_threads;
}

// The commands that are the image library's through and through.

int RunModes(const ModesArgs& args, std::ostream& out, std::ostream& err) {
  std::string error;
  const ImageModule* images = ImageModuleOrError(error);
  return images ? images->runModes(args, out, err) : Fail(err, error);
}

int RunLayers(const LayersArgs& args, std::ostream& out, std::ostream& err) {
  std::string error;
  const ImageModule* images = ImageModuleOrError(error);
  return images ? images->runLayers(args, out, err) : Fail(err, error);
}

int RunAssemble(const AssembleArgs& args, std::ostream& out, std::ostream& err) {
  std::string error;
  const ImageModule* images = ImageModuleOrError(error);
  return images ? images->runAssemble(args, out, err) : Fail(err, error);
}

}  // namespace tessary::app
