#pragma once
// What the layered-map module publishes to the hosts that load it: the map's
// class ID, its limits, and ILayeredMap, the interface through which a host
// (or a script) reads and writes a layer's values and the output settings.
// A host makes the map through its class descriptor, gives it its sub-maps
// through SetSubTexmap, and sets and reads everything else through this
// interface; the map's class itself stays inside the module.
//
// A host obtains the interface by ID from the map, through the texture map's
// query by ID (GetProperty): GetLayeredMap below.

#include "compositing/output_settings.h"
#include "host/color.h"
#include "host/iparamb2.h"
#include "host/mtl.h"

namespace tessary {

inline constexpr host::Class_ID QUILBO_CLASS_ID(0x9B340D4D, 0xA443AC6A);

// The most layers a map holds: the block's "mapList" table, two entries per
// layer, holds at most the block's table limit.
inline constexpr int kMaxLayers = host::kMaxParamTabCount / 2;

// The values of one layer. As initialised here they are the values a new
// layer takes (kNewLayer).
struct LayerValues {
  int mapOn = 1;
  int maskOn = 1;
  int used = 1;
  float opacity = 100.0f;  // percent
  host::Color color{0.5f, 0.5f, 0.5f};
  int mode = 0;  // blend mode; only 0..33 are modes
};
inline constexpr LayerValues kNewLayer{};

// The ID under which a layered map answers GetProperty with its ILayeredMap
// (far from the IDs under which the host hands maps its own properties).
inline constexpr int kLayeredMapInterfaceId = 0x4C4D0001;

class ILayeredMap {
 public:
  // N, the number of layers (layer 0 is the base). The count is set through
  // the map's SetNumSubTexmaps.
  virtual int LayerCount() const = 0;
  // Layer i's values; a value the map holds no entry for reads as the new
  // layer's. An index outside the stack gives kNewLayer.
  virtual LayerValues GetLayer(int i) const = 0;
  // Sets layer i's values (0 <= i < N; any other index does nothing); the
  // parameter block's per-layer tables and the layer's "edit_ids" text
  // follow, as when the map is loaded.
  virtual void SetLayer(int i, const LayerValues& values) = 0;
  // The output settings (brightness and contrast as factors).
  virtual OutputSettings GetOutput() const = 0;
  virtual void SetOutput(const OutputSettings& settings) = 0;
  // The version (1 to 4) of the layer data the map was last loaded from; 0
  // for a map that was not loaded from a file.
  virtual int LoadedLayerDataVersion() const = 0;

 protected:
  ~ILayeredMap() = default;
};

// The layered-map interface of m, or null when m is no layered map.
inline ILayeredMap* GetLayeredMap(host::Texmap* m) {
  return m ? static_cast<ILayeredMap*>(m->GetProperty(kLayeredMapInterfaceId)) : nullptr;
}

}  // namespace tessary
