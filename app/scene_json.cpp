#include "app/scene_json.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/mode_names.h"

namespace tessary::app {

namespace {

// ---------------------------------------------------------------------------
// Where every value of a (syntactically valid) JSON text stands. nlohmann
// checks the syntax; this scanner then records the offsets that check forgets.

enum class Kind { Object, Array, String, Number, True, False, Null };

struct Member;

struct Node {
  Kind kind = Kind::Null;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::vector<Member> members;          // objects, in file order
  std::vector<std::size_t> keyOffsets;  // where each member's key starts
  std::vector<Node> items;              // arrays
};

// A key and its value (a pair of an incomplete Node would not compile
// everywhere).
struct Member {
  Member(std::string key, Node value) : first(std::move(key)), second(std::move(value)) {}
  std::string first;
  Node second;
};

// A string of the file as JSON writes it, quoted and escaped: a message
// stays one line whatever the string holds.
std::string Quoted(const std::string& s) { return nlohmann::json(s).dump(); }

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
            if (key.find('\0') != std::string::npos) throw Failure{keyBegin, "a field name must not contain \\u0000"};
            for (const auto& m : n.members)
              if (m.first == key) throw Failure{keyBegin, "duplicate field " + Quoted(key)};
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

// Where each offset of a text stands (1-based line and column).
class Lines {
 public:
  explicit Lines(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') starts_.push_back(i + 1);
  }
  SourcePos At(std::size_t offset) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    const std::size_t line = static_cast<std::size_t>(after - starts_.begin());
    return {static_cast<int>(line), static_cast<int>(offset - starts_[line - 1] + 1)};
  }

 private:
  std::vector<std::size_t> starts_{0};
};

class Reader {
 public:
  Reader(std::string_view text, const Lines& lines, std::string baseDir)
      : t_(text), lines_(lines), baseDir_(std::move(baseDir)) {}

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
  [[noreturn]] static void Fail(const Node& n, std::string message) { throw Failure{n.begin, std::move(message)}; }

  static void Expect(const Node& n, Kind kind, const char* message) {
    if (n.kind != kind) Fail(n, message);
  }

  std::string_view Token(const Node& n) const { return t_.substr(n.begin, n.end - n.begin); }

  // A string's value; `what` names it in the message when it holds a NUL,
  // which file names and the like would silently end at.
  std::string String(const Node& n, const std::string& what = "a string") const {
    std::string s = nlohmann::json::parse(Token(n)).get<std::string>();
    if (s.find('\0') != std::string::npos) Fail(n, what + " must not contain \\u0000");
    return s;
  }

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

  // A map with an id: null while it is being read.
  struct Defined {
    std::shared_ptr<MapDesc> map;
    std::size_t offset = 0;  // of its id
    int height = 0;          // maps on the longest chain from it down, itself included
  };

  std::string_view t_;
  const Lines& lines_;
  std::string baseDir_;
  int version_ = 1;
  const Node* doc_ = nullptr;
  std::map<std::string, Defined> ids_;
  std::unordered_map<const MapDesc*, int> heights_;
};

// nlohmann's message without its "[json.exception...] parse error at ...: " prefix.
std::string SyntaxMessage(const std::string& what) {
  const std::size_t colon = what.find(": ");
  std::string m = colon == std::string::npos ? what : what.substr(colon + 2);
  return m;
}

// A JSON number token (RFC 8259) spanning all of s.
bool IsNumberToken(std::string_view s) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t from = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i > from;
  };
  if (i < s.size() && s[i] == '-') ++i;
  if (i < s.size() && s[i] == '0') ++i;
  else if (!digits()) return false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == s.size();
}

// The syntax check refuses numbers beyond double range (1e400) outright, with
// no position. This returns a copy of the text in which each such number is
// a 0 padded with spaces to the same length, so the check passes them and the
// reader, which reads the original text, reports them where they stand like
// any number beyond single precision. Empty when the text has none.
std::string TameHugeNumbers(std::string_view text) {
  std::string tamed;
  auto tokenChar = [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; };
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '"') {  // skip a string
      for (++i; i < text.size() && text[i] != '"'; ++i)
        if (text[i] == '\\') ++i;
      ++i;
      continue;
    }
    if (!tokenChar(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && tokenChar(text[end])) ++end;
    const std::string_view token = text.substr(i, end - i);
    if (IsNumberToken(token) && std::isinf(std::strtod(std::string(token).c_str(), nullptr))) {
      if (tamed.empty()) tamed.assign(text);
      tamed.replace(i, token.size(), "0" + std::string(token.size() - 1, ' '));
    }
    i = end;
  }
  return tamed;
}

struct SyntaxError {
  std::size_t offset;
  std::string message;
};

// Checks the syntax without building a document (memory stays near the
// text's size); the first error, if any.
std::optional<SyntaxError> CheckSyntax(std::string_view text) {
  struct Sax : nlohmann::json_sax<nlohmann::json> {
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::json::exception& e) override {
      error = SyntaxError{position > 0 ? position - 1 : 0, SyntaxMessage(e.what())};
      return false;
    }
    std::optional<SyntaxError> error;
  } sax;
  nlohmann::json::sax_parse(text, &sax);
  return sax.error;
}

std::string At(const std::string& label, SourcePos p, const std::string& message) {
  return label + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": " + message;
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
  const Lines lines(text);
  const std::string tamed = TameHugeNumbers(text);
  if (const std::optional<SyntaxError> syntax = CheckSyntax(tamed.empty() ? text : std::string_view(tamed))) {
    error = At(label, lines.At(syntax->offset), "invalid JSON: " + syntax->message);
    return false;
  }
  try {
    Scanner scanner(text);
    const Node doc = scanner.Document();
    Reader(text, lines, baseDir).Scene(doc, scene);
  } catch (const Failure& f) {
    error = At(label, lines.At(f.offset), f.message);
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
  MapWriter writer;
  if (scene.root) writer.ids = MapIds(*scene.root);
  // Version 2 only where it is needed, so that a scene without shared maps
  // stays readable by programs that know version 1.
  doc["version"] = writer.ids.empty() ? 1 : kSceneJsonVersion;
  doc["root"] = writer.Map(scene.root.get());
  return CompactScalarArrays(doc.dump(2)) + "\n";
}

}  // namespace tessary::app
