// The images of a scene's bitmaps: read once per file (side by side, see
// image_preload.cpp) and given to the maps. Apart from map_graph.cpp (which
// builds and describes maps without reading any image), so that the scene
// reader and the map builder can be built without the image library.

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/map_graph.h"

namespace tessary::app {

namespace fs = std::filesystem;
using host::Texmap;

std::shared_ptr<const Image> ImageLibrary::Get(const std::string& path, std::string& error) {
  auto it = images_.find(path);
  if (it != images_.end()) return it->second;
  auto image = std::make_shared<Image>();
  if (!ReadImage(path, *image, error)) return nullptr;
  images_.emplace(path, image);
  return image;
}

std::vector<std::string> ImageLibrary::Paths() const {
  std::vector<std::string> paths;
  for (const auto& entry : images_) paths.push_back(entry.first);
  return paths;
}

namespace {

void CollectMaps(Texmap* t, std::set<Texmap*>& seen, std::vector<Texmap*>& order) {
  if (!t || !seen.insert(t).second) return;
  order.push_back(t);
  const int n = t->NumSubTexmaps();
  for (int i = 0; i < n; ++i) CollectMaps(t->GetSubTexmap(i), seen, order);
}

}  // namespace

bool PrepareGraph(SceneGraph& graph, ImageLibrary& images, std::string& error) {
  std::set<Texmap*> seen;
  std::vector<Texmap*> maps;
  CollectMaps(graph.root, seen, maps);
  // Each distinct file is read once, the files side by side.
  std::vector<BitmapTex*> bitmaps;
  std::vector<std::string> paths;
  for (Texmap* t : maps) {
    if (t->ClassID() != BITMAP_TEX_CLASS_ID) continue;
    auto* b = static_cast<BitmapTex*>(t);
    fs::path p(b->file);
    if (p.is_relative() && !graph.baseDir.empty()) p = fs::path(graph.baseDir) / p;
    bitmaps.push_back(b);
    paths.push_back(p.lexically_normal().string());
  }
  images.Preload(paths);
  for (std::size_t i = 0; i < bitmaps.size(); ++i) {
    std::string why;
    auto image = images.Get(paths[i], why);
    if (!image) {
      const auto pos = graph.positions.find(bitmaps[i]);
      error = graph.path + ":" + (pos != graph.positions.end() && pos->second.line > 0 ? PositionPrefix(pos->second) : " ") +
              "\"" + bitmaps[i]->file + "\": " + why;
      return false;
    }
    bitmaps[i]->SetImage(std::move(image));
  }
  host::Interval valid = host::FOREVER;
  graph.root->Update(0, valid);
  return true;
}

}  // namespace tessary::app
