#include "app/map_graph.h"

#include <cmath>

#include "bump/bump_walk.h"
#include "compositing/color_helpers.h"
#include "compositing/layer_walk.h"
#include "host/stdmaps.h"
#include "host/tab.h"

namespace tessary::app {

float MapNode::EvalMono(const Sample& s) const { return Intensity(EvalColor(s)); }

std::shared_ptr<const Image> ImageLibrary::Get(const std::string& path, std::string& error) {
  auto it = images_.find(path);
  if (it != images_.end()) return it->second;
  auto image = std::make_shared<Image>();
  if (!ReadImage(path, *image, error)) return nullptr;
  images_.emplace(path, image);
  return image;
}

namespace {

// Index of the pixel holding coordinate x (in pixels) on an axis of n pixels,
// wrapped into [0, n).
int WrapIndex(float x, int n) {
  const auto nf = static_cast<float>(n);
  float w = x - nf * std::floor(x / nf);
  if (!(w >= 0.0f)) w = 0.0f;  // NaN
  if (w >= nf) w = 0.0f;       // rounding at the top end
  return static_cast<int>(w);
}

}  // namespace

host::AColor SampleBilinear(const Image& image, float u, float v) {
  if (image.width <= 0 || image.height <= 0) return host::AColor(0.0f, 0.0f, 0.0f, 0.0f);
  float x = u * static_cast<float>(image.width) - 0.5f;
  float y = (1.0f - v) * static_cast<float>(image.height) - 0.5f;
  if (!std::isfinite(x)) x = 0.0f;
  if (!std::isfinite(y)) y = 0.0f;
  const float x0 = std::floor(x);
  const float y0 = std::floor(y);
  const float fx = x - x0;
  const float fy = y - y0;
  const int xa = WrapIndex(x0, image.width);
  const int xb = xa + 1 == image.width ? 0 : xa + 1;
  const int ya = WrapIndex(y0, image.height);
  const int yb = ya + 1 == image.height ? 0 : ya + 1;
  const host::AColor c00 = image.At(xa, ya);
  const host::AColor c10 = image.At(xb, ya);
  const host::AColor c01 = image.At(xa, yb);
  const host::AColor c11 = image.At(xb, yb);
  auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
  auto mix = [&](const host::AColor& a, const host::AColor& b, float t) {
    return host::AColor(lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t), lerp(a.a, b.a, t));
  };
  return mix(mix(c00, c10, fx), mix(c01, c11, fx), fy);
}

OutputSettings ToOutputSettings(const OutputDesc& d) {
  OutputSettings o;
  o.outputOn = d.on;
  o.clampOn = d.clamp;
  o.monoOn = d.mono;
  o.alphaShift = d.alpha;
  o.brightness = d.bright * 0.01f;
  o.contrast = d.contrast * 0.01f;
  o.gamma = d.gamma;
  o.hsvShift = host::AColor(d.hsv[0], d.hsv[1], d.hsv[2], 0.0f);
  o.rgbShift = host::AColor(d.rgb[0], d.rgb[1], d.rgb[2], 0.0f);
  return o;
}

namespace {

// The procedural maps: a pure colour function of (u, v) and the slope bump.
template <class Params, host::AColor (*Eval)(const Params&, float, float)>
class ProceduralNode final : public MapNode {
 public:
  explicit ProceduralNode(const Params& p) : p_(p) {}
  host::AColor EvalColor(const Sample& s) const override { return Eval(p_, s.u, s.v); }
  host::Point3 EvalNormalPerturb(const Sample& s) const override {
    return host::SlopePerturb([this](float u, float v) { return Eval(p_, u, v); }, s.u, s.v);
  }

 private:
  Params p_;
};

class ConstantNode final : public MapNode {
 public:
  explicit ConstantNode(const host::ConstantParams& p) : p_(p) {}
  host::AColor EvalColor(const Sample&) const override { return p_.color; }
  host::Point3 EvalNormalPerturb(const Sample&) const override { return p_.perturb; }

 private:
  host::ConstantParams p_;
};

class BitmapNode final : public MapNode {
 public:
  BitmapNode(std::shared_ptr<const Image> image, const BitmapDesc& d) : image_(std::move(image)), d_(d) {}
  host::AColor EvalColor(const Sample& s) const override { return At(s.u, s.v); }
  host::Point3 EvalNormalPerturb(const Sample& s) const override {
    return host::SlopePerturb([this](float u, float v) { return At(u, v); }, s.u, s.v);
  }

