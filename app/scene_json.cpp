#include "app/scene_json.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>
#include <vector>

#include "app/mode_names.h"

namespace tessary::app {

namespace {

// ---------------------------------------------------------------------------
// Where every value of a (syntactically valid) JSON text stands. nlohmann
// checks the syntax; this scanner then records the offsets its DOM forgets.

enum class Kind { Object, Array, String, Number, True, False, Null };

struct Node {
  Kind kind = Kind::Null;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::vector<std::pair<std::string, Node>> members;  // objects, in file order
  std::vector<std::size_t> keyOffsets;                // where each member's key starts
  std::vector<Node> items;                            // arrays
};

struct Failure {
  std::size_t offset;
  std::string message;
};

class Scanner {
 public:
  explicit Scanner(std::string_view text) : t_(text) {}

  Node Document() {
    Node n = Value(0);
    return n;
  }

 private:
  // Nesting of JSON containers allowed; maps nest at most kMaxNesting deep,
  // and each map level takes a few containers.
  static constexpr int kMaxDepth = 8 * kMaxNesting + 16;

  void SkipSpace() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\n' || t_[i_] == '\r')) ++i_;
  }
  char Peek() const { return i_ < t_.size() ? t_[i_] : '\0'; }

  void SkipString() {
    ++i_;  // opening quote
    while (i_ < t_.size() && t_[i_] != '"') {
      if (t_[i_] == '\\') ++i_;
      ++i_;
    }
    ++i_;  // closing quote
  }

  Node Value(int depth) {
    SkipSpace();
    Node n;
    n.begin = i_;
    const char c = Peek();
    if (c == '{' || c == '[') {
      if (depth >= kMaxDepth) throw Failure{i_, "nesting too deep"};
      ++i_;
      const bool object = c == '{';
      n.kind = object ? Kind::Object : Kind::Array;
      const char close = object ? '}' : ']';
      SkipSpace();
      if (Peek() == close) {
        ++i_;
      } else {
        for (;;) {
          SkipSpace();
          if (object) {
            const std::size_t keyBegin = i_;
            SkipString();
            std::string key = nlohmann::json::parse(t_.substr(keyBegin, i_ - keyBegin)).get<std::string>();
            for (const auto& m : n.members)
              if (m.first == key) throw Failure{keyBegin, "duplicate field \"" + key + "\""};
            SkipSpace();
            ++i_;  // ':'
            n.members.emplace_back(std::move(key), Value(depth + 1));
            n.keyOffsets.push_back(keyBegin);
          } else {
            n.items.push_back(Value(depth + 1));
          }
          SkipSpace();
          if (i_ >= t_.size()) throw Failure{i_, "unexpected end of file"};
          if (t_[i_++] == close) break;  // else ','
        }
      }
    } else if (c == '"') {
      n.kind = Kind::String;
      SkipString();
    } else {
      while (i_ < t_.size() && t_[i_] != ',' && t_[i_] != '}' && t_[i_] != ']' && t_[i_] != ' ' &&
             t_[i_] != '\t' && t_[i_] != '\n' && t_[i_] != '\r')
        ++i_;
      const std::string_view token = t_.substr(n.begin, i_ - n.begin);
      n.kind = token == "true" ? Kind::True : token == "false" ? Kind::False : token == "null" ? Kind::Null : Kind::Number;
    }
    n.end = i_;
    return n;
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

// ---------------------------------------------------------------------------
// From positioned values to the scene description.

class Reader {
 public:
  Reader(std::string_view text, std::string baseDir) : t_(text), baseDir_(std::move(baseDir)) {}

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
      else throw Failure{doc.keyOffsets[k], "unknown field \"" + key + "\" in the scene"};
    }
    if (!format) throw Failure{doc.begin, "missing field \"format\" (expected \"tessary-scene\")"};
    if (format->kind != Kind::String || String(*format) != "tessary-scene")
      throw Failure{format->begin, "\"format\" must be \"tessary-scene\""};
    if (!version) throw Failure{doc.begin, "missing field \"version\""};
    const std::int64_t v = Integer(*version, "\"version\"", 0, std::numeric_limits<std::int32_t>::max());
    if (v != 1)
      throw Failure{version->begin, "unsupported version " + std::to_string(v) + " (this program reads version 1)"};
    if (!root) throw Failure{doc.begin, "missing field \"root\""};
    if (root->kind == Kind::Null) throw Failure{root->begin, "\"root\" must be a map, not null"};
    scene.root = Map(*root, 0);
  }

 private:
  [[noreturn]] static void Fail(const Node& n, std::string message) { throw Failure{n.begin, std::move(message)}; }

