#include "app/commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/host_session.h"
#include "app/colour.h"
#include "app/command_steps.h"
#include "app/image_io.h"
#include "app/map_graph.h"
#include "app/mode_names.h"
#include "app/output_file.h"
#include "app/scene_io.h"
#include "app/scene_json.h"
#include "host/sdk/shade_context.h"

namespace tessary::app {

int Fail(std::ostream& err, const std::string& message) {
  err << "tessary: error: " << message << "\n";
  return kExitFailure;
}

bool LoadMaps(const std::string& path, SceneGraph& graph, ImageLibrary& images, std::ostream& err) {
  std::string error;
  if (!LoadScene(path, graph, error) || !PrepareGraph(graph, images, error)) {
    Fail(err, error);
    return false;
  }
  return true;
}

bool KeepInputs(const std::string& output, const std::vector<std::string>& inputs, bool force,
                std::ostream& err) {
  std::string error;
  if (force || CheckNotAnInput(output, inputs, error)) return true;
  Fail(err, output + ": " + error);
  return false;
}

namespace {

std::string JsonFloat(float f) {
  const std::string s = ExactFloat(f);
  return std::isfinite(f) ? s : "\"" + s + "\"";
}

}  // namespace

std::string ExactFloat(float f) {
  if (std::isnan(f)) return "nan";
  if (std::isinf(f)) return f > 0.0f ? "inf" : "-inf";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
  return buf;
}

bool ParseFloat(const std::string& text, float& value, std::string& error) {
  char* end = nullptr;
  const float f = std::strtof(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(f)) {
    error = "\"" + text + "\" is not a finite number";
    return false;
  }
  value = f;
  return true;
}

bool MakeRegion(const std::vector<long long>& v, int width, int height, Region& region, std::string& error) {
  if (v.size() != 4) {
    error = "--region takes four whole numbers: X0 Y0 X1 Y1";
    return false;
  }
  const std::string given = std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) + " " +
                            std::to_string(v[3]);
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (v[0] < 0 || v[1] < 0 || v[2] > width || v[3] > height) {
    error = "--region " + given + " reaches outside the " + size + " image (X0 Y0 from 0, X1 up to " +
            std::to_string(width) + ", Y1 up to " + std::to_string(height) + ")";
    return false;
  }
  if (v[0] >= v[2] || v[1] >= v[3]) {
    error = "--region " + given + " is empty: X1 must be greater than X0 and Y1 greater than Y0";
    return false;
  }
  region.x0 = static_cast<int>(v[0]);
  region.y0 = static_cast<int>(v[1]);
  region.x1 = static_cast<int>(v[2]);
  region.y1 = static_cast<int>(v[3]);
  region.fullWidth = width;
  region.fullHeight = height;
  return true;
}

bool ParseSize(const std::string& text, int& width, int& height, std::string& error) {
  auto number = [&](std::string_view s, int& out) {
    long long v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size() || v < 1 || v > kMaxImageSide) return false;
    out = static_cast<int>(v);
    return true;
  };
  const std::size_t x = text.find('x');
  const std::string_view all(text);
  bool ok = x == std::string::npos ? number(all, width) && number(all, height)
                                   : number(all.substr(0, x), width) && number(all.substr(x + 1), height);
  if (!ok) error = "--size \"" + text + "\": expected W or WxH, each between 1 and " + std::to_string(kMaxImageSide);
  return ok;
}

int RunCheck(const std::vector<std::string>& scenes, std::ostream& out, std::ostream& err,
             const std::string& colorConfig) {
  std::string opened;
  const std::shared_ptr<const ColourConfig> colours = OpenColourConfig(colorConfig, opened);
  if (!colours && !opened.empty()) return Fail(err, opened);
  ImageLibrary images(colours);
  int failed = 0;
  for (const std::string& scene : scenes) {
    SceneGraph graph;
    if (!LoadMaps(scene, graph, images, err)) {
      ++failed;
      continue;
    }
    std::string error;
    const std::shared_ptr<MapDesc> root = DescribeGraph(graph.root, graph, error);
    if (!root) {
      Fail(err, scene + ": " + error);
      ++failed;
      continue;
    }
    std::set<const MapDesc*> maps;
    std::set<std::string> files;
    std::vector<const MapDesc*> todo = {root.get()};
    while (!todo.empty()) {
      const MapDesc* m = todo.back();
      todo.pop_back();
      if (!m || !maps.insert(m).second) continue;
      if (m->type == MapType::Bitmap) files.insert(m->bitmap.file);
      for (const LayerDesc& l : m->layers) {
        todo.push_back(l.map.get());
        todo.push_back(l.mask.get());
      }
    }
    out << graph.path << ": ok (" << maps.size() << (maps.size() == 1 ? " map, " : " maps, ") << files.size()
        << (files.size() == 1 ? " image)" : " images)") << "\n";
  }
  return failed > 0 ? kExitFailure : kExitOk;
}

