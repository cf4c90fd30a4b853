#include "app/scene_desc.h"

#include <bit>
#include <set>

namespace tessary::app {

const char* MapTypeName(MapType type) {
  switch (type) {
    case MapType::Layered: return "tessary";
    case MapType::Constant: return "constant";
    case MapType::Bitmap: return "bitmap";
    case MapType::Checker: return "checker";
    case MapType::Gradient: return "gradient";
    case MapType::Noise: return "noise";
  }
  return "unknown";
}

std::string PositionPrefix(const SourcePos& pos) {
  return pos.line > 0 ? std::to_string(pos.line) + ":" + std::to_string(pos.column) + ": " : "";
}

namespace {

bool Same(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }
bool Same(const host::Color& a, const host::Color& b) { return Same(a.r, b.r) && Same(a.g, b.g) && Same(a.b, b.b); }
bool Same(const host::AColor& a, const host::AColor& b) {
  return Same(a.r, b.r) && Same(a.g, b.g) && Same(a.b, b.b) && Same(a.a, b.a);
}
bool Same(const host::Point3& a, const host::Point3& b) { return Same(a.x, b.x) && Same(a.y, b.y) && Same(a.z, b.z); }
template <std::size_t N>
bool Same(const std::array<float, N>& a, const std::array<float, N>& b) {
  for (std::size_t i = 0; i < N; ++i)
    if (!Same(a[i], b[i])) return false;
  return true;
}

bool SameOutput(const OutputDesc& a, const OutputDesc& b) {
  return a.on == b.on && a.clamp == b.clamp && a.mono == b.mono && Same(a.alpha, b.alpha) &&
         Same(a.bright, b.bright) && Same(a.contrast, b.contrast) && Same(a.gamma, b.gamma) &&
         Same(a.hsv, b.hsv) && Same(a.rgb, b.rgb);
}

// Compares two graphs in step, pairing each map of one with the map of the
// other met in the same place; a map met again must meet its partner again.
class SameMaps {
 public:
  bool Maps(const MapDesc* a, const MapDesc* b) {
    if (!a || !b) return !a && !b;
    const auto x = partnerOfA_.find(a);
    const auto y = partnerOfB_.find(b);
    if (x != partnerOfA_.end() || y != partnerOfB_.end())
      return x != partnerOfA_.end() && y != partnerOfB_.end() && x->second == b && y->second == a;
    partnerOfA_.emplace(a, b);
    partnerOfB_.emplace(b, a);
    return Values(*a, *b);
  }

 private:
  bool Values(const MapDesc& a, const MapDesc& b);

  std::map<const MapDesc*, const MapDesc*> partnerOfA_;
  std::map<const MapDesc*, const MapDesc*> partnerOfB_;
};

}  // namespace

bool SameMaps::Values(const MapDesc& a, const MapDesc& b) {
  if (a.type != b.type || a.name != b.name) return false;
  switch (a.type) {
    case MapType::Layered:
      if (a.layers.size() != b.layers.size() || !SameOutput(a.output, b.output)) return false;
      for (std::size_t i = 0; i < a.layers.size(); ++i) {
        const LayerDesc& x = a.layers[i];
        const LayerDesc& y = b.layers[i];
        if (!Maps(x.map.get(), y.map.get()) || !Maps(x.mask.get(), y.mask.get()) || x.mapOn != y.mapOn ||
            x.maskOn != y.maskOn || x.used != y.used || !Same(x.opacity, y.opacity) || !Same(x.color, y.color) ||
            x.mode != y.mode)
          return false;
      }
      return true;
    case MapType::Constant:
      return Same(a.constant.color, b.constant.color) && Same(a.constant.perturb, b.constant.perturb);
    case MapType::Bitmap:
      return a.bitmap.file == b.bitmap.file && Same(a.bitmap.tile, b.bitmap.tile) &&
             Same(a.bitmap.offset, b.bitmap.offset) && a.bitmap.alpha == b.bitmap.alpha &&
             a.bitmap.colorspace == b.bitmap.colorspace;
    case MapType::Checker:
      return Same(a.checker.color1, b.checker.color1) && Same(a.checker.color2, b.checker.color2) &&
             Same(a.checker.checksU, b.checker.checksU) && Same(a.checker.checksV, b.checker.checksV);
    case MapType::Gradient:
      return Same(a.gradient.color1, b.gradient.color1) && Same(a.gradient.color2, b.gradient.color2) &&
             Same(a.gradient.color3, b.gradient.color3) && Same(a.gradient.center, b.gradient.center) &&
             a.gradient.kind == b.gradient.kind;
    case MapType::Noise:
      return Same(a.noise.color1, b.noise.color1) && Same(a.noise.color2, b.noise.color2) &&
             Same(a.noise.size, b.noise.size) && a.noise.octaves == b.noise.octaves &&
             a.noise.kind == b.noise.kind && a.noise.seed == b.noise.seed;
  }
  return false;
}

bool SameScene(const MapDesc& a, const MapDesc& b) { return SameMaps().Maps(&a, &b); }

void ForEachMapOnce(const MapDesc& root, const std::function<void(const MapDesc&)>& f) {
  // Depth first without recursion; a map is visited when it is taken from
  // the stack, so the order is that of a recursive walk.
  std::set<const MapDesc*> seen;
  std::vector<const MapDesc*> stack{&root};
  while (!stack.empty()) {
    const MapDesc* m = stack.back();
    stack.pop_back();
    if (!seen.insert(m).second) continue;
    f(*m);
    for (auto l = m->layers.rbegin(); l != m->layers.rend(); ++l) {
      if (l->mask) stack.push_back(l->mask.get());
      if (l->map) stack.push_back(l->map.get());
    }
  }
}

std::map<const MapDesc*, std::string> MapIds(const MapDesc& root) {
  std::vector<const MapDesc*> order;
  ForEachMapOnce(root, [&](const MapDesc& m) { order.push_back(&m); });
  std::map<const MapDesc*, int> uses;
  for (const MapDesc* m : order)
    for (const LayerDesc& l : m->layers)
      for (const MapDesc* sub : {l.map.get(), l.mask.get()})
        if (sub) ++uses[sub];

  std::map<const MapDesc*, std::string> ids;
  std::set<std::string> taken;
  for (const MapDesc* m : order)
    if (!m->id.empty() && taken.insert(m->id).second) ids.emplace(m, m->id);
  std::map<std::string, int> next;  // the next number to try after each stem
  for (const MapDesc* m : order) {
    if (ids.count(m) || uses[m] < 2) continue;
    const std::string stem = m->name.empty() ? MapTypeName(m->type) : m->name;
    std::string id = stem;
    int& k = next.try_emplace(stem, 2).first->second;
    while (!taken.insert(id).second) id = stem + "-" + std::to_string(k++);
    ids.emplace(m, std::move(id));
  }
  return ids;
}

}  // namespace tessary::app
