#include "app/scene_io.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <span>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/bitmap_tex.h"
#include "app/output_file.h"
#include "app/scene_json.h"
#include "host/runtime/class_directory.h"
#include "host/runtime/scene_file.h"
#include "host/sdk/classdesc.h"
#include "host/sdk/iosave.h"

namespace tessary::app {

namespace fs = std::filesystem;

namespace {

// The scene property of a binary scene file that holds the working colour
// space (the JSON scene's "workingColorspace").
constexpr const char* kWorkingColorspaceProperty = "workingColorspace";

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

bool SceneFormatForPath(const std::string& path, SceneFormat& format, std::string& error) {
  if (IsStandardOutput(path)) {  // standard output takes JSON text
    format = SceneFormat::Json;
    return true;
  }
  const std::string ext = LowerExtension(path);
  if (ext == ".tsy") format = SceneFormat::Binary;
  else if (ext == ".json") format = SceneFormat::Json;
  else {
    error = path + ": " +
            (ext.empty() ? std::string("no extension") : "unknown scene format \"" + fs::path(path).extension().string() + "\"") +
            " (a scene is written as .json or .tsy)";
    return false;
  }
  return true;
}

SceneFormat DetectSceneFormat(const std::string& path) {
  char start[64] = {};
  std::size_t got = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    got = std::fread(start, 1, sizeof start, f);
    std::fclose(f);
  }
  if (got >= sizeof host::kSceneMagic && std::memcmp(start, host::kSceneMagic, sizeof host::kSceneMagic) == 0)
    return SceneFormat::Binary;
  if (LowerExtension(path) != ".tsy") return SceneFormat::Json;
  std::size_t i = 0;
  while (i < got && std::isspace(static_cast<unsigned char>(start[i]))) ++i;
  return i < got && start[i] == '{' ? SceneFormat::Json : SceneFormat::Binary;
}

namespace {

// Walks the graph once, calling f on every map.
template <class F>
void ForEachMap(host::Texmap* t, std::set<host::Texmap*>& seen, F&& f) {
  if (!t || !seen.insert(t).second) return;
  f(t);
  const int n = t->NumSubTexmaps();
  for (int i = 0; i < n; ++i) ForEachMap(t->GetSubTexmap(i), seen, f);
}

bool LoadBinaryBytes(const std::string& path, std::span<const std::uint8_t> bytes, SceneGraph& graph,
                     std::string& error);

bool LoadBinary(const std::string& path, SceneGraph& graph, std::string& error) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    error = path + ": cannot read: no such file";
    return false;
  }
  std::vector<std::uint8_t> bytes;
  std::string why;
  if (!host::ReadWholeFile(path, host::kMaxSceneFileBytes, bytes, &why)) {
    error = path + ": cannot read: " + why;
    return false;
  }
  return LoadBinaryBytes(path, bytes, graph, error);
}

bool LoadBinaryBytes(const std::string& path, std::span<const std::uint8_t> bytes, SceneGraph& graph,
                     std::string& error) {
  std::string why;
  host::ClassDirectory& directory = host::ClassDirectory::Instance();
  const host::SceneObjectFactory factory = [&](host::SClass_ID sclass, host::Class_ID cid) -> host::ReferenceTarget* {
    host::Animatable* a = directory.Create(sclass, cid, true);
    auto* obj = dynamic_cast<host::ReferenceTarget*>(a);
    if (a && !obj) a->DeleteThis();
    return obj;
  };
  host::SceneProperties properties;
  host::ReferenceTarget* root = host::ReadScene(bytes, &why, factory, &properties);
  if (!root) {
    error = path + ": " + why;
    return false;
  }
  // Properties this program does not know are a later version's: skipped.
  for (const auto& [name, value] : properties)
    if (name == kWorkingColorspaceProperty && !value.empty()) graph.workingColorspace = value;
  if (root->SuperClassID() != host::TEXMAP_CLASS_ID) {
    host::DeleteGraph(root);
    error = path + ": the root object is not a texture map";
    return false;
  }
  graph.root = static_cast<host::Texmap*>(root);
  if (!CheckGraph(graph.root, why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace

// The maps of a JSON scene read from `label`.
bool BuildJsonScene(const SceneDesc& scene, const std::string& label, SceneGraph& graph, std::string& error) {
  graph.jsonVersion = scene.version;
  graph.workingColorspace = scene.workingColorspace;
  std::string why;
  if (!BuildGraph(*scene.root, graph, why)) {
    error = label + ":" + why;
    return false;
  }
  return true;
}

// A scene on standard input: read once, whole (as large as a scene file may
// be), as what its first bytes say; relative image paths start in the
// current folder.
bool LoadStandardInput(SceneGraph& graph, std::string& error) {
  static bool consumed = false;
  const std::string label = "standard input";
  graph.path = label;
  graph.baseDir = "";
  if (consumed) {
    error = label + ": read already (one scene can come from standard input)";
    return false;
  }
  consumed = true;
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);  // a binary scene's bytes as they are
#endif
  std::vector<std::uint8_t> bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() > kMaxSceneFileBytes) {
      error = label + ": scene too large (the limit is " + std::to_string(kMaxSceneFileBytes) + " bytes)";
      return false;
    }
    if (n < sizeof buffer) break;
  }
  if (std::ferror(stdin)) {
    error = label + ": cannot read: " + std::strerror(errno);
    return false;
  }
  graph.binary = bytes.size() >= sizeof host::kSceneMagic &&
                 std::memcmp(bytes.data(), host::kSceneMagic, sizeof host::kSceneMagic) == 0;
  if (graph.binary) return LoadBinaryBytes(label, bytes, graph, error);
  SceneDesc scene;
  const std::string text(bytes.begin(), bytes.end());
  return ParseSceneJson(text, label, "", scene, error) && BuildJsonScene(scene, label, graph, error);
}

