#include "app/scene_desc.h"

#include <bit>

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

std::unique_ptr<MapDesc> CloneMap(const MapDesc& map) {
  auto copy = std::make_unique<MapDesc>();
  copy->type = map.type;
  copy->name = map.name;
  copy->pos = map.pos;
  copy->output = map.output;
  copy->constant = map.constant;
  copy->bitmap = map.bitmap;
  copy->checker = map.checker;
  copy->gradient = map.gradient;
  copy->noise = map.noise;
  copy->layers.resize(map.layers.size());
  for (std::size_t i = 0; i < map.layers.size(); ++i) {
    const LayerDesc& from = map.layers[i];
    LayerDesc& to = copy->layers[i];
    if (from.map) to.map = CloneMap(*from.map);
    if (from.mask) to.mask = CloneMap(*from.mask);
    to.mapOn = from.mapOn;
    to.maskOn = from.maskOn;
    to.used = from.used;
    to.opacity = from.opacity;
    to.color = from.color;
    to.mode = from.mode;
  }
  return copy;
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

bool SameOptional(const std::unique_ptr<MapDesc>& a, const std::unique_ptr<MapDesc>& b) {
  if (!a || !b) return !a && !b;
  return SameScene(*a, *b);
}

bool SameOutput(const OutputDesc& a, const OutputDesc& b) {
  return a.on == b.on && a.clamp == b.clamp && a.mono == b.mono && Same(a.alpha, b.alpha) &&
         Same(a.bright, b.bright) && Same(a.contrast, b.contrast) && Same(a.gamma, b.gamma) &&
         Same(a.hsv, b.hsv) && Same(a.rgb, b.rgb);
}

}  // namespace

bool SameScene(const MapDesc& a, const MapDesc& b) {
  if (a.type != b.type || a.name != b.name) return false;
  switch (a.type) {
    case MapType::Layered:
      if (a.layers.size() != b.layers.size() || !SameOutput(a.output, b.output)) return false;
      for (std::size_t i = 0; i < a.layers.size(); ++i) {
        const LayerDesc& x = a.layers[i];
        const LayerDesc& y = b.layers[i];
        if (!SameOptional(x.map, y.map) || !SameOptional(x.mask, y.mask) || x.mapOn != y.mapOn ||
            x.maskOn != y.maskOn || x.used != y.used || !Same(x.opacity, y.opacity) || !Same(x.color, y.color) ||
            x.mode != y.mode)
          return false;
      }
      return true;
    case MapType::Constant:
      return Same(a.constant.color, b.constant.color) && Same(a.constant.perturb, b.constant.perturb);
    case MapType::Bitmap:
      return a.bitmap.file == b.bitmap.file && Same(a.bitmap.tile, b.bitmap.tile) &&
             Same(a.bitmap.offset, b.bitmap.offset) && a.bitmap.alpha == b.bitmap.alpha;
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

}  // namespace tessary::app
