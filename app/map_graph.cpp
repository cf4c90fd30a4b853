#include "app/map_graph.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include <algorithm>

#include "app/scene_json.h"
#include "host/runtime/class_directory.h"
#include "host/runtime/scene_file.h"
#include "host/runtime/stdmap_classes.h"
#include "host/sdk/classdesc.h"
#include "plugin_api/layered_map.h"

namespace tessary::app {

namespace fs = std::filesystem;
using host::Texmap;

SceneGraph::~SceneGraph() {
  if (root) host::DeleteGraph(root);
}

namespace {

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
    error = PositionPrefix(d.pos) + "the host cannot make a " + std::string(MapTypeName(d.type)) + " map";
    return nullptr;
  }
  // Every class registered under TEXMAP_CLASS_ID derives from Texmap.
  auto* map = static_cast<Texmap*>(static_cast<host::ReferenceTarget*>(made));
  // A layered map is configured through what its module publishes: a map
  // whose number of sub-maps can be set, with the layered-map interface.
  if (d.type == MapType::Layered && (!GetLayeredMap(map) || !dynamic_cast<host::MultiTex*>(map))) {
    map->DeleteThis();
    error = PositionPrefix(d.pos) + "the layered map's module does not offer its layered-map interface";
    return nullptr;
  }
  return map;
}

// The values of a layered map, through its published interface; its layer
// count through the number of sub-maps.
void ConfigureLayered(Texmap& map, const MapDesc& d) {
  ILayeredMap& layered = *GetLayeredMap(&map);
  const int n = static_cast<int>(d.layers.size());
  dynamic_cast<host::MultiTex&>(map).SetNumSubTexmaps(n);
  for (int i = 0; i < n; ++i) {
    const LayerDesc& l = d.layers[static_cast<std::size_t>(i)];
    LayerValues v;
    v.mapOn = l.mapOn ? 1 : 0;
    v.maskOn = l.maskOn ? 1 : 0;
    v.used = l.used ? 1 : 0;
    v.opacity = l.opacity;
    v.color = l.color;
    v.mode = l.mode;
    layered.SetLayer(i, v);
  }
  const OutputDesc& o = d.output;
  OutputSettings s;
  s.outputOn = o.on;
  s.clampOn = o.clamp;
  s.monoOn = o.mono;
  s.alphaShift = o.alpha;
  s.brightness = o.bright * 0.01f;
  s.contrast = o.contrast * 0.01f;
  s.gamma = o.gamma;
  s.hsvShift = host::AColor(o.hsv[0], o.hsv[1], o.hsv[2], 0.0f);
  s.rgbShift = host::AColor(o.rgb[0], o.rgb[1], o.rgb[2], 0.0f);
  layered.SetOutput(s);
}

// Makes one map object per description, however many places use it: first
// every object (a failure then leaves nothing to unpick but lone objects),
// then their values and sub-maps, each map complete before it is given to
// the maps that use it.
class Builder {
 public:
  Builder(SceneGraph& graph, std::string& error) : graph_(graph), error_(error) {}

  Texmap* Build(const MapDesc& root) {
    if (!Make(root, 0)) {
      for (const auto& [desc, map] : made_) host::DeleteGraph(map);
      return nullptr;
    }
    for (const MapDesc* d : order_) Configure(*d, made_.at(d));
    return made_.at(&root);
  }

 private:
  bool Make(const MapDesc& d, int depth) {
    if (made_.count(&d)) return true;
    if (depth >= kMaxNesting) {
      error_ = PositionPrefix(d.pos) + "maps nested more than " + std::to_string(kMaxNesting) + " deep";
      return false;
    }
    if (d.type == MapType::Layered && d.layers.empty()) {
      error_ = PositionPrefix(d.pos) + "a layered map needs at least one layer";
      return false;
    }
    Texmap* map = Create(d, error_);
    if (!map) return false;
    made_.emplace(&d, map);
    for (const LayerDesc& l : d.layers)
      for (const MapDesc* sub : {l.map.get(), l.mask.get()})
        if (sub && !Make(*sub, depth + 1)) return false;
    order_.push_back(&d);  // after the maps it uses
    return true;
  }

  void Configure(const MapDesc& d, Texmap* map) {
    map->SetName(d.name);
    graph_.positions[map] = d.pos;
    if (!d.id.empty()) graph_.ids[map] = d.id;
    switch (d.type) {
      case MapType::Layered: {
        ConfigureLayered(*map, d);
        for (std::size_t i = 0; i < d.layers.size(); ++i) {
          const MapDesc* subs[2] = {d.layers[i].map.get(), d.layers[i].mask.get()};
          for (int k = 0; k < 2; ++k)
            if (subs[k]) map->SetSubTexmap(2 * static_cast<int>(i) + k, made_.at(subs[k]));
        }
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
        b->colorspace = d.bitmap.colorspace;
        break;
      }
    }
  }

  SceneGraph& graph_;
  std::string& error_;
  std::map<const MapDesc*, Texmap*> made_;
  std::vector<const MapDesc*> order_;
};

}  // namespace

