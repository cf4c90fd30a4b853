// Writing a JSON scene: every field, floats in their shortest exact form,
// shared maps written once and referred to after.

#include "app/scene_json.h"

#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <utility>

#include "app/mode_names.h"

namespace tessary::app {

namespace {

using Json = nlohmann::ordered_json;

Json Num(float f) {
  if (std::isnan(f)) return "nan";
  if (std::isinf(f)) return f > 0.0f ? "inf" : "-inf";
  const std::string s = FloatText(f);
  double d = 0.0;
  std::from_chars(s.data(), s.data() + s.size(), d);
  return d;
}

Json Color3(const host::Color& c) { return Json::array({Num(c.r), Num(c.g), Num(c.b)}); }
Json Color4(const host::AColor& c) { return Json::array({Num(c.r), Num(c.g), Num(c.b), Num(c.a)}); }
Json Pair(const std::array<float, 2>& p) { return Json::array({Num(p[0]), Num(p[1])}); }

// Writes each map once: a map met again becomes {"ref": ID}.
struct MapWriter {
  std::map<const MapDesc*, std::string> ids;  // MapIds of the scene
  std::set<const MapDesc*> written;

  Json Map(const MapDesc* map);
  Json Layer(const LayerDesc& l);
};

Json MapWriter::Layer(const LayerDesc& l) {
  Json j;
  j["map"] = Map(l.map.get());
  j["mask"] = Map(l.mask.get());
  j["mapOn"] = l.mapOn;
  j["maskOn"] = l.maskOn;
  j["used"] = l.used;
  j["opacity"] = Num(l.opacity);
  j["color"] = Color3(l.color);
  const std::string_view name = ModeName(l.mode);
  if (name.empty()) j["mode"] = l.mode;
  else j["mode"] = std::string(name);
  return j;
}

Json OutputJson(const OutputDesc& o) {
  Json j;
  j["on"] = o.on;
  j["clamp"] = o.clamp;
  j["mono"] = o.mono;
  j["alpha"] = Num(o.alpha);
  j["bright"] = Num(o.bright);
  j["contrast"] = Num(o.contrast);
  j["gamma"] = Num(o.gamma);
  j["hsv"] = Json::array({Num(o.hsv[0]), Num(o.hsv[1]), Num(o.hsv[2])});
  j["rgb"] = Json::array({Num(o.rgb[0]), Num(o.rgb[1]), Num(o.rgb[2])});
  return j;
}

Json MapWriter::Map(const MapDesc* map) {
  if (!map) return nullptr;
  const auto id = ids.find(map);
  Json j;
  if (!written.insert(map).second) {
    j["ref"] = id->second;
    return j;
  }
  j["type"] = MapTypeName(map->type);
  if (id != ids.end()) j["id"] = id->second;
  if (!map->name.empty() || map->type == MapType::Layered) j["name"] = map->name;
  switch (map->type) {
    case MapType::Layered: {
      Json layers = Json::array();
      for (const LayerDesc& l : map->layers) layers.push_back(Layer(l));
      j["layers"] = std::move(layers);
      j["output"] = OutputJson(map->output);
      break;
    }
    case MapType::Constant:
      j["color"] = Color4(map->constant.color);
      j["perturb"] = Json::array({Num(map->constant.perturb.x), Num(map->constant.perturb.y),
                                  Num(map->constant.perturb.z)});
      break;
    case MapType::Bitmap:
      j["file"] = map->bitmap.file;
      j["tile"] = Pair(map->bitmap.tile);
      j["offset"] = Pair(map->bitmap.offset);
      // Written only when set, so scenes without it keep their text.
      if (map->bitmap.alpha == AlphaMode::Straight) j["alpha"] = "straight";
      if (map->bitmap.alpha == AlphaMode::Premultiplied) j["alpha"] = "premultiplied";
      if (!map->bitmap.colorspace.empty()) j["colorspace"] = map->bitmap.colorspace;
      break;
    case MapType::Checker:
      j["color1"] = Color4(map->checker.color1);
      j["color2"] = Color4(map->checker.color2);
      j["checks"] = Pair({map->checker.checksU, map->checker.checksV});
      break;
    case MapType::Gradient:
      j["color1"] = Color4(map->gradient.color1);
      j["color2"] = Color4(map->gradient.color2);
      j["color3"] = Color4(map->gradient.color3);
      j["center"] = Num(map->gradient.center);
      j["kind"] = map->gradient.kind == host::GradientKind::Radial ? "radial" : "linear";
      break;
    case MapType::Noise:
      j["color1"] = Color4(map->noise.color1);
      j["color2"] = Color4(map->noise.color2);
      j["size"] = Num(map->noise.size);
      j["octaves"] = map->noise.octaves;
      j["seed"] = map->noise.seed;
      j["kind"] = map->noise.kind == host::NoiseKind::Fractal      ? "fractal"
                  : map->noise.kind == host::NoiseKind::Turbulence ? "turbulence"
                                                                   : "regular";
      break;
  }
  return j;
}

// Puts arrays that hold only numbers, strings, booleans and nulls on one
// line: "[0.5, 0.5, 0.5]" reads better than one number per line.
std::string CompactScalarArrays(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {  // copy a string verbatim
      const std::size_t start = i++;
      while (i < text.size() && text[i] != '"') i += text[i] == '\\' ? std::size_t{2} : std::size_t{1};
      out.append(text, start, i - start + 1);
      continue;
    }
    if (c != '[') {
      out.push_back(c);
      continue;
    }
    // Find the matching ']' and check that nothing nests inside.
    std::size_t j = i + 1;
    bool scalars = true;
    while (j < text.size() && text[j] != ']') {
      if (text[j] == '[' || text[j] == '{') {
        scalars = false;
        break;
      }
      if (text[j] == '"') {
        ++j;
        while (j < text.size() && text[j] != '"') j += text[j] == '\\' ? std::size_t{2} : std::size_t{1};
      }
      ++j;
    }
    if (!scalars || j >= text.size()) {
      out.push_back(c);
      continue;
    }
    out.push_back('[');
    bool inString = false;
    bool pendingSpace = false;
    for (std::size_t k = i + 1; k < j; ++k) {
      const char d = text[k];
      if (inString) {
        out.push_back(d);
        if (d == '\\') out.push_back(text[++k]);
        else if (d == '"') inString = false;
        continue;
      }
      if (d == '\n' || d == ' ') continue;
      if (pendingSpace) out.push_back(' ');
      pendingSpace = d == ',';
      out.push_back(d);
      if (d == '"') inString = true;
    }
    out.push_back(']');
    i = j;
  }
  return out;
}

}  // namespace

std::string FloatText(float f) {
  if (std::isnan(f)) return "nan";
  if (std::isinf(f)) return f > 0.0f ? "inf" : "-inf";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, r.ptr);
}

std::string WriteSceneJson(const SceneDesc& scene) {
  Json doc;
  doc["format"] = "tessary-scene";
  MapWriter writer;
  if (scene.root) writer.ids = MapIds(*scene.root);
  // Version 2 only where it is needed, so that a scene without shared maps
  // stays readable by programs that know version 1.
  doc["version"] = writer.ids.empty() ? 1 : kSceneJsonVersion;
  if (!scene.workingColorspace.empty()) doc["workingColorspace"] = scene.workingColorspace;
  doc["root"] = writer.Map(scene.root.get());
  return CompactScalarArrays(doc.dump(2)) + "\n";
}

}  // namespace tessary::app