  static void Expect(const Node& n, Kind kind, const char* message) {
    if (n.kind != kind) Fail(n, message);
  }

  std::string_view Token(const Node& n) const { return t_.substr(n.begin, n.end - n.begin); }

  std::string String(const Node& n) const { return nlohmann::json::parse(Token(n)).get<std::string>(); }

  bool Bool(const Node& n, const std::string& what) const {
    if (n.kind == Kind::True) return true;
    if (n.kind == Kind::False) return false;
    Fail(n, what + " must be true or false");
  }

  float Float(const Node& n, const std::string& what) const {
    if (n.kind == Kind::String) {
      const std::string s = String(n);
      if (s == "nan") return std::numeric_limits<float>::quiet_NaN();
      if (s == "inf") return std::numeric_limits<float>::infinity();
      if (s == "-inf") return -std::numeric_limits<float>::infinity();
      Fail(n, what + " must be a number (or \"nan\", \"inf\", \"-inf\")");
    }
    if (n.kind != Kind::Number) Fail(n, what + " must be a number");
    const std::string token(Token(n));
    errno = 0;
    char* end = nullptr;
    const float f = std::strtof(token.c_str(), &end);
    if (end != token.c_str() + token.size()) Fail(n, what + " must be a number");
    if (std::isinf(f)) Fail(n, what + ": " + token + " is out of single-precision range");
    return f;
  }

  std::int64_t Integer(const Node& n, const std::string& what, std::int64_t lo, std::int64_t hi) const {
    const std::string_view token = Token(n);
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (n.kind != Kind::Number || ec != std::errc() || ptr != token.data() + token.size())
      Fail(n, what + " must be an integer");
    if (value < lo || value > hi)
      Fail(n, what + " must lie between " + std::to_string(lo) + " and " + std::to_string(hi));
    return value;
  }

  template <std::size_t N>
  std::array<float, N> Floats(const Node& n, const std::string& what) const {
    if (n.kind != Kind::Array || n.items.size() != N)
      Fail(n, what + " must be an array of " + std::to_string(N) + " numbers");
    std::array<float, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = Float(n.items[i], what + "[" + std::to_string(i) + "]");
    return out;
  }

  host::Color Color3(const Node& n, const std::string& what) const {
    const auto c = Floats<3>(n, what);
    return host::Color(c[0], c[1], c[2]);
  }

  // [r, g, b] (alpha 1) or [r, g, b, a].
  host::AColor Color34(const Node& n, const std::string& what) const {
    if (n.kind == Kind::Array && n.items.size() == 3) {
      const auto c = Floats<3>(n, what);
      return host::AColor(c[0], c[1], c[2], 1.0f);
    }
    if (n.kind != Kind::Array || n.items.size() != 4)
      Fail(n, what + " must be an array of 3 or 4 numbers");
    const auto c = Floats<4>(n, what);
    return host::AColor(c[0], c[1], c[2], c[3]);
  }

  // A number, or an array of two numbers.
  std::array<float, 2> Pair(const Node& n, const std::string& what) const {
    if (n.kind == Kind::Number) {
      const float f = Float(n, what);
      return {f, f};
    }
    if (n.kind != Kind::Array || n.items.size() != 2) Fail(n, what + " must be a number or an array of 2 numbers");
    return Floats<2>(n, what);
  }

  static std::string TypeList() { return "tessary, constant, bitmap, checker, gradient or noise"; }

