// Reading a JSON scene: from the positioned values of the text
// (app/json_values.h) to the scene description, every fault named by the
// line and column of the value at fault.

#include "app/scene_json.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/json_values.h"
#include "app/mode_names.h"

namespace tessary::app {

namespace {

using json::Failure;
using json::Kind;
using json::Lines;
using json::Node;
using json::Quoted;

class Reader : json::ValueReader {
 public:
  Reader(std::string_view text, const Lines& lines, std::string baseDir)
      : ValueReader(text), lines_(lines), baseDir_(std::move(baseDir)) {}

  void Scene(const Node& doc, SceneDesc& scene) {
    Expect(doc, Kind::Object, "the scene must be a JSON object");
    const Node* format = nullptr;
    const Node* version = nullptr;
    const Node* root = nullptr;
    for (std::size_t k = 0; k < doc.members.size(); ++k) {
      const auto& [key, value] = doc.members[k];
      if (key == "format") format = &value;
      else if (key == "version") version = &value;
      else if (key == "root") root = &value;
      else if (key == "workingColorspace") scene.workingColorspace = ColourSpaceName(value, "\"workingColorspace\"");
      else throw Failure{doc.keyOffsets[k], "unknown field " + Quoted(key) + " in the scene"};
    }
    if (!format) throw Failure{doc.begin, "missing field \"format\" (expected \"tessary-scene\")"};
    if (format->kind != Kind::String || String(*format) != "tessary-scene")
      throw Failure{format->begin, "\"format\" must be \"tessary-scene\""};
    if (!version) throw Failure{doc.begin, "missing field \"version\""};
    const std::int64_t v = Integer(*version, "\"version\"", 0, std::numeric_limits<std::int32_t>::max());
    if (v < 1 || v > kSceneJsonVersion)
      throw Failure{version->begin, "unsupported version " + std::to_string(v) + " (this program reads versions 1 and " +
                                        std::to_string(kSceneJsonVersion) + ")"};
    version_ = static_cast<int>(v);
    if (!root) throw Failure{doc.begin, "missing field \"root\""};
    if (root->kind == Kind::Null) throw Failure{root->begin, "\"root\" must be a map, not null"};
    doc_ = &doc;
    scene.root = Map(*root, 0);
    scene.version = version_;
  }

 private:
  static std::string TypeList() { return "tessary, constant, bitmap, checker, gradient or noise"; }

  static std::string NestingMessage() {
    return "maps nested more than " + std::to_string(kMaxNesting) + " deep";
  }

  std::string PosText(std::size_t offset) const {
    const SourcePos p = lines_.At(offset);
    return std::to_string(p.line) + ":" + std::to_string(p.column);
  }

