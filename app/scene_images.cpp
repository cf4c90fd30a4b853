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

std::string ImageLibrary::Key(const ImageRequest& r) {
  return r.path + '\n' + r.colorspace + '\n' + r.working + '\n' + std::to_string(static_cast<int>(r.alpha));
}

const ColourConfig* ImageLibrary::Colours(std::string& error) {
  if (!colours_ && !opened_) colours_ = OpenColourConfig("", openError_);
  opened_ = true;
  if (!colours_ && !openError_.empty()) error = openError_;
  return colours_.get();
}

std::string ImageLibrary::CheckColourSpace(const std::string& name) {
  std::string error;
  const ColourConfig* colours = Colours(error);
  if (!error.empty()) return error;
  return !colours || colours->Knows(name) ? std::string() : colours->Unknown(name);
}

bool ImageLibrary::ReadAndConvert(const ImageRequest& r, const ColourConfig* colours, Image& image,
                                  std::string& error) {
  if (!ReadImage(r.path, image, error)) return false;
  if (colours) {
    const bool premultiplied =
        r.alpha == AlphaMode::FromFile ? image.premultiplied : r.alpha == AlphaMode::Premultiplied;
    if (!colours->Convert(image, r.colorspace, r.working, premultiplied, error)) return false;
  }
  // The values as the maps will see them, checked once for the sampler.
  image.plainValues = image.rgba8.empty() && PlainValues(image.rgba.data(), image.rgba.size());
  return true;
}

std::shared_ptr<const Image> ImageLibrary::Get(const ImageRequest& request, std::string& error) {
  const std::string key = Key(request);
  auto it = images_.find(key);
  if (it != images_.end()) return it->second;
  const ColourConfig* colours = Colours(error);
  if (!colours && !error.empty()) return nullptr;
  auto image = std::make_shared<Image>();
  if (!ReadAndConvert(request, colours, *image, error)) return nullptr;
  images_.emplace(key, image);
  paths_.emplace(key, request.path);
  return image;
}

std::vector<std::string> ImageLibrary::Paths() const {
  std::set<std::string> unique;
  for (const auto& entry : paths_) unique.insert(entry.second);
  return std::vector<std::string>(unique.begin(), unique.end());
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
  const std::string working = WorkingSpace(graph);
  if (const std::string why = images.CheckColourSpace(working); !why.empty()) {
    error = graph.path + ": working colour space: " + why;
    return false;
  }
  // Each distinct file is read once, the files side by side.
  std::vector<BitmapTex*> bitmaps;
  std::vector<ImageRequest> requests;
  for (Texmap* t : maps) {
    if (t->ClassID() != BITMAP_TEX_CLASS_ID) continue;
    auto* b = static_cast<BitmapTex*>(t);
    fs::path p(b->file);
    if (p.is_relative() && !graph.baseDir.empty()) p = fs::path(graph.baseDir) / p;
    bitmaps.push_back(b);
    requests.push_back(ImageRequest{p.lexically_normal().string(), b->colorspace, working, b->alpha});
  }
  // Unknown names fail before any file is read.
  for (std::size_t i = 0; i < bitmaps.size(); ++i) {
    if (bitmaps[i]->colorspace.empty()) continue;
    if (const std::string why = images.CheckColourSpace(bitmaps[i]->colorspace); !why.empty()) {
      const auto pos = graph.positions.find(bitmaps[i]);
      error = graph.path + ":" + (pos != graph.positions.end() && pos->second.line > 0 ? PositionPrefix(pos->second) : " ") +
              "\"" + bitmaps[i]->file + "\": " + why;
      return false;
    }
  }
  images.Preload(requests);
  for (std::size_t i = 0; i < bitmaps.size(); ++i) {
    std::string why;
    auto image = images.Get(requests[i], why);
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
