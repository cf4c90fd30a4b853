#pragma once
// The plain description of a scene: a tree of maps as the scene files state
// them, before any map object exists. The JSON reader and writer and the
// binary scene file convert to and from it; the map builder turns it into
// maps. Values are held exactly as the file holds them (single precision),
// "bright" and "contrast" as the editor's percentages.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/image_io.h"
#include "host/color.h"
#include "host/point3.h"
#include "host/stdmaps.h"

namespace tessary::app {

enum class MapType { Layered, Constant, Bitmap, Checker, Gradient, Noise };

// The scene-file name of a map type ("tessary", "constant", ...).
const char* MapTypeName(MapType type);

// Where a value stood in its file (1-based); line 0 when it has no position.
struct SourcePos {
  int line = 0;
  int column = 0;
};

struct MapDesc;

struct LayerDesc {
  std::unique_ptr<MapDesc> map;
  std::unique_ptr<MapDesc> mask;
  bool mapOn = true;
  bool maskOn = true;
  bool used = true;
  float opacity = 100.0f;
  host::Color color{0.5f, 0.5f, 0.5f};
  std::int32_t mode = 0;  // any value; only 0..33 are modes
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
};

struct MapDesc {
  MapType type = MapType::Constant;
  std::string name;
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
  std::unique_ptr<MapDesc> root;
};

// Limits that keep memory bounded whatever a file claims.
inline constexpr int kMaxNesting = 64;         // maps inside maps
// Layers of one map: no more than a map holds (its block's "mapList" table
// holds two entries per layer, 65536 at most).
inline constexpr int kMaxLayers = 32768;
inline constexpr std::uintmax_t kMaxSceneFileBytes = 64u << 20;

// Deep copy (descriptions hold their sub-maps by unique_ptr).
std::unique_ptr<MapDesc> CloneMap(const MapDesc& map);

// Exact equality of two descriptions, every float compared by its bits.
// Source positions and resolved paths are not compared.
bool SameScene(const MapDesc& a, const MapDesc& b);

}  // namespace tessary::app
