#pragma once
// A layer stack in plain tables with stand-in sub-maps that return fixed
// values and log the order in which they are called.

#include <string>
#include <vector>

#include "compositing/layer_tables.h"
#include "host/sdk/color.h"
#include "host/sdk/point3.h"
#include "host/sdk/tab.h"

namespace tessary::testing {

struct FakeMap {
  std::string name;
  host::AColor color;
  host::Point3 perturb;
};

struct Stack {
  host::Tab<FakeMap*> subMaps;
  host::Tab<int> mapOn, maskOn, layerUsed, blendMode;
  host::Tab<float> opacity;
  host::Tab<host::Color> layerColor;
  std::vector<std::string> calls;

  // n layers with the new-layer defaults: no maps, switches on, grey, 100 %, Normal.
  explicit Stack(int n) { Resize(n); }

  void Resize(int n) {
    subMaps.SetCount(2 * n);
    for (auto* t : {&mapOn, &maskOn, &layerUsed, &blendMode}) t->SetCount(n);
    opacity.SetCount(n);
    layerColor.SetCount(n);
    for (int i = 0; i < n; ++i) {
      subMaps[2 * i] = subMaps[2 * i + 1] = nullptr;
      mapOn[i] = maskOn[i] = layerUsed[i] = 1;
      blendMode[i] = 0;
      opacity[i] = 100.0f;
      layerColor[i] = host::Color(0.5f, 0.5f, 0.5f);
    }
  }

  LayerTables<FakeMap*> Tables() const {
    return {subMaps, mapOn, maskOn, layerUsed, opacity, layerColor, blendMode};
  }

  auto ColorFn() {
    return [this](FakeMap* m) {
      calls.push_back(m->name + ".color");
      return m->color;
    };
  }
  auto PerturbFn() {
    return [this](FakeMap* m) {
      calls.push_back(m->name + ".perturb");
      return m->perturb;
    };
  }
};

}  // namespace tessary::testing