int RunEval(const EvalArgs& a, std::ostream& out, std::ostream& err) {
  SceneGraph graph;
  std::string opened;
  const std::shared_ptr<const ColourConfig> colours = OpenColourConfig(a.colorConfig, opened);
  if (!colours && !opened.empty()) return Fail(err, opened);
  // Bitmaps are converted into the working space as a render reads them.
  ImageLibrary images(colours);
  if (!LoadMaps(a.scene, graph, images, err)) return kExitFailure;
  // One shading context, a fresh sample for each question, as a renderer
  // asks them.
  host::ShadeContext sc;
  sc.MoveTo(host::Point3(a.u, a.v, 0.0f));
  const host::AColor c = graph.root->EvalColor(sc);
  sc.NewSample();
  const float mono = graph.root->EvalMono(sc);
  sc.NewSample();
  const host::Point3 p = graph.root->EvalNormalPerturb(sc);
  out << "{\"color\": [" << JsonFloat(c.r) << ", " << JsonFloat(c.g) << ", " << JsonFloat(c.b) << ", "
      << JsonFloat(c.a) << "], \"mono\": " << JsonFloat(mono) << ", \"perturb\": [" << JsonFloat(p.x) << ", "
      << JsonFloat(p.y) << ", " << JsonFloat(p.z) << "]}\n";
  return kExitOk;
}

int RunConvert(const std::string& in, const std::string& outPath, std::ostream& out, std::ostream& err,
               bool force) {
  SceneGraph graph;
  std::string error;
  SceneFormat format{};
  if (!SceneFormatForPath(outPath, format, error)) return Fail(err, error);
  if (!LoadScene(in, graph, error)) return Fail(err, error);
  if (!KeepInputs(outPath, {in}, force, err)) return kExitFailure;
  if (!SaveScene(outPath, graph, error)) return Fail(err, error);
  if (!IsStandardOutput(outPath)) out << "wrote " << outPath << "\n";
  return kExitOk;
}

namespace {

// Maps used in several places are named by their ids (as a JSON scene would
// write them) wherever they are used, and printed once.
using MapIdTable = std::map<const MapDesc*, std::string>;

std::string MapLabel(const MapDesc* m, const MapIdTable& ids) {
  if (!m) return "-";
  std::string label = MapTypeName(m->type);
  if (m->type == MapType::Bitmap) label += " \"" + m->bitmap.file + "\"";
  if (m->type == MapType::Bitmap && !m->bitmap.colorspace.empty()) label += " (colour space " + m->bitmap.colorspace + ")";
  if (!m->name.empty()) label += " \"" + m->name + "\"";
  if (m->type == MapType::Layered)
    label += " (" + std::to_string(m->layers.size()) + (m->layers.size() == 1 ? " layer)" : " layers)");
  if (const auto id = ids.find(m); id != ids.end()) label += " [id \"" + id->second + "\"]";
  return label;
}

// Numbers as a person reads them: the shortest text that reads back to the
// same float, as the scene writer prints them (1.15, not 1.14999998).
std::string Number(float f) { return FloatText(f); }

std::string Colour(const host::Color& c) { return Number(c.r) + " " + Number(c.g) + " " + Number(c.b); }

// A column: the text, padded to `width`, and at least one blank after it so
// a long value never runs into the next column.
std::string Column(const std::string& text, std::size_t width) {
  return text + std::string(text.size() < width ? width - text.size() : 1, ' ');
}

void PrintLayers(const MapDesc& m, const MapIdTable& ids, std::ostream& out) {
  out << "  " << Column("#", 4) << Column("used", 6) << Column("mode", 18) << Column("opacity", 9)
      << Column("colour", 22) << "map / mask\n";
  for (std::size_t i = 0; i < m.layers.size(); ++i) {
    const LayerDesc& l = m.layers[i];
    const std::string index = i == 0 ? "B" : std::to_string(i);
    std::string mode = std::string(ModeName(l.mode));
    if (mode.empty()) mode = "(" + std::to_string(l.mode) + ": none)";
    out << "  " << Column(index, 4) << Column(l.used ? "yes" : "no", 6) << Column(i == 0 ? "-" : mode, 18)
        << Column(i == 0 ? "-" : Number(l.opacity), 9) << Column(Colour(l.color), 22) << "map "
        << (l.mapOn ? "on " : "off") << " " << MapLabel(l.map.get(), ids) << "; mask " << (l.maskOn ? "on " : "off")
        << " " << MapLabel(l.mask.get(), ids) << "\n";
  }
}

void PrintOutput(const OutputDesc& o, std::ostream& out) {
  out << "  output " << (o.on ? "on" : "off") << ": clamp " << (o.clamp ? "on" : "off") << ", mono "
      << (o.mono ? "on" : "off") << ", alpha " << Number(o.alpha) << ", bright " << Number(o.bright)
      << " %, contrast " << Number(o.contrast) << " %, gamma " << Number(o.gamma) << ", hsv " << Number(o.hsv[0])
      << " " << Number(o.hsv[1]) << " " << Number(o.hsv[2]) << ", rgb " << Number(o.rgb[0]) << " "
      << Number(o.rgb[1]) << " " << Number(o.rgb[2]) << "\n";
}

// Prints m and the layered maps below it that `printed` does not hold yet.
void PrintMap(const MapDesc& m, const std::string& title, const MapIdTable& ids, std::set<const MapDesc*>& printed,
              std::ostream& out) {
  printed.insert(&m);
  out << title << MapLabel(&m, ids) << "\n";
  if (m.type != MapType::Layered) return;
  if (m.layerChunkVersion > 0) out << "  layer data chunk: version " << m.layerChunkVersion << "\n";
  PrintLayers(m, ids, out);
  PrintOutput(m.output, out);
  for (std::size_t i = 0; i < m.layers.size(); ++i) {
    const LayerDesc& l = m.layers[i];
    if (l.map && l.map->type == MapType::Layered && !printed.count(l.map.get()))
      PrintMap(*l.map, "\nlayer " + std::to_string(i) + " map: ", ids, printed, out);
    if (l.mask && l.mask->type == MapType::Layered && !printed.count(l.mask.get()))
      PrintMap(*l.mask, "\nlayer " + std::to_string(i) + " mask: ", ids, printed, out);
  }
}

}  // namespace