  std::unique_ptr<MapDesc> Map(const Node& n, int depth) {
    if (n.kind != Kind::Object) Fail(n, "a map must be a JSON object");
    if (depth >= kMaxNesting) Fail(n, "maps nested more than " + std::to_string(kMaxNesting) + " deep");
    const Node* typeNode = nullptr;
    for (const auto& [key, value] : n.members)
      if (key == "type") typeNode = &value;
    if (!typeNode) Fail(n, "missing field \"type\" (" + TypeList() + ")");
    if (typeNode->kind != Kind::String) Fail(*typeNode, "\"type\" must be a string (" + TypeList() + ")");
    const std::string type = String(*typeNode);

    auto map = std::make_unique<MapDesc>();
    map->pos = Pos(n.begin);
    if (type == "tessary") map->type = MapType::Layered;
    else if (type == "constant") map->type = MapType::Constant;
    else if (type == "bitmap") map->type = MapType::Bitmap;
    else if (type == "checker") map->type = MapType::Checker;
    else if (type == "gradient") map->type = MapType::Gradient;
    else if (type == "noise") map->type = MapType::Noise;
    else Fail(*typeNode, "unknown map type \"" + type + "\" (expected " + TypeList() + ")");

    if (map->type == MapType::Layered) map->layers.resize(1);  // a new map has one layer
    bool haveFile = false;
    for (std::size_t k = 0; k < n.members.size(); ++k) {
      const auto& [key, value] = n.members[k];
      if (key == "type") continue;
      if (key == "name") {
        if (value.kind != Kind::String) Fail(value, "\"name\" must be a string");
        map->name = String(value);
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
            map->bitmap.file = String(value);
            if (map->bitmap.file.empty()) Fail(value, "\"file\" must not be empty");
            haveFile = true;
          } else if (key == "tile") map->bitmap.tile = Pair(value, what);
          else if (key == "offset") map->bitmap.offset = Pair(value, what);
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
      if (!known) throw Failure{n.keyOffsets[k], "unknown field \"" + key + "\" in a " + type + " map"};
    }
    if (map->type == MapType::Bitmap) {
      if (!haveFile) Fail(n, "a bitmap map needs a \"file\"");
      std::filesystem::path p(map->bitmap.file);
      if (p.is_relative() && !baseDir_.empty()) p = std::filesystem::path(baseDir_) / p;
      map->bitmap.resolvedPath = p.lexically_normal().string();
    }
    return map;
  }

  std::unique_ptr<MapDesc> OptionalMap(const Node& n, int depth) {
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
      else throw Failure{n.keyOffsets[k], "unknown field \"" + key + "\" in a layer"};
    }
  }

  std::int32_t Mode(const Node& n) const {
    if (n.kind == Kind::String) {
      const std::string name = String(n);
      if (auto m = ModeFromName(name)) return *m;
      Fail(n, "unknown mode name \"" + name + "\" (names are matched exactly, for example \"Hard Light\")");
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
      else throw Failure{n.keyOffsets[k], "unknown field \"" + key + "\" in \"output\""};
    }
  }

  SourcePos Pos(std::size_t offset) const;

  std::string_view t_;
  std::string baseDir_;
};

SourcePos PosAt(std::string_view text, std::size_t offset) {
  SourcePos p{1, 1};
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++p.line;
      p.column = 1;
    } else {
      ++p.column;
    }
  }
  return p;
}

SourcePos Reader::Pos(std::size_t offset) const { return PosAt(t_, offset); }

std::string At(const std::string& label, SourcePos p, const std::string& message) {
  return label + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": " + message;
}

// nlohmann's message without its "[json.exception...] parse error at ...: " prefix.
std::string SyntaxMessage(const std::string& what) {
  const std::size_t colon = what.find(": ");
  std::string m = colon == std::string::npos ? what : what.substr(colon + 2);
  return m;
}

// ---------------------------------------------------------------------------
// Writing.

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

Json MapJson(const MapDesc* map);

Json LayerJson(const LayerDesc& l) {
  Json j;
  j["map"] = MapJson(l.map.get());
  j["mask"] = MapJson(l.mask.get());
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

Json MapJson(const MapDesc* map) {
  if (!map) return nullptr;
  Json j;
  j["type"] = MapTypeName(map->type);
  if (!map->name.empty() || map->type == MapType::Layered) j["name"] = map->name;
  switch (map->type) {
    case MapType::Layered: {
      Json layers = Json::array();
      for (const LayerDesc& l : map->layers) layers.push_back(LayerJson(l));
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

bool ParseSceneJson(std::string_view text, const std::string& label, const std::string& baseDir, SceneDesc& scene,
                    std::string& error) {
  try {
    const nlohmann::json syntaxCheck = nlohmann::json::parse(text);  // values are read from the text below
    (void)syntaxCheck;
  } catch (const nlohmann::json::parse_error& e) {
    const std::size_t offset = e.byte > 0 ? e.byte - 1 : 0;
    error = At(label, PosAt(text, offset), "invalid JSON: " + SyntaxMessage(e.what()));
    return false;
  }
  try {
    Scanner scanner(text);
    const Node doc = scanner.Document();
    Reader(text, baseDir).Scene(doc, scene);
  } catch (const Failure& f) {
    error = At(label, PosAt(text, f.offset), f.message);
    return false;
  } catch (const nlohmann::json::exception& e) {
    error = label + ": invalid JSON: " + SyntaxMessage(e.what());
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

std::string WriteSceneJson(const SceneDesc& scene) {
  Json doc;
  doc["format"] = "tessary-scene";
  doc["version"] = 1;
  doc["root"] = MapJson(scene.root.get());
  return CompactScalarArrays(doc.dump(2)) + "\n";
}

}  // namespace tessary::app
