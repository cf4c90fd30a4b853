#pragma once
// A read-only view of a layer stack: the map's per-layer tables, as the
// colour and bump walks read them. Entry 2i of subMaps is layer i's map,
// entry 2i + 1 its mask; layer 0 is the base.

#include <algorithm>

#include "host/color.h"
#include "host/tab.h"

namespace tessary {

// Entry i of a table, or fallback when the table has no entry i.
template <class T>
T TableEntry(const host::Tab<T>& table, int i, T fallback) {
  return i >= 0 && i < table.Count() ? table[i] : fallback;
}

template <class MapPtr>
struct LayerTables {
  const host::Tab<MapPtr>& subMaps;
  const host::Tab<int>& mapOn;
  const host::Tab<int>& maskOn;
  const host::Tab<int>& layerUsed;
  const host::Tab<float>& opacity;
  const host::Tab<host::Color>& layerColor;
  const host::Tab<int>& blendMode;

  // N: the subMaps count / 2 (integer division).
  int LayerCount() const { return subMaps.Count() / 2; }

  // The layers a walk may read: N, bounded by the shortest per-layer table,
  // so no entry beyond a table's count is ever read.
  int WalkableLayers() const {
    int n = LayerCount();
    n = std::min(n, mapOn.Count());
    n = std::min(n, maskOn.Count());
    n = std::min(n, layerUsed.Count());
    n = std::min(n, opacity.Count());
    n = std::min(n, layerColor.Count());
    n = std::min(n, blendMode.Count());
    return n;
  }

  // A flag of a table, read as 0 when the table has no entry i.
  static bool Flag(const host::Tab<int>& table, int i) { return TableEntry(table, i, 0) != 0; }

  MapPtr SubMap(int index) const { return index < subMaps.Count() ? subMaps[index] : MapPtr{}; }
};

}  // namespace tessary
