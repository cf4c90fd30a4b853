#pragma once
// A map held by an observer (so the reference graph owns it) and helpers
// to give its layers logging sub-maps.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/hold.h"
#include "map/quilbo.h"
#include "map/quilbo_class_desc.h"
#include "tests/map/map_doubles.h"

namespace tessary::testing {

class MapTest : public ::testing::Test {
 protected:
  MapTest() : map(new Quilbo()), observer(std::make_unique<Observer>(map)) {}

  // Puts a new logging map named name into sub-map slot i.
  ConstMap* Put(int i, const std::string& name) {
    auto* m = new ConstMap(name, &log);
    map->SetSubTexmap(i, m);
    return m;
  }
  // Layers 0..n-1 with layer maps named by letter (A, B, C, ...) and masks
  // named "a", "b", ...; each layer's opacity is 10 * (i + 1).
  void MakeLayers(int n, bool masks = true) {
    map->SetNumLayers(n);
    for (int i = 0; i < n; ++i) {
      Put(2 * i, std::string(1, static_cast<char>('A' + i)));
      if (masks) Put(2 * i + 1, std::string(1, static_cast<char>('a' + i)));
      map->opacity[i] = 10.0f * static_cast<float>(i + 1);
    }
  }
  std::string NameAt(int slot) {
    auto* m = dynamic_cast<ConstMap*>(map->GetSubTexmap(slot));
    return m ? m->Name() : std::string("-");
  }
  std::string Layout() {
    std::string s;
    for (int i = 0; i < map->subMaps.Count(); ++i) s += (i ? " " : "") + NameAt(i);
    return s;
  }
  host::IParamBlock2& Block() { return *map->pblock; }

  Log log;
  Quilbo* map;
  std::unique_ptr<Observer> observer;  // destroying it deletes the map
};

}  // namespace tessary::testing