  // A map, or {"ref": ID}: the map defined earlier with that id, which is
  // then used here too.
  std::shared_ptr<MapDesc> Map(const Node& n, int depth) {
    if (n.kind != Kind::Object) Fail(n, "a map must be a JSON object");
    const Node* typeNode = nullptr;
    const Node* idNode = nullptr;
    for (std::size_t k = 0; k < n.members.size(); ++k) {
      const auto& [key, value] = n.members[k];
      if (key == "type") typeNode = &value;
      else if (key == "id") idNode = &value;
      else if (key == "ref") return Reference(n, k, depth);
    }
    if (depth >= kMaxNesting) Fail(n, NestingMessage());
    if (!typeNode) Fail(n, "missing field \"type\" (" + TypeList() + ")");
    if (typeNode->kind != Kind::String) Fail(*typeNode, "\"type\" must be a string (" + TypeList() + ")");
    const std::string type = String(*typeNode);

    auto map = std::make_shared<MapDesc>();
    map->pos = Pos(n.begin);
    if (idNode) {
      map->id = Id(*idNode, "\"id\"");
      const auto [entry, added] = ids_.try_emplace(map->id, Defined{nullptr, idNode->begin, 0});
      if (!added) Fail(*idNode, "duplicate id " + Quoted(map->id) + " (first at " + PosText(entry->second.offset) + ")");
      // Until the map is complete a reference to it would be a cycle.
    }
    if (type == "tessary") map->type = MapType::Layered;
    else if (type == "constant") map->type = MapType::Constant;
    else if (type == "bitmap") map->type = MapType::Bitmap;
    else if (type == "checker") map->type = MapType::Checker;
    else if (type == "gradient") map->type = MapType::Gradient;
    else if (type == "noise") map->type = MapType::Noise;
    else Fail(*typeNode, "unknown map type " + Quoted(type) + " (expected " + TypeList() + ")");

    if (map->type == MapType::Layered) map->layers.resize(1);  // a new map has one layer
    bool haveFile = false;
    for (std::size_t k = 0; k < n.members.size(); ++k) {
      const auto& [key, value] = n.members[k];
      if (key == "type" || key == "id") continue;
      if (key == "name") {
        if (value.kind != Kind::String) Fail(value, "\"name\" must be a string");
        map->name = String(value, "\"name\"");
        continue;
      }
      const std::string what = "\"" + key + "\"";
      bool known = true;
      switch (map->type) {
        case MapType::Layered:
          if (key == "layers") Layers(value, *map, depth);
          else if (key == "output") Output(value, map->output);
          else known = false;
          break;
        case MapType::Constant:
          if (key == "color") map->constant.color = Color34(value, what);
          else if (key == "perturb") {
            const auto p = Floats<3>(value, what);
            map->constant.perturb = host::Point3(p[0], p[1], p[2]);
          } else known = false;
          break;
        case MapType::Bitmap:
          if (key == "file") {
            if (value.kind != Kind::String) Fail(value, "\"file\" must be a string");
            map->bitmap.file = String(value, "\"file\"");
            if (map->bitmap.file.empty()) Fail(value, "\"file\" must not be empty");
            haveFile = true;
          } else if (key == "tile") map->bitmap.tile = Pair(value, what);
          else if (key == "offset") map->bitmap.offset = Pair(value, what);
          else if (key == "colorspace") map->bitmap.colorspace = ColourSpaceName(value, what);
          else if (key == "alpha") {
            const std::string alpha = value.kind == Kind::String ? String(value) : "";
            if (alpha == "straight") map->bitmap.alpha = AlphaMode::Straight;
            else if (alpha == "premultiplied") map->bitmap.alpha = AlphaMode::Premultiplied;
            else Fail(value, "\"alpha\" must be \"straight\" or \"premultiplied\"");
          }
          else known = false;
          break;
        case MapType::Checker:
          if (key == "color1") map->checker.color1 = Color34(value, what);
          else if (key == "color2") map->checker.color2 = Color34(value, what);
          else if (key == "checks") {
            const auto c = Pair(value, what);
            map->checker.checksU = c[0];
            map->checker.checksV = c[1];
          } else known = false;
          break;
        case MapType::Gradient:
          if (key == "color1") map->gradient.color1 = Color34(value, what);
          else if (key == "color2") map->gradient.color2 = Color34(value, what);
          else if (key == "color3") map->gradient.color3 = Color34(value, what);
          else if (key == "center") map->gradient.center = Float(value, what);
          else if (key == "kind") {
            const std::string kind = value.kind == Kind::String ? String(value) : "";
            if (kind == "linear") map->gradient.kind = host::GradientKind::Linear;
            else if (kind == "radial") map->gradient.kind = host::GradientKind::Radial;
            else Fail(value, "\"kind\" must be \"linear\" or \"radial\"");
          } else known = false;
          break;
        case MapType::Noise:
          if (key == "color1") map->noise.color1 = Color34(value, what);
          else if (key == "color2") map->noise.color2 = Color34(value, what);
          else if (key == "size") {
            map->noise.size = Float(value, what);
            if (!(map->noise.size > 0.0f)) Fail(value, "\"size\" must be greater than 0");
          } else if (key == "octaves") map->noise.octaves = static_cast<int>(Integer(value, what, 1, 10));
          else if (key == "seed")
            map->noise.seed = static_cast<std::uint32_t>(Integer(value, what, 0, 0xFFFFFFFFLL));
          else if (key == "kind") {
            const std::string kind = value.kind == Kind::String ? String(value) : "";
            if (kind == "regular") map->noise.kind = host::NoiseKind::Regular;
            else if (kind == "fractal") map->noise.kind = host::NoiseKind::Fractal;
            else if (kind == "turbulence") map->noise.kind = host::NoiseKind::Turbulence;
            else Fail(value, "\"kind\" must be \"regular\", \"fractal\" or \"turbulence\"");
          } else known = false;
          break;
      }
      if (!known) throw Failure{n.keyOffsets[k], "unknown field " + Quoted(key) + " in a " + type + " map"};
    }
    if (map->type == MapType::Bitmap) {
      if (!haveFile) Fail(n, "a bitmap map needs a \"file\"");
      std::filesystem::path p(map->bitmap.file);
      if (p.is_relative() && !baseDir_.empty()) p = std::filesystem::path(baseDir_) / p;
      map->bitmap.resolvedPath = p.lexically_normal().string();
    }
    int height = 1;
    for (const LayerDesc& l : map->layers)
      for (const MapDesc* sub : {l.map.get(), l.mask.get()})
        if (sub) height = std::max(height, 1 + heights_.at(sub));
    heights_.emplace(map.get(), height);
    if (idNode) ids_.at(map->id) = Defined{map, idNode->begin, height};
    return map;
  }

