#include "app/map_graph.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include <tbb/parallel_for.h>
#include <algorithm>

#include "app/scene_json.h"
#include "host/classdesc.h"
#include "host/scene_file.h"
#include "host/stdmap_classes.h"
#include "map/quilbo.h"
#include "plugin/quilbo_class_desc.h"

namespace tessary::app {

namespace fs = std::filesystem;
using host::Texmap;

Quilbo* AsLayered(host::Animatable* m) {
  if (!m || m->SuperClassID() != host::TEXMAP_CLASS_ID || m->ClassID() != QUILBO_CLASS_ID) return nullptr;
  return static_cast<Quilbo*>(m);
}

SceneGraph::~SceneGraph() {
  if (root) host::DeleteGraph(root);
}

namespace {

std::string Where(const SourcePos& pos) {
  return pos.line > 0 ? std::to_string(pos.line) + ":" + std::to_string(pos.column) + ": " : "";
}

host::Class_ID ClassOf(MapType type) {
  switch (type) {
    case MapType::Layered: return QUILBO_CLASS_ID;
    case MapType::Constant: return host::CONSTANT_TEX_CLASS_ID;
    case MapType::Bitmap: return BITMAP_TEX_CLASS_ID;
    case MapType::Checker: return host::CHECKER_TEX_CLASS_ID;
    case MapType::Gradient: return host::GRADIENT_TEX_CLASS_ID;
    case MapType::Noise: return host::NOISE_TEX_CLASS_ID;
  }
  return host::Class_ID();
}

// A new map of the description's class, made through the class directory.
Texmap* Create(const MapDesc& d, std::string& error) {
  const host::Class_ID id = ClassOf(d.type);
  host::Animatable* made = host::ClassDirectory::Instance().Create(host::TEXMAP_CLASS_ID, id);
  if (!made || made->SuperClassID() != host::TEXMAP_CLASS_ID || made->ClassID() != id) {
    if (made) made->DeleteThis();
    error = Where(d.pos) + "the host cannot make a " + std::string(MapTypeName(d.type)) + " map";
    return nullptr;
  }
  // Every class registered under TEXMAP_CLASS_ID derives from Texmap.
  return static_cast<Texmap*>(static_cast<host::ReferenceTarget*>(made));
}

void ConfigureLayered(Quilbo& q, const MapDesc& d) {
  const int n = static_cast<int>(d.layers.size());
  q.SetNumSubTexmaps(n);
  for (int i = 0; i < n; ++i) {
    const LayerDesc& l = d.layers[static_cast<std::size_t>(i)];
    q.mapOn[i] = l.mapOn ? 1 : 0;
    q.maskOn[i] = l.maskOn ? 1 : 0;
    q.layerUsed[i] = l.used ? 1 : 0;
    q.opacity[i] = l.opacity;
    q.layerColor[i] = l.color;
    q.blendMode[i] = l.mode;
  }
  const OutputDesc& o = d.output;
  q.outputOn = o.on;
  q.clampOn = o.clamp;
  q.monoOn = o.mono;
  q.alphaShift = o.alpha;
  q.brightness = o.bright * 0.01f;
  q.contrast = o.contrast * 0.01f;
  q.gamma = o.gamma;
  q.hsvShift = host::AColor(o.hsv[0], o.hsv[1], o.hsv[2], 0.0f);
  q.rgbShift = host::AColor(o.rgb[0], o.rgb[1], o.rgb[2], 0.0f);
}

Texmap* Build(const MapDesc& d, SceneGraph& graph, std::string& error) {
  if (d.type == MapType::Layered && d.layers.empty()) {
    error = Where(d.pos) + "a layered map needs at least one layer";
    return nullptr;
  }
  Texmap* map = Create(d, error);
  if (!map) return nullptr;
  map->SetName(d.name);
  graph.positions[map] = d.pos;
  switch (d.type) {
    case MapType::Layered: {
      Quilbo* q = AsLayered(map);
      ConfigureLayered(*q, d);
      for (std::size_t i = 0; i < d.layers.size(); ++i) {
        const MapDesc* subs[2] = {d.layers[i].map.get(), d.layers[i].mask.get()};
        for (int k = 0; k < 2; ++k) {
          if (!subs[k]) continue;
          Texmap* sub = Build(*subs[k], graph, error);
          if (!sub) {
            host::DeleteGraph(map);
            return nullptr;
          }
          q->SetSubTexmap(2 * static_cast<int>(i) + k, sub);
        }
      }
      SyncParamBlock(*q);
      break;
    }
    case MapType::Constant: static_cast<host::ConstantTex*>(map)->params = d.constant; break;
    case MapType::Checker: static_cast<host::CheckerTex*>(map)->params = d.checker; break;
    case MapType::Gradient: static_cast<host::GradientTex*>(map)->params = d.gradient; break;
    case MapType::Noise: static_cast<host::NoiseTex*>(map)->params = d.noise; break;
    case MapType::Bitmap: {
      auto* b = static_cast<BitmapTex*>(map);
      b->file = d.bitmap.file;
      b->tile = d.bitmap.tile;
      b->offset = d.bitmap.offset;
      b->alpha = d.bitmap.alpha;
      break;
    }
  }
  return map;
}

}  // namespace

bool BuildGraph(const MapDesc& desc, SceneGraph& graph, std::string& error) {
  graph.root = Build(desc, graph, error);
  return graph.root != nullptr;
}

void SyncParamBlock(Quilbo& q) {
  host::IParamBlock2* pb = q.pblock;
  if (!pb) return;
  const int n = q.LayerCount();
  pb->SetCount(params::kMapList, 2 * n);
  for (host::ParamID id : {params::kMapEnabled, params::kMaskEnabled, params::kMapUsed, params::kColorList,
                           params::kOpasityList, params::kModeList, params::kEditIds}) {
    pb->SetCount(id, n);
  }
  const int walk = q.Tables().WalkableLayers();
  for (int i = 0; i < walk; ++i) {
    pb->SetValue(params::kMapEnabled, 0, q.mapOn[i], i);
    pb->SetValue(params::kMaskEnabled, 0, q.maskOn[i], i);
    pb->SetValue(params::kMapUsed, 0, q.layerUsed[i], i);
    pb->SetValue(params::kColorList, 0, q.layerColor[i], i);
    pb->SetValue(params::kOpasityList, 0, q.opacity[i], i);
    pb->SetValue(params::kModeList, 0, q.blendMode[i], i);
    pb->SetValue(params::kEditIds, 0, std::to_string(i).c_str(), i);
  }
}

// --- Checking and describing ----------------------------------------------------

namespace {

bool KnownClass(Texmap* t) {
  const host::Class_ID id = t->ClassID();
  return id == QUILBO_CLASS_ID || id == BITMAP_TEX_CLASS_ID || id == host::CONSTANT_TEX_CLASS_ID ||
         id == host::CHECKER_TEX_CLASS_ID || id == host::GRADIENT_TEX_CLASS_ID || id == host::NOISE_TEX_CLASS_ID;
}

std::string ClassText(Texmap* t) {
  host::MSTR name;
  t->GetClassName(name);
  return name.empty() ? "an unknown class" : name;
}

bool Check(Texmap* t, int depth, std::set<Texmap*>& onPath, std::set<Texmap*>& done, std::string& error) {
  if (done.count(t)) return true;
  if (onPath.count(t)) {
    error = "a " + ClassText(t) + " map is its own sub-map (a reference cycle)";
    return false;
  }
  if (depth >= kMaxNesting) {
    error = "maps nested more than " + std::to_string(kMaxNesting) + " deep";
    return false;
  }
  if (!KnownClass(t)) {
    error = "a map of " + ClassText(t) + " cannot be evaluated by this program";
    return false;
  }
  onPath.insert(t);
  const int n = t->NumSubTexmaps();
  for (int i = 0; i < n; ++i) {
    Texmap* sub = t->GetSubTexmap(i);
    if (sub && !Check(sub, depth + 1, onPath, done, error)) return false;
  }
  onPath.erase(t);
  done.insert(t);
  return true;
}

template <class T>
T Entry(const host::Tab<T>& table, int i, T fallback) {
  return i < table.Count() ? table[i] : fallback;
}

bool Describe(Texmap* t, const SceneGraph& graph, MapDesc& d, int depth, std::string& error);

std::unique_ptr<MapDesc> DescribeSub(Texmap* t, const SceneGraph& graph, int depth, std::string& error) {
  if (!t) return nullptr;
  auto d = std::make_unique<MapDesc>();
  if (!Describe(t, graph, *d, depth + 1, error)) return nullptr;
  return d;
}

bool Describe(Texmap* t, const SceneGraph& graph, MapDesc& d, int depth, std::string& error) {
  if (depth >= kMaxNesting) {
    error = "maps nested more than " + std::to_string(kMaxNesting) + " deep";
    return false;
  }
  d.name = t->GetName();
  if (auto it = graph.positions.find(t); it != graph.positions.end()) d.pos = it->second;
  const host::Class_ID id = t->ClassID();
  if (Quilbo* q = AsLayered(t)) {
    d.type = MapType::Layered;
    if (auto v = graph.layerChunkVersions.find(t); v != graph.layerChunkVersions.end()) d.layerChunkVersion = v->second;
    const int n = q->LayerCount();
    d.layers.clear();
    d.layers.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      LayerDesc& l = d.layers[static_cast<std::size_t>(i)];
      l.mapOn = Entry(q->mapOn, i, 1) != 0;
      l.maskOn = Entry(q->maskOn, i, 1) != 0;
      l.used = Entry(q->layerUsed, i, 1) != 0;
      l.opacity = Entry(q->opacity, i, 100.0f);
      l.color = Entry(q->layerColor, i, host::Color(0.5f, 0.5f, 0.5f));
      l.mode = Entry(q->blendMode, i, 0);
      l.map = DescribeSub(q->GetSubTexmap(2 * i), graph, depth, error);
      if (!error.empty()) return false;
      l.mask = DescribeSub(q->GetSubTexmap(2 * i + 1), graph, depth, error);
      if (!error.empty()) return false;
    }
    OutputDesc& o = d.output;
    o.on = q->outputOn;
    o.clamp = q->clampOn;
    o.mono = q->monoOn;
    o.alpha = q->alphaShift;
    o.bright = PercentFromFactor(q->brightness);
    o.contrast = PercentFromFactor(q->contrast);
    o.gamma = q->gamma;
    o.hsv = {q->hsvShift.r, q->hsvShift.g, q->hsvShift.b};
    o.rgb = {q->rgbShift.r, q->rgbShift.g, q->rgbShift.b};
  } else if (id == host::CONSTANT_TEX_CLASS_ID) {
    d.type = MapType::Constant;
    d.constant = static_cast<host::ConstantTex*>(t)->params;
  } else if (id == host::CHECKER_TEX_CLASS_ID) {
    d.type = MapType::Checker;
    d.checker = static_cast<host::CheckerTex*>(t)->params;
  } else if (id == host::GRADIENT_TEX_CLASS_ID) {
    d.type = MapType::Gradient;
    d.gradient = static_cast<host::GradientTex*>(t)->params;
  } else if (id == host::NOISE_TEX_CLASS_ID) {
    d.type = MapType::Noise;
    d.noise = static_cast<host::NoiseTex*>(t)->params;
  } else if (id == BITMAP_TEX_CLASS_ID) {
    auto* b = static_cast<BitmapTex*>(t);
    d.type = MapType::Bitmap;
    d.bitmap.file = b->file;
    d.bitmap.tile = b->tile;
    d.bitmap.offset = b->offset;
    d.bitmap.alpha = b->alpha;
    fs::path p(b->file);
    if (p.is_relative() && !graph.baseDir.empty()) p = fs::path(graph.baseDir) / p;
    d.bitmap.resolvedPath = p.lexically_normal().string();
  } else {
    error = "a map of " + ClassText(t) + " has no scene description";
    return false;
  }
  return true;
}

}  // namespace