bool LoadScene(const std::string& path, SceneGraph& graph, std::string& error) {
  if (IsStandardOutput(path)) return LoadStandardInput(graph, error);
  graph.path = path;
  graph.baseDir = fs::path(path).parent_path().string();
  graph.binary = DetectSceneFormat(path) == SceneFormat::Binary;
  if (graph.binary) return LoadBinary(path, graph, error);
  SceneDesc scene;
  return ReadSceneJson(path, scene, error) && BuildJsonScene(scene, path, graph, error);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  OutputFile file;
  if (file.Open(path, error)) {
    file.Write(bytes.data(), bytes.size());  // a failure is reported by Commit
    if (file.Commit(error)) return true;
  }
  error = (IsStandardOutput(path) ? std::string("standard output") : path) + ": " + error;
  return false;
}

namespace {

// While it lives, the relative image paths of the graph's bitmaps are
// re-expressed from the folder of the scene they were read from to the folder
// of the scene being written, so a scene written elsewhere still finds its
// images. Written into its own folder, a scene keeps its paths as they are.
class RebasedImagePaths {
 public:
  RebasedImagePaths(const SceneGraph& graph, const std::string& outPath) {
    std::error_code ec;
    const fs::path from = fs::absolute(graph.baseDir.empty() ? fs::path(".") : fs::path(graph.baseDir), ec);
    const fs::path to = fs::absolute(fs::path(outPath).parent_path().empty() ? fs::path(".")
                                                                            : fs::path(outPath).parent_path(),
                                     ec);
    if (from.lexically_normal() == to.lexically_normal()) return;
    std::set<host::Texmap*> seen;
    ForEachMap(graph.root, seen, [&](host::Texmap* t) {
      if (t->ClassID() != BITMAP_TEX_CLASS_ID) return;
      auto* bitmap = static_cast<BitmapTex*>(t);
      const fs::path file(bitmap->file);
      if (bitmap->file.empty() || file.is_absolute()) return;
      const fs::path moved = (from / file).lexically_normal().lexically_relative(to.lexically_normal());
      if (moved.empty()) return;
      changed_.emplace_back(bitmap, bitmap->file);
      bitmap->file = moved.generic_string();
    });
  }
  ~RebasedImagePaths() {
    for (auto& [bitmap, file] : changed_) bitmap->file = file;
  }
  RebasedImagePaths(const RebasedImagePaths&) = delete;
  RebasedImagePaths& operator=(const RebasedImagePaths&) = delete;

 private:
  std::vector<std::pair<BitmapTex*, std::string>> changed_;
};

}  // namespace

bool SaveScene(const std::string& path, const SceneGraph& graph, std::string& error) {
  SceneFormat format{};
  if (!SceneFormatForPath(path, format, error)) return false;
  const RebasedImagePaths rebased(graph, path);
  std::string why;
  if (format == SceneFormat::Binary) {
    std::vector<std::uint8_t> bytes;
    host::SceneProperties properties;
    if (!graph.workingColorspace.empty()) properties.emplace_back(kWorkingColorspaceProperty, graph.workingColorspace);
    if (host::WriteScene(graph.root, bytes, &why, properties) != host::IO_OK) {
      error = path + ": cannot write the scene: " + why;
      return false;
    }
    return WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()), error);
  }
  SceneDesc scene;
  scene.workingColorspace = graph.workingColorspace;
  scene.root = DescribeGraph(graph.root, graph, why);
  if (!scene.root) {
    error = path + ": " + why;
    return false;
  }
  return WriteFileAtomically(path, WriteSceneJson(scene), error);
}

}  // namespace tessary::app
