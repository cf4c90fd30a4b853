#pragma once
// The plain description of a scene: the maps as the scene files state them,
// before any map object exists. The JSON reader and writer and the binary
// scene file convert to and from it; the map builder turns it into maps.
// Values are held exactly as the file holds them (single precision),
// "bright" and "contrast" as the editor's percentages.
//
// Maps are held by shared_ptr: a map used in several places (the same map
// object in the scene, "the same map as there" in a JSON scene) is one
// description, reached through each place that uses it. The graph has no
// cycles; whoever makes one (the readers, DescribeGraph) guarantees that.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/image_io.h"
#include "host/sdk/color.h"
#include "host/sdk/point3.h"
#include "host/runtime/stdmaps.h"
#include "plugin_api/layered_map.h"

namespace tessary::app {

enum class MapType { Layered, Constant, Bitmap, Checker, Gradient, Noise };

// The scene-file name of a map type ("tessary", "constant", ...).
const char* MapTypeName(MapType type);

// Where a value stood in its file (1-based); line 0 when it has no position.
struct SourcePos {
  int line = 0;
  int column = 0;
};

// "LINE:COLUMN: " for a position, "" when it has none.
std::string PositionPrefix(const SourcePos& pos);

struct MapDesc;

struct LayerDesc {
  std::shared_ptr<MapDesc> map;   // null: none; may be shared with other places
  std::shared_ptr<MapDesc> mask;
  // Unless a scene says otherwise, the values of the map's new layer.
  bool mapOn = kNewLayer.mapOn != 0;
  bool maskOn = kNewLayer.maskOn != 0;
  bool used = kNewLayer.used != 0;
  float opacity = kNewLayer.opacity;
  host::Color color = kNewLayer.color;
  std::int32_t mode = kNewLayer.mode;  // any value; only 0..33 are modes
};

struct OutputDesc {
  bool on = false;
  bool clamp = false;
  bool mono = false;
  float alpha = 0.0f;
  float bright = 100.0f;    // percent; the map's factor is bright x 0.01f
  float contrast = 100.0f;  // percent; the map's factor is contrast x 0.01f
  float gamma = 1.0f;
  std::array<float, 3> hsv{0.0f, 0.0f, 0.0f};
  std::array<float, 3> rgb{0.0f, 0.0f, 0.0f};
};

struct BitmapDesc {
  std::string file;          // as written in the scene
  std::string resolvedPath;  // relative paths resolved against the scene's folder
  std::array<float, 2> tile{1.0f, 1.0f};    // repeats over the unit square
  std::array<float, 2> offset{0.0f, 0.0f};  // added to (u, v) after tiling
  AlphaMode alpha = AlphaMode::FromFile;    // "alpha": how the file's colour is stored
  // "colorspace": the colour space of the file's values, converted into the
  // scene's working space when read; "" as the file says (its tag, else its
  // format's convention), "raw" never converted.
  std::string colorspace;
};

struct MapDesc {
  MapType type = MapType::Constant;
  std::string name;
  std::string id;  // JSON scenes: what references to this map call it ("" = none)
  SourcePos pos;
  int layerChunkVersion = 0;  // binary scenes: the layer data's version (not compared)
  // tessary
  std::vector<LayerDesc> layers;
  OutputDesc output;
  // constant, bitmap and the procedural maps
  host::ConstantParams constant;
  BitmapDesc bitmap;
  host::CheckerParams checker;
  host::GradientParams gradient;
  host::NoiseParams noise;
};

struct SceneDesc {
  std::shared_ptr<MapDesc> root;
  int version = 1;  // JSON scenes: the format version the file was read as
  // "workingColorspace": the space the maps work in; images are converted
  // into it when read and renders out of it when written. "" is the
  // default, sRGB-encoded values (kDefaultWorkingSpace).
  std::string workingColorspace = {};
};

// Limits that keep memory bounded whatever a file claims.
inline constexpr int kMaxNesting = 64;         // maps on the longest chain of maps inside maps
// Layers of one map: no more than a map holds (tessary::kMaxLayers, which
// the layered map's module publishes).
inline constexpr std::uintmax_t kMaxSceneFileBytes = 64u << 20;

// Exact equality of two descriptions, every float compared by its bits, and
// of their sharing: a map used in two places of one is used in the same two
// places of the other. Source positions, resolved paths and ids are not
// compared. Each pair of maps is compared once.
bool SameScene(const MapDesc& a, const MapDesc& b);

// The ids under which the maps below root (root included) are written: every
// map that carries an id keeps it (the first of two equal ones), every other
// map used in more than one place gets one made from its name, or its type
// when it has none ("stone", "stone-2", "tessary-3"). Maps absent from the
// result need no id.
std::map<const MapDesc*, std::string> MapIds(const MapDesc& root);

// Calls f(map) once for every map below root (root included), depth first
// in the order a scene file lists them: each layer's map, then its mask.
void ForEachMapOnce(const MapDesc& root, const std::function<void(const MapDesc&)>& f);

}  // namespace tessary::app