bool CheckGraph(Texmap* root, std::string& error) {
  if (!root) {
    error = "the scene has no root map";
    return false;
  }
  std::set<Texmap*> onPath;
  std::set<Texmap*> done;
  return Check(root, 0, onPath, done, error);
}

bool DescribeGraph(Texmap* root, const SceneGraph& graph, MapDesc& desc, std::string& error) {
  error.clear();
  return Describe(root, graph, desc, 0, error);
}

float PercentFromFactor(float factor) {
  const float center = static_cast<float>(static_cast<double>(factor) / static_cast<double>(0.01f));
  if (!std::isfinite(factor) || !std::isfinite(center)) return center;
  const double exact = static_cast<double>(factor) / static_cast<double>(0.01f);
  float best = center;
  std::size_t bestLength = 0;
  double bestDistance = 0.0;
  auto consider = [&](float p) {
    const float back = p * 0.01f;
    if (std::memcmp(&back, &factor, sizeof back) != 0) return;
    const std::size_t length = FloatText(p).size();
    const double distance = std::fabs(static_cast<double>(p) - exact);
    if (bestLength == 0 || length < bestLength || (length == bestLength && distance < bestDistance)) {
      best = p;
      bestLength = length;
      bestDistance = distance;
    }
  };
  // The neighbours of the quotient; stepping through zero skips +0, so the
  // quotient itself is looked at on its own.
  consider(center);
  float p = center;
  for (int k = 0; k < 32; ++k) p = std::nextafter(p, -INFINITY);
  for (int k = 0; k <= 64; ++k, p = std::nextafter(p, INFINITY)) consider(p);
  return best;
}

// --- Images ----------------------------------------------------------------------

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

void ImageLibrary::Preload(const std::vector<std::string>& paths) {
  std::vector<std::string> todo;
  for (const std::string& p : paths)
    if (!images_.count(p) && std::find(todo.begin(), todo.end(), p) == todo.end()) todo.push_back(p);
  if (todo.size() < 2) return;
  std::vector<std::shared_ptr<Image>> read(todo.size());
  tbb::parallel_for(std::size_t{0}, todo.size(), [&](std::size_t i) {
    auto image = std::make_shared<Image>();
    std::string ignored;
    if (ReadImage(todo[i], *image, ignored)) read[i] = std::move(image);
  });
  // Files that failed are read again by Get, which reports why.
  for (std::size_t i = 0; i < todo.size(); ++i)
    if (read[i]) images_.emplace(todo[i], std::move(read[i]));
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
      error = graph.path + ":" + (pos != graph.positions.end() && pos->second.line > 0 ? Where(pos->second) : " ") +
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