  // An id or a reference's target: a non-empty string (version 2 on).
  std::string Id(const Node& n, const std::string& what) const {
    if (version_ < 2)
      Fail(n, what + " (shared maps) needs version 2 of the scene format; this file says \"version\": " +
                  std::to_string(version_));
    if (n.kind != Kind::String) Fail(n, what + " must be a string");
    std::string id = String(n, what);
    if (id.empty()) Fail(n, what + " must not be empty");
    return id;
  }

  std::shared_ptr<MapDesc> Reference(const Node& n, std::size_t refIndex, int depth) {
    const Node& value = n.members[refIndex].second;
    const std::string id = Id(value, "\"ref\"");
    for (std::size_t k = 0; k < n.members.size(); ++k)
      if (k != refIndex)
        throw Failure{n.keyOffsets[k], "a reference {\"ref\": ID} has no other fields (found " +
                                           Quoted(n.members[k].first) + ")"};
    const auto it = ids_.find(id);
    if (it == ids_.end()) {
      if (const auto later = FindId(*doc_, id))
        Fail(value, Quoted(id) + " is defined further on (at " + PosText(*later) +
                        "); a map must be defined before a reference to it");
      Fail(value, "no map has the id " + Quoted(id));
    }
    const Defined& target = it->second;
    if (!target.map)
      Fail(value, Quoted(id) + " refers to a map that holds this reference (a cycle; " + Quoted(id) + " is defined at " +
                      PosText(target.offset) + ")");
    if (depth + target.height > kMaxNesting)
      Fail(value, NestingMessage() + " (counting the maps inside " + Quoted(id) + ")");
    return target.map;
  }

  // Where the first map with `id` stands in the document, if anywhere: a
  // reference that finds no map defined before it is told whether one
  // follows.
  std::optional<std::size_t> FindId(const Node& n, const std::string& id) const {
    std::vector<const Node*> todo{&n};
    std::optional<std::size_t> first;
    while (!todo.empty()) {
      const Node* x = todo.back();
      todo.pop_back();
      for (const auto& [key, value] : x->members) {
        if (key == "id" && value.kind == Kind::String &&
            nlohmann::json::parse(Token(value)).get<std::string>() == id && (!first || value.begin < *first))
          first = value.begin;
        todo.push_back(&value);
      }
      for (const Node& item : x->items) todo.push_back(&item);
    }
    return first;
  }

  std::shared_ptr<MapDesc> OptionalMap(const Node& n, int depth) {
    if (n.kind == Kind::Null) return nullptr;
    return Map(n, depth + 1);
  }

  void Layers(const Node& n, MapDesc& map, int depth) {
    if (n.kind != Kind::Array) Fail(n, "\"layers\" must be an array of layers");
    if (n.items.size() > static_cast<std::size_t>(kMaxLayers))
      Fail(n, "more than " + std::to_string(kMaxLayers) + " layers");
    map.layers.clear();
    map.layers.resize(n.items.size());
    for (std::size_t i = 0; i < n.items.size(); ++i) Layer(n.items[i], map.layers[i], depth);
  }

  void Layer(const Node& n, LayerDesc& layer, int depth) {
    if (n.kind != Kind::Object) Fail(n, "a layer must be a JSON object");
    for (std::size_t k = 0; k < n.members.size(); ++k) {
      const auto& [key, value] = n.members[k];
      const std::string what = "\"" + key + "\"";
      if (key == "map") layer.map = OptionalMap(value, depth);
      else if (key == "mask") layer.mask = OptionalMap(value, depth);
      else if (key == "mapOn") layer.mapOn = Bool(value, what);
      else if (key == "maskOn") layer.maskOn = Bool(value, what);
      else if (key == "used") layer.used = Bool(value, what);
      else if (key == "opacity") layer.opacity = Float(value, what);
      else if (key == "color") layer.color = Color3(value, what);
      else if (key == "mode") layer.mode = Mode(value);
      else throw Failure{n.keyOffsets[k], "unknown field " + Quoted(key) + " in a layer"};
    }
  }

