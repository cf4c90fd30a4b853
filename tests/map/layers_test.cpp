// The map's layer stack: a new map, its block, and the operations that
// change the number and order of layers.

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "host/sdk/iparamb2.h"
#include "host/sdk/tab.h"
#include "tests/map/map_fixture.h"

namespace tessary::testing {
namespace {

using namespace host;

TEST_F(MapTest, NewMapHasOneDefaultLayer) {
  EXPECT_EQ(map->LayerCount(), 1);
  EXPECT_EQ(map->NumRefs(), 3);
  EXPECT_EQ(map->NumSubTexmaps(), 2);
  EXPECT_EQ(map->NumSubs(), 2);
  EXPECT_EQ(map->GetSubTexmapSlotName(0), "Map 1");
  EXPECT_EQ(map->GetSubTexmapSlotName(1), "Map 2");
  EXPECT_EQ(map->GetReference(0), map->pblock);
  EXPECT_EQ(map->GetSubTexmap(0), nullptr);
  EXPECT_EQ(map->GetSubTexmap(1), nullptr);
  EXPECT_EQ(map->opacity[0], 100.0f);
  EXPECT_EQ(map->layerColor[0], Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(map->blendMode[0], 0);
  EXPECT_EQ(map->mapOn[0], 1);
  EXPECT_EQ(map->maskOn[0], 1);
  EXPECT_EQ(map->layerUsed[0], 1);
  MSTR name;
  map->GetClassName(name);
  EXPECT_EQ(name, "Tessary");
  EXPECT_EQ(map->ClassID(), Class_ID(0x9B340D4D, 0xA443AC6A));
  EXPECT_EQ(map->SuperClassID(), TEXMAP_CLASS_ID);
  // Output settings of a new map.
  EXPECT_FALSE(map->outputOn);
  EXPECT_FALSE(map->clampOn);
  EXPECT_FALSE(map->monoOn);
  EXPECT_EQ(map->alphaShift, 0.0f);
  EXPECT_EQ(map->brightness, 1.0f);
  EXPECT_EQ(map->contrast, 1.0f);
  EXPECT_EQ(map->gamma, 1.0f);
  EXPECT_EQ(map->hsvShift, AColor(0, 0, 0, 0));
  EXPECT_EQ(map->rgbShift, AColor(0, 0, 0, 0));
  EXPECT_TRUE(map->SupportTexDisplay());
  EXPECT_TRUE(map->SupportsMultiMapsInViewport());
}

TEST_F(MapTest, NewMapBlockMirrorsOneLayer) {
  EXPECT_EQ(Block().Count(params::kMapList), 2);
  for (ParamID id : {params::kMapEnabled, params::kMapUsed, params::kOpasityList, params::kColorList,
                     params::kModeList, params::kEditIds, params::kMaskEnabled}) {
    EXPECT_EQ(Block().Count(id), 1) << "parameter " << id;
  }
  ASSERT_NE(Block().GetStr(params::kEditIds, 0, 0), nullptr);
  EXPECT_STREQ(Block().GetStr(params::kEditIds, 0, 0), "0");

  struct FloatCase {
    ParamID id;
    float value;
  };
  const FloatCase floats[] = {{params::kHsvH, 0}, {params::kHsvS, 0},      {params::kHsvV, 0},
                              {params::kRgbR, 0}, {params::kRgbG, 0},      {params::kRgbB, 0},
                              {params::kAlpha, 0}, {params::kBright, 100}, {params::kContrast, 100},
                              {params::kGamma, 1}};
  for (const FloatCase& c : floats) EXPECT_EQ(Block().GetFloat(c.id), c.value) << "parameter " << c.id;
  for (ParamID id : {params::kOutputOn, params::kMono, params::kClamp}) {
    EXPECT_EQ(Block().GetInt(id), 0) << "parameter " << id;
  }
}

TEST_F(MapTest, BlockLookupByID) {
  EXPECT_EQ(map->NumParamBlocks(), 1);
  EXPECT_EQ(map->GetParamBlock(0), map->pblock);
  EXPECT_EQ(map->GetParamBlockByID(0), map->pblock);
  for (int id : {1, -1, 5, 100}) EXPECT_EQ(map->GetParamBlockByID(static_cast<BlockID>(id)), nullptr) << id;
}

TEST_F(MapTest, GrowingAddsDefaultLayersAndEditIds) {
  map->opacity[0] = 40.0f;
  map->SetNumLayers(3);
  ASSERT_EQ(map->LayerCount(), 3);
  EXPECT_EQ(map->opacity[0], 40.0f);  // kept
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(map->opacity[i], 100.0f);
    EXPECT_EQ(map->layerColor[i], Color(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(map->blendMode[i], 0);
    EXPECT_EQ(map->mapOn[i] + map->maskOn[i] + map->layerUsed[i], 3);
  }
  EXPECT_EQ(Block().Count(params::kMapList), 6);
  for (ParamID id : {params::kMapEnabled, params::kMapUsed, params::kOpasityList, params::kColorList,
                     params::kModeList, params::kEditIds, params::kMaskEnabled}) {
    EXPECT_EQ(Block().Count(id), 3) << "parameter " << id;
  }
  for (int i = 0; i < 3; ++i) EXPECT_STREQ(Block().GetStr(params::kEditIds, 0, i), std::to_string(i).c_str());
  EXPECT_EQ(map->NumRefs(), 7);
  EXPECT_EQ(map->SubNumToRefNum(4), 5);
  for (int outside : {-1, 6, INT_MAX}) EXPECT_EQ(map->SubNumToRefNum(outside), -1) << outside;
  EXPECT_EQ(map->GetSubTexmapSlotName(INT_MAX), "Map 2147483648");
}

TEST_F(MapTest, LayerCountChangeNotifiesDependentsOnce) {
  struct Case {
    int count;
    bool notifies;
  };
  const Case cases[] = {{0, false}, {-3, false}, {1, false}, {2, true}, {2, false}, {1, true}};
  for (const Case& c : cases) {
    observer->messages.clear();
    const int before = map->LayerCount();
    map->SetNumLayers(c.count);
    if (!c.notifies) {
      EXPECT_TRUE(observer->messages.empty()) << "count " << c.count;
      EXPECT_EQ(map->LayerCount(), before);
      continue;
    }
    ASSERT_FALSE(observer->messages.empty()) << "count " << c.count;
    const Observer::Message& last = observer->messages.back();
    EXPECT_EQ(last.message, REFMSG_CHANGE);
    EXPECT_EQ(last.part, PART_ALL);
    EXPECT_TRUE(last.propagate);
    EXPECT_EQ(map->LayerCount(), c.count);
  }
}

TEST_F(MapTest, ShrinkingReleasesReferencesInOrder) {
  MakeLayers(4);
  for (int slot = 4; slot < 8; ++slot) map->GetSubTexmap(slot)->IncrActive();
  log.clear();
  map->SetNumLayers(2);
  // References 5, 6, 7, 8 are layer 2's map and mask, then layer 3's.
  const Log expected = {"C.Deactivate", "c.Deactivate", "~C", "~c",
                        "D.Deactivate", "d.Deactivate", "~D", "~d"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(Layout(), "A a B b");
  EXPECT_EQ(map->opacity[0], 10.0f);
  EXPECT_EQ(map->opacity[1], 20.0f);
  EXPECT_EQ(map->opacity.Count(), 2);
  EXPECT_EQ(map->NumRefs(), 5);
}

TEST_F(MapTest, SwapInsertDelete) {
  struct Case {
    const char* what;
    void (*op)(Quilbo&);
    const char* layout;
    const char* released;
  };
  const Case cases[] = {
      {"swap 0 2", [](Quilbo& m) { m.SwapLayers(0, 2); }, "C c B b A a", ""},
      {"swap out of range", [](Quilbo& m) { m.SwapLayers(1, 3); }, "A a B b C c", ""},
      {"swap negative", [](Quilbo& m) { m.SwapLayers(-1, 0); }, "A a B b C c", ""},
      {"insert before 1", [](Quilbo& m) { m.InsertLayerBefore(1); }, "A a - - B b C c", ""},
      {"insert before 2", [](Quilbo& m) { m.InsertLayerBefore(2); }, "A a B b - - C c", ""},
      {"insert before 0", [](Quilbo& m) { m.InsertLayerBefore(0); }, "A a B b C c", ""},
      {"insert before 3", [](Quilbo& m) { m.InsertLayerBefore(3); }, "A a B b C c", ""},
      {"delete 1", [](Quilbo& m) { m.DeleteLayer(1); }, "A a C c", "~B ~b"},
      {"delete 2", [](Quilbo& m) { m.DeleteLayer(2); }, "A a B b", "~C ~c"},
      {"delete 0", [](Quilbo& m) { m.DeleteLayer(0); }, "A a B b C c", ""},
      {"delete 3", [](Quilbo& m) { m.DeleteLayer(3); }, "A a B b C c", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A fresh three-layer map for every case.
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    MakeLayers(3);
    map->blendMode[1] = 7;
    log.clear();
    c.op(*map);
    EXPECT_EQ(Layout(), c.layout);
    std::string released;
    for (const std::string& e : log) released += (released.empty() ? "" : " ") + e;
    EXPECT_EQ(released, c.released);
    // Every per-layer table follows the layers.
    const int n = map->LayerCount();
    for (int i = 0; i < n; ++i) {
      const std::string layerMap = NameAt(2 * i);
      const float expectOpacity = layerMap == "-" ? 100.0f : 10.0f * static_cast<float>(layerMap[0] - 'A' + 1);
      EXPECT_EQ(map->opacity[i], expectOpacity) << "layer " << i;
      EXPECT_EQ(map->blendMode[i], layerMap == "B" ? 7 : 0) << "layer " << i;
    }
    EXPECT_EQ(Block().Count(params::kMapList), 2 * n);
    EXPECT_EQ(Block().Count(params::kEditIds), n);
  }
}

TEST_F(MapTest, SwappedMapsStayReferencedUnderTheirNewNumbers) {
  MakeLayers(2);
  ConstMap* b = dynamic_cast<ConstMap*>(map->GetSubTexmap(2));
  map->SwapLayers(0, 1);
  EXPECT_EQ(map->GetReference(1), b);
  EXPECT_EQ(map->CountRefsTo(b), 1);
  // Releasing it through its new reference number deletes it once.
  log.clear();
  map->ReplaceReference(1, nullptr);
  EXPECT_EQ(log, Log{"~B"});
}

TEST_F(MapTest, SetNumSubTexmapsCountsLayers) {
  map->SetNumSubTexmaps(4);
  EXPECT_EQ(map->LayerCount(), 4);
  EXPECT_EQ(map->NumSubTexmaps(), 8);
}

// A slot past the stack grows the stack to the layer that owns the slot:
// the sub-map table stays at two entries per layer, and the per-layer tables
// and the block follow, so nothing is left that a save could not carry.
TEST_F(MapTest, SubTexmapBeyondTheStackGrowsTheStack) {
  struct Case {
    int slot;
    int layers;
  };
  const Case cases[] = {{1, 1}, {2, 2}, {3, 2}, {4, 3}, {5, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE("slot " + std::to_string(c.slot));
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    map->opacity[0] = 40.0f;
    Interval valid = FOREVER;
    map->Update(0, valid);
    ConstMap* m = Put(c.slot, "M");
    ASSERT_EQ(map->LayerCount(), c.layers);
    EXPECT_EQ(map->subMaps.Count(), 2 * c.layers);
    EXPECT_EQ(map->NumRefs(), 2 * c.layers + 1);
    EXPECT_EQ(map->GetReference(c.slot + 1), m);
    EXPECT_EQ(Block().Count(params::kMapList), 2 * c.layers);
    for (ParamID id : {params::kMapEnabled, params::kMaskEnabled, params::kMapUsed, params::kColorList,
                       params::kOpasityList, params::kModeList, params::kEditIds}) {
      EXPECT_EQ(Block().Count(id), c.layers) << "parameter " << id;
    }
    EXPECT_EQ(map->opacity[0], 40.0f);
    for (int i = 1; i < c.layers; ++i) {
      EXPECT_EQ(map->opacity[i], 100.0f) << i;
      EXPECT_EQ(map->mapOn[i] + map->maskOn[i] + map->layerUsed[i], 3) << i;
      EXPECT_EQ(map->layerColor[i], Color(0.5f, 0.5f, 0.5f)) << i;
      EXPECT_STREQ(Block().GetStr(params::kEditIds, 0, i), std::to_string(i).c_str());
    }
    EXPECT_EQ(map->mapOn.Count(), c.layers);
    EXPECT_EQ(map->blendMode.Count(), c.layers);
    EXPECT_TRUE(map->validity.Empty());
  }
  // Shrinking releases the map again.
  log.clear();
  map->SetNumLayers(1);
  EXPECT_EQ(log, Log{"~M"});
  EXPECT_EQ(map->NumRefs(), 3);
}

// Counts past what the block's tables hold, and slots past them, fail
// cleanly: no overflow, no change, no message, the offered map not taken.
TEST_F(MapTest, CountsPastTheBlockLimitChangeNothing) {
  MakeLayers(2);
  auto* spare = new ConstMap("spare", &log);
  const std::string layout = Layout();
  struct Case {
    const char* what;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"SetNumSubTexmaps(0x40000000)", [&] { map->SetNumSubTexmaps(0x40000000); }},
      {"SetNumLayers(kMaxLayers + 1)", [&] { map->SetNumLayers(kMaxLayers + 1); }},
      {"SetNumLayers(INT_MAX)", [&] { map->SetNumLayers(INT_MAX); }},
      {"SetSubTexmap(INT_MAX)", [&] { map->SetSubTexmap(INT_MAX, spare); }},
      {"SetSubTexmap(INT_MAX - 1, null)", [&] { map->SetSubTexmap(INT_MAX - 1, nullptr); }},
      {"SetSubTexmap(2 * kMaxLayers)", [&] { map->SetSubTexmap(2 * kMaxLayers, spare); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    observer->messages.clear();
    c.call();
    EXPECT_EQ(map->LayerCount(), 2);
    EXPECT_EQ(Layout(), layout);
    EXPECT_EQ(map->opacity.Count(), 2);
    EXPECT_EQ(Block().Count(params::kMapList), 4);
    EXPECT_EQ(Block().Count(params::kMapEnabled), 2);
    EXPECT_TRUE(observer->messages.empty());
    EXPECT_EQ(spare->NumDependents(), 0);
  }
  spare->DeleteThis();
}

TEST_F(MapTest, TheMostLayersAMapHolds) {
  map->SetNumLayers(kMaxLayers);
  ASSERT_EQ(map->LayerCount(), kMaxLayers);
  EXPECT_EQ(Block().Count(params::kMapList), kMaxParamTabCount);
  EXPECT_EQ(Block().Count(params::kEditIds), kMaxLayers);
  ConstMap* top = Put(2 * kMaxLayers - 1, "top mask");
  EXPECT_EQ(map->GetReference(2 * kMaxLayers), top);
  EXPECT_EQ(map->LayerCount(), kMaxLayers);
  map->SetNumLayers(kMaxLayers + 1);
  EXPECT_EQ(map->LayerCount(), kMaxLayers);
}

// Tables that cannot grow (no memory) leave the map as it was, whichever
// of them fails.
TEST_F(MapTest, ALayerCountTheTablesCannotReachChangesNothing) {
  struct FailingAllocations {
    explicit FailingAllocations(int after) { test::tabAllocationsLeft = after; }
    ~FailingAllocations() { test::tabAllocationsLeft = -1; }
  };
  MakeLayers(3);
  const std::string layout = Layout();
  for (int k = 0; k < 7; ++k) {
    SCOPED_TRACE("allocations that succeed: " + std::to_string(k));
    observer->messages.clear();
    {
      // Each time a larger stack, so that every table has to grow.
      const int layers = 50 + 10 * k;
      FailingAllocations failing(k);
      if (k % 2 == 0) {
        map->SetNumLayers(layers);
      } else {
        map->SetSubTexmap(2 * layers - 1, nullptr);
      }
    }
    EXPECT_EQ(map->LayerCount(), 3);
    EXPECT_EQ(Layout(), layout);
    for (const int count : {map->mapOn.Count(), map->maskOn.Count(), map->layerUsed.Count(),
                            map->layerColor.Count(), map->opacity.Count(), map->blendMode.Count()}) {
      EXPECT_EQ(count, 3);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(map->opacity[i], 10.0f * static_cast<float>(i + 1));
    EXPECT_EQ(Block().Count(params::kMapList), 6);
    EXPECT_EQ(Block().Count(params::kEditIds), 3);
    EXPECT_TRUE(observer->messages.empty());
  }
  map->SetNumLayers(50);
  EXPECT_EQ(map->LayerCount(), 50);
  EXPECT_EQ(map->opacity[2], 30.0f);
}

TEST_F(MapTest, LocalOutputIsMeaningfulOnlyWithALayerMap) {
  ShadeContext sc;
  EXPECT_FALSE(map->IsLocalOutputMeaningful(sc));
  map->SetNumLayers(2);
  Put(3, "mask");
  EXPECT_FALSE(map->IsLocalOutputMeaningful(sc));
  Put(2, "map");
  EXPECT_TRUE(map->IsLocalOutputMeaningful(sc));
}

TEST_F(MapTest, ResetGivesANewMapWithAFreshBlock) {
  MakeLayers(3);
  map->outputOn = true;
  map->gamma = 2.0f;
  map->firstVisibleLayer = 1;
  log.clear();
  map->Reset();
  EXPECT_EQ(map->LayerCount(), 1);
  EXPECT_EQ(map->opacity[0], 100.0f);
  EXPECT_FALSE(map->outputOn);
  EXPECT_EQ(map->gamma, 1.0f);
  EXPECT_EQ(map->firstVisibleLayer, 0);
  EXPECT_EQ(log.size(), 6u);  // every sub-map released
  EXPECT_EQ(Block().Count(params::kMapList), 2);
  EXPECT_EQ(Block().Count(params::kEditIds), 1);
}

TEST_F(MapTest, ChangesTheMapMakesToItsBlockAreNotRecorded) {
  const int before = macroRecorder->RecordCount();
  map->SetNumLayers(4);
  map->SetNumLayers(2);
  Put(6, "past the stack");        // grows the stack to 4 layers
  map->SetSubTexmap(11, nullptr);  // and to 6
  map->SetNumLayers(1);
  map->Init();
  EXPECT_EQ(macroRecorder->RecordCount(), before);
  EXPECT_TRUE(macroRecorder->Enabled());
  // The recorder itself still works: a change from outside is recorded.
  Block().SetValue(params::kGamma, 0, 2.0f);
  EXPECT_EQ(macroRecorder->RecordCount(), before + 1);
}

}  // namespace
}  // namespace tessary::testing