bool BuildGraph(const MapDesc& desc, SceneGraph& graph, std::string& error) {
  graph.root = Builder(graph, error).Build(desc);
  return graph.root != nullptr;
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

std::string NestingMessage() { return "maps nested more than " + std::to_string(kMaxNesting) + " deep"; }

// The number of maps on the longest chain from t down (t included), each map
// looked at once however many maps use it; -1 with `error` set when a map
// is of an unknown class, is its own sub-map, or the chain from the root is
// longer than kMaxNesting.
int Check(Texmap* t, int depth, std::set<Texmap*>& onPath, std::map<Texmap*, int>& heights, std::string& error) {
  if (const auto known = heights.find(t); known != heights.end()) {
    if (depth + known->second <= kMaxNesting) return known->second;
    error = NestingMessage();
    return -1;
  }
  if (onPath.count(t)) {
    error = "a " + ClassText(t) + " map is its own sub-map (a reference cycle)";
    return -1;
  }
  if (depth >= kMaxNesting) {
    error = NestingMessage();
    return -1;
  }
  if (!KnownClass(t)) {
    error = "a map of " + ClassText(t) + " cannot be evaluated by this program";
    return -1;
  }
  onPath.insert(t);
  int height = 1;
  const int n = t->NumSubTexmaps();
  for (int i = 0; i < n; ++i) {
    Texmap* sub = t->GetSubTexmap(i);
    if (!sub) continue;
    const int h = Check(sub, depth + 1, onPath, heights, error);
    if (h < 0) return -1;
    height = std::max(height, h + 1);
  }
  onPath.erase(t);
  heights.emplace(t, height);
  return height;
}

// One description per map object: a map used in several places becomes one
// description shared by them.
class Describer {
 public:
  Describer(const SceneGraph& graph, std::string& error) : graph_(graph), error_(error) {}

  std::shared_ptr<MapDesc> Describe(Texmap* t, int depth) {
    if (!t) return nullptr;
    if (const auto known = described_.find(t); known != described_.end()) return known->second;
    if (depth >= kMaxNesting) {
      error_ = NestingMessage();
      return nullptr;
    }
    auto d = std::make_shared<MapDesc>();
    if (!Values(t, *d, depth)) return nullptr;
    described_.emplace(t, d);
    return d;
  }

 private:
  bool Values(Texmap* t, MapDesc& d, int depth);
  bool LayeredValues(Texmap* t, MapDesc& d, int depth);

  const SceneGraph& graph_;
  std::string& error_;
  std::map<Texmap*, std::shared_ptr<MapDesc>> described_;
};

bool Describer::Values(Texmap* t, MapDesc& d, int depth) {
  d.name = t->GetName();
  if (auto it = graph_.positions.find(t); it != graph_.positions.end()) d.pos = it->second;
  if (auto it = graph_.ids.find(t); it != graph_.ids.end()) d.id = it->second;
  const host::Class_ID id = t->ClassID();
  if (id == QUILBO_CLASS_ID) {
    return LayeredValues(t, d, depth);
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
    d.bitmap.colorspace = b->colorspace;
    fs::path p(b->file);
    if (p.is_relative() && !graph_.baseDir.empty()) p = fs::path(graph_.baseDir) / p;
    d.bitmap.resolvedPath = p.lexically_normal().string();
  } else {
    error_ = "a map of " + ClassText(t) + " has no scene description";
    return false;
  }
  return true;
}

// A layered map, through its published interface.
bool Describer::LayeredValues(Texmap* t, MapDesc& d, int depth) {
  const ILayeredMap* layered = GetLayeredMap(t);
  if (!layered) {
    error_ = "a map of " + ClassText(t) + " does not offer its layered-map interface";
    return false;
  }
  d.type = MapType::Layered;
  d.layerChunkVersion = layered->LoadedLayerDataVersion();
  const int n = layered->LayerCount();
  d.layers.clear();
  d.layers.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    LayerDesc& l = d.layers[static_cast<std::size_t>(i)];
    const LayerValues v = layered->GetLayer(i);
    l.mapOn = v.mapOn != 0;
    l.maskOn = v.maskOn != 0;
    l.used = v.used != 0;
    l.opacity = v.opacity;
    l.color = v.color;
    l.mode = v.mode;
    l.map = Describe(t->GetSubTexmap(2 * i), depth + 1);
    if (!error_.empty()) return false;
    l.mask = Describe(t->GetSubTexmap(2 * i + 1), depth + 1);
    if (!error_.empty()) return false;
  }
  const OutputSettings s = layered->GetOutput();
  OutputDesc& o = d.output;
  o.on = s.outputOn;
  o.clamp = s.clampOn;
  o.mono = s.monoOn;
  o.alpha = s.alphaShift;
  o.bright = PercentFromFactor(s.brightness);
  o.contrast = PercentFromFactor(s.contrast);
  o.gamma = s.gamma;
  o.hsv = {s.hsvShift.r, s.hsvShift.g, s.hsvShift.b};
  o.rgb = {s.rgbShift.r, s.rgbShift.g, s.rgbShift.b};
  return true;
}

}  // namespace

bool CheckGraph(Texmap* root, std::string& error) {
  if (!root) {
    error = "the scene has no root map";
    return false;
  }
  std::set<Texmap*> onPath;
  std::map<Texmap*, int> heights;
  return Check(root, 0, onPath, heights, error) > 0;
}

std::shared_ptr<MapDesc> DescribeGraph(Texmap* root, const SceneGraph& graph, std::string& error) {
  error.clear();
  if (!root) {
    error = "the scene has no root map";
    return nullptr;
  }
  return Describer(graph, error).Describe(root, 0);
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

}  // namespace tessary::app