  std::int32_t Mode(const Node& n) const {
    if (n.kind == Kind::String) {
      const std::string name = String(n);
      if (auto m = ModeFromName(name)) return *m;
      Fail(n, "unknown mode name " + Quoted(name) + " (names are matched exactly, for example \"Hard Light\")");
    }
    if (n.kind != Kind::Number) Fail(n, "\"mode\" must be a mode index or a mode name");
    return static_cast<std::int32_t>(Integer(n, "\"mode\"", std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
  }

  void Output(const Node& n, OutputDesc& out) const {
    if (n.kind != Kind::Object) Fail(n, "\"output\" must be a JSON object");
    for (std::size_t k = 0; k < n.members.size(); ++k) {
      const auto& [key, value] = n.members[k];
      const std::string what = "\"" + key + "\"";
      if (key == "on") out.on = Bool(value, what);
      else if (key == "clamp") out.clamp = Bool(value, what);
      else if (key == "mono") out.mono = Bool(value, what);
      else if (key == "alpha") out.alpha = Float(value, what);
      else if (key == "bright") out.bright = Float(value, what);
      else if (key == "contrast") out.contrast = Float(value, what);
      else if (key == "gamma") out.gamma = Float(value, what);
      else if (key == "hsv") out.hsv = Floats<3>(value, what);
      else if (key == "rgb") out.rgb = Floats<3>(value, what);
      else throw Failure{n.keyOffsets[k], "unknown field " + Quoted(key) + " in \"output\""};
    }
  }

  SourcePos Pos(std::size_t offset) const { return lines_.At(offset); }

  // A colour space: any non-empty name; which names exist is the colour
  // configuration's to say when the images are read.
  std::string ColourSpaceName(const Node& n, const std::string& what) const {
    if (n.kind != Kind::String) Fail(n, what + " must be a colour space name (\"sRGB\", \"linear\", \"raw\", ...)");
    std::string name = String(n, what);
    if (name.empty()) Fail(n, what + " must not be empty");
    return name;
  }

  // A map with an id: null while it is being read.
  struct Defined {
    std::shared_ptr<MapDesc> map;
    std::size_t offset = 0;  // of its id
    int height = 0;          // maps on the longest chain from it down, itself included
  };

  const Lines& lines_;
  std::string baseDir_;
  int version_ = 1;
  const Node* doc_ = nullptr;
  std::map<std::string, Defined> ids_;
  std::unordered_map<const MapDesc*, int> heights_;
};

std::string At(const std::string& label, SourcePos p, const std::string& message) {
  return label + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": " + message;
}

}  // namespace

bool ParseSceneJson(std::string_view text, const std::string& label, const std::string& baseDir, SceneDesc& scene,
                    std::string& error) {
  // A byte order mark, as some editors on Windows write one, is not part of
  // the JSON text.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  const Lines lines(text);
  if (const std::optional<json::SyntaxError> syntax = json::CheckSyntax(text)) {
    error = At(label, lines.At(syntax->offset), "invalid JSON: " + syntax->message);
    return false;
  }
  try {
    const Node doc = json::Scan(text);
    Reader(text, lines, baseDir).Scene(doc, scene);
  } catch (const Failure& f) {
    error = At(label, lines.At(f.offset), f.message);
    return false;
  } catch (const nlohmann::json::exception& e) {
    error = label + ": invalid JSON: " + json::SyntaxMessage(e.what());
    return false;
  }
  return true;
}

bool ReadSceneJson(const std::string& path, SceneDesc& scene, std::string& error) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = path + ": cannot read: " + ec.message();
    return false;
  }
  if (size > kMaxSceneFileBytes) {
    error = path + ": scene file too large (" + std::to_string(size) + " bytes; the limit is " +
            std::to_string(kMaxSceneFileBytes) + ")";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open: " + std::string(std::strerror(errno));
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    error = path + ": read error";
    return false;
  }
  const std::string dir = std::filesystem::path(path).parent_path().string();
  return ParseSceneJson(buffer.str(), path, dir, scene, error);
}

}  // namespace tessary::app