 private:
  host::AColor At(float u, float v) const {
    return SampleBilinear(*image_, u * d_.tile[0] + d_.offset[0], v * d_.tile[1] + d_.offset[1]);
  }
  std::shared_ptr<const Image> image_;
  BitmapDesc d_;
};

// The layer stack: the same tables the map object holds, walked by the
// compositing engine.
class LayeredNode final : public MapNode {
 public:
  host::AColor EvalColor(const Sample& s) const override {
    return EvalLayeredColor(Tables(), output_, [&s](const MapNode* m) { return m->EvalColor(s); }).color;
  }
  host::Point3 EvalNormalPerturb(const Sample& s) const override {
    return CompositePerturb(
        Tables(), [&s](const MapNode* m) { return m->EvalNormalPerturb(s); },
        [&s](const MapNode* m) { return m->EvalColor(s); });
  }
  void Update() override {
    for (const auto& child : children_) child->Update();
  }

  bool Build(const MapDesc& d, ImageLibrary& images, std::string& error) {
    const int n = static_cast<int>(d.layers.size());
    if (!subMaps_.SetCount(2 * n) || !mapOn_.SetCount(n) || !maskOn_.SetCount(n) || !layerUsed_.SetCount(n) ||
        !opacity_.SetCount(n) || !layerColor_.SetCount(n) || !blendMode_.SetCount(n)) {
      error = "out of memory";
      return false;
    }
    for (int i = 0; i < n; ++i) {
      const LayerDesc& l = d.layers[static_cast<std::size_t>(i)];
      mapOn_[i] = l.mapOn ? 1 : 0;
      maskOn_[i] = l.maskOn ? 1 : 0;
      layerUsed_[i] = l.used ? 1 : 0;
      opacity_[i] = l.opacity;
      layerColor_[i] = l.color;
      blendMode_[i] = l.mode;
      subMaps_[2 * i] = Child(l.map.get(), images, error);
      if (l.map && !subMaps_[2 * i]) return false;
      subMaps_[2 * i + 1] = Child(l.mask.get(), images, error);
      if (l.mask && !subMaps_[2 * i + 1]) return false;
    }
    output_ = ToOutputSettings(d.output);
    return true;
  }

 private:
  const MapNode* Child(const MapDesc* d, ImageLibrary& images, std::string& error) {
    if (!d) return nullptr;
    auto node = BuildMap(*d, images, error);
    if (!node) return nullptr;
    children_.push_back(std::move(node));
    return children_.back().get();
  }

  LayerTables<const MapNode*> Tables() const {
    return {subMaps_, mapOn_, maskOn_, layerUsed_, opacity_, layerColor_, blendMode_};
  }

  host::Tab<const MapNode*> subMaps_;
  host::Tab<int> mapOn_;
  host::Tab<int> maskOn_;
  host::Tab<int> layerUsed_;
  host::Tab<float> opacity_;
  host::Tab<host::Color> layerColor_;
  host::Tab<int> blendMode_;
  OutputSettings output_;
  std::vector<std::unique_ptr<MapNode>> children_;
};

std::string Where(const MapDesc& d) {
  return d.pos.line > 0 ? std::to_string(d.pos.line) + ":" + std::to_string(d.pos.column) + ": " : "";
}

}  // namespace

std::unique_ptr<MapNode> BuildMap(const MapDesc& d, ImageLibrary& images, std::string& error) {
  switch (d.type) {
    case MapType::Layered: {
      auto node = std::make_unique<LayeredNode>();
      if (!node->Build(d, images, error)) return nullptr;
      return node;
    }
    case MapType::Constant: return std::make_unique<ConstantNode>(d.constant);
    case MapType::Bitmap: {
      std::string why;
      auto image = images.Get(d.bitmap.resolvedPath.empty() ? d.bitmap.file : d.bitmap.resolvedPath, why);
      if (!image) {
        error = Where(d) + "\"" + d.bitmap.file + "\": " + why;
        return nullptr;
      }
      return std::make_unique<BitmapNode>(std::move(image), d.bitmap);
    }
    case MapType::Checker:
      return std::make_unique<ProceduralNode<host::CheckerParams, &host::EvalChecker>>(d.checker);
    case MapType::Gradient:
      return std::make_unique<ProceduralNode<host::GradientParams, &host::EvalGradient>>(d.gradient);
    case MapType::Noise:
      return std::make_unique<ProceduralNode<host::NoiseParams, &host::EvalNoise>>(d.noise);
  }
  error = "unknown map type";
  return nullptr;
}

}  // namespace tessary::app