namespace {

// The maps of a description, each once, in the order a walk from the root
// meets them.
void CollectMaps(const MapDesc* m, std::vector<const MapDesc*>& maps, std::set<const MapDesc*>& seen) {
  if (!m || !seen.insert(m).second) return;
  maps.push_back(m);
  for (const LayerDesc& l : m->layers) {
    CollectMaps(l.map.get(), maps, seen);
    CollectMaps(l.mask.get(), maps, seen);
  }
}

// What info says, for programs: the file's kind, counts, the images it uses
// and the scene itself in the JSON scene format.
std::string InfoJson(const std::string& path, const SceneGraph& graph, const std::shared_ptr<MapDesc>& root) {
  std::vector<const MapDesc*> maps;
  std::set<const MapDesc*> seen;
  CollectMaps(root.get(), maps, seen);
  std::set<std::string> imageSet;
  std::set<int> chunkVersions;
  std::vector<std::string> images;
  std::size_t layered = 0;
  std::size_t layers = 0;
  for (const MapDesc* m : maps) {
    if (m->type == MapType::Bitmap && imageSet.insert(m->bitmap.file).second) images.push_back(m->bitmap.file);
    if (m->type == MapType::Layered) {
      ++layered;
      layers += m->layers.size();
      if (m->layerChunkVersion > 0) chunkVersions.insert(m->layerChunkVersion);
    }
  }
  auto quoted = [](const std::string& s) { return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace); };
  std::string text = "{\n  \"file\": " + quoted(path) + ",\n  \"format\": \"" + (graph.binary ? "tsy" : "json") + "\",\n";
  if (!graph.binary) text += "  \"version\": " + std::to_string(graph.jsonVersion) + ",\n";
  if (graph.binary) {
    text += "  \"layerDataVersions\": [";
    bool first = true;
    for (const int v : chunkVersions) {
      text += (first ? "" : ", ") + std::to_string(v);
      first = false;
    }
    text += "],\n";
  }
  text += "  \"maps\": " + std::to_string(maps.size()) + ",\n  \"layeredMaps\": " + std::to_string(layered) +
          ",\n  \"layers\": " + std::to_string(layers) + ",\n  \"images\": [";
  for (std::size_t i = 0; i < images.size(); ++i) text += (i ? ", " : "") + quoted(images[i]);
  text += "],\n  \"scene\": ";
  SceneDesc scene;
  scene.root = root;
  scene.workingColorspace = graph.workingColorspace;
  const std::string written = WriteSceneJson(scene);
  // The scene's own text, one level further in.
  for (std::size_t i = 0; i < written.size(); ++i) {
    text += written[i];
    if (written[i] == '\n' && i + 1 < written.size()) text += "  ";
  }
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text + "\n}\n";
}

}  // namespace

int RunInfo(const std::string& path, std::ostream& out, std::ostream& err, bool json) {
  SceneGraph graph;
  std::string error;
  if (!LoadScene(path, graph, error)) return Fail(err, error);
  const std::shared_ptr<MapDesc> root = DescribeGraph(graph.root, graph, error);
  if (!root) return Fail(err, path + ": " + error);
  if (json) {
    out << InfoJson(path, graph, root);
    return kExitOk;
  }
  std::ostringstream text;
  text << graph.path << ": "
       << (graph.binary ? std::string("binary scene file") : "JSON scene, version " + std::to_string(graph.jsonVersion))
       << "\n";
  if (!graph.workingColorspace.empty()) text << "working colour space: " << graph.workingColorspace << "\n";
  std::set<const MapDesc*> printed;
  PrintMap(*root, "root: ", MapIds(*root), printed, text);
  out << text.str();
  return kExitOk;
}

}  // namespace tessary::app
