// Evaluation through the shading context's cache, and the viewport display.

#include <gtest/gtest.h>

#include "compositing/color_helpers.h"
#include "tests/map/map_fixture.h"

namespace tessary::testing {
namespace {

using namespace host;

TEST_F(MapTest, EvalColorUsesTheCache) {
  ShadeContext sc;
  EXPECT_EQ(map->EvalColor(sc), AColor(0.5f, 0.5f, 0.5f, 1.0f));
  Put(0, "A");
  sc.NewSample();
  log.clear();
  EXPECT_EQ(map->EvalColor(sc), AColor(0.2f, 0.4f, 0.6f, 1.0f));
  EXPECT_EQ(log, Log{"A.EvalColor"});
  EXPECT_EQ(sc.CacheStores(), 2u);
  // A second call at the same sample is a hit: no sub-map is asked.
  log.clear();
  EXPECT_EQ(map->EvalColor(sc), AColor(0.2f, 0.4f, 0.6f, 1.0f));
  EXPECT_TRUE(log.empty());
  // A colour stored by someone else for this map is what comes back.
  sc.NewSample();
  sc.PutCache(map, AColor(9, 8, 7, 6));
  EXPECT_EQ(map->EvalColor(sc), AColor(9, 8, 7, 6));
  EXPECT_TRUE(log.empty());
}

TEST_F(MapTest, GBufferIDIsHandedOverOnlyWhenSet) {
  Put(0, "A");
  struct Case {
    int mapID;
    int expected;
  };
  const Case cases[] = {{0, 7}, {5, 5}};
  for (const Case& c : cases) {
    map->SetGBufID(c.mapID);
    ShadeContext sc;
    sc.SetGBufferID(7);
    map->EvalColor(sc);
    EXPECT_EQ(sc.GBufferID(), c.expected) << "colour, id " << c.mapID;
    ShadeContext sc2;
    sc2.SetGBufferID(7);
    map->EvalNormalPerturb(sc2);
    EXPECT_EQ(sc2.GBufferID(), c.expected) << "perturbation, id " << c.mapID;
  }
}

TEST_F(MapTest, MonoAndPerturbation) {
  Put(0, "A");
  ShadeContext sc;
  const AColor c = map->EvalColor(sc);
  sc.NewSample();
  EXPECT_EQ(map->EvalMono(sc), ((c.b + c.g) + c.r) * 0.33333334f);
  log.clear();
  sc.NewSample();
  EXPECT_EQ(map->EvalNormalPerturb(sc), Point3(0.1f, 0.2f, 0.3f));
  EXPECT_EQ(log, Log{"A.EvalNormalPerturb"});
  map->mapOn[0] = 0;
  EXPECT_EQ(map->EvalNormalPerturb(sc), Point3(0, 0, 0));
}

// --- Viewport display -----------------------------------------------------------

class DisplayTest : public MapTest {
 protected:
  void SixLayers() {
    MakeLayers(6, false);
    log.clear();
  }
  void UseHardware() { map->SetHostProperty(PROPID_HARDWARE_MATERIAL, &hw); }
  LoggingHardwareMaterial hw;
  Material mtl;
};

TEST_F(DisplayTest, PicksUpToFourLayersWithinWhatTheCallbackSupports) {
  struct Case {
    bool hardware;
    int supported;
    int unusedLayer;  // -1: none
    std::vector<int> layers;
  };
  const Case cases[] = {
      {false, 8, -1, {0, 1, 2, 3}}, {true, 8, -1, {0, 1, 2, 3}}, {false, 2, -1, {0, 1}},
      {true, 2, -1, {0, 1}},        {false, 1, -1, {0}},         {false, 0, -1, {}},
      {false, 8, 1, {0, 2, 3, 4}},  {true, 8, 1, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.hardware ? "hardware" : "software") << ", " << c.supported
                                      << " supported, unused " << c.unusedLayer);
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    SixLayers();
    hw.calls.clear();
    mtl.texture.SetCount(1);
    if (c.hardware) UseHardware();
    if (c.unusedLayer >= 0) map->layerUsed[c.unusedLayer] = 0;
    CountingCallback cb(c.supported);
    map->SetupGfxMultiMaps(0, &mtl, cb);
    const int k = static_cast<int>(c.layers.size());
    EXPECT_EQ(map->numTexHandles, k);
    EXPECT_EQ(cb.made, k);
    for (int s = 0; s < k; ++s) {
      EXPECT_EQ(map->texHandleMap[s], c.layers[static_cast<std::size_t>(s)]);
      ASSERT_NE(map->texHandles[s], nullptr);
    }
    if (!c.hardware) {
      ASSERT_EQ(mtl.texture.Count(), k);
      for (int s = 0; s < k; ++s) {
        EXPECT_EQ(mtl.texture[s].textHandle, static_cast<DWORD_PTR>(101 + s));
        EXPECT_EQ(mtl.texture[s].colorOp, k == 1 ? 2 : 7);
        EXPECT_EQ(mtl.texture[s].colorAlphaSource, 2);
        EXPECT_EQ(mtl.texture[s].alphaAlphaSource, 2);
      }
    }
    std::vector<std::string> expectedImages;
    for (int layer : c.layers) expectedImages.push_back(std::string(1, static_cast<char>('A' + layer)) + ".GetVPDisplayDIB");
    EXPECT_EQ(log, expectedImages);
    map->DiscardTexHandles();  // while the callback that made them lives
    EXPECT_EQ(cb.released, k);
  }
}

TEST_F(DisplayTest, HardwareStageCodesInOrder) {
  struct Case {
    int layers;
    Log calls;
  };
  const Case cases[] = {
      {1,
       {"Stages 1", "Texture 0 0", "Texture 0 101", "ColorArg 0 1 2", "ColorArg 0 2 1", "AlphaArg 0 1 2",
        "AlphaArg 0 2 1", "ColorOp 0 4", "AlphaOp 0 3", "Diffuse 1 1 1 1", "Ambient 1 1 1 1", "Transform 0 2"}},
      {2,
       {"Stages 2", "Texture 0 0", "Texture 1 0", "Texture 0 101", "ColorArg 0 1 2", "ColorArg 0 2 1",
        "AlphaArg 0 1 2", "AlphaArg 0 2 1", "ColorOp 0 13", "AlphaOp 0 3", "Transform 0 2", "Texture 1 102",
        "ColorArg 1 1 2", "ColorArg 1 2 1", "AlphaArg 1 1 2", "AlphaArg 1 2 1", "ColorOp 1 13", "AlphaOp 1 3",
        "Transform 1 2"}},
  };
  for (const Case& c : cases) {
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    MakeLayers(c.layers, false);
    UseHardware();
    hw.calls.clear();
    mtl.texture.SetCount(1);
    CountingCallback cb(8);
    map->SetupGfxMultiMaps(0, &mtl, cb);
    EXPECT_EQ(hw.calls, c.calls) << c.layers << " layers";
    Log filled;
    for (int s = 0; s < c.layers; ++s) filled.push_back(std::to_string(s) + ":" + std::string(1, static_cast<char>('A' + s)));
    EXPECT_EQ(cb.filled, filled);
    map->DiscardTexHandles();
  }
}

TEST_F(DisplayTest, HandlesAreKeptUntilAChange) {
  struct Case {
    bool hardware;
  };
  for (const Case& c : {Case{false}, Case{true}}) {
    SCOPED_TRACE(c.hardware ? "hardware" : "software");
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    MakeLayers(3, false);
    if (c.hardware) UseHardware();
    mtl.texture.SetCount(1);
    CountingCallback cb(8);
    map->SetupGfxMultiMaps(0, &mtl, cb);
    ASSERT_EQ(cb.made, 3);
    // Within the validity: the stored handles are applied again, none made.
    hw.calls.clear();
    map->SetupGfxMultiMaps(100, &mtl, cb);
    EXPECT_EQ(cb.made, 3);
    EXPECT_EQ(map->numTexHandles, 3);
    if (c.hardware) {
      EXPECT_EQ(hw.calls.front(), "Stages 3");
      EXPECT_NE(std::find(hw.calls.begin(), hw.calls.end(), "Texture 2 103"), hw.calls.end());
    } else {
      ASSERT_EQ(mtl.texture.Count(), 3);
      EXPECT_EQ(mtl.texture[2].textHandle, 103u);
    }
    // A change message releases them; the next call rebuilds.
    map->pblock->SetValue(params::kGamma, 0, 2.0f);
    EXPECT_EQ(cb.released, 3);
    EXPECT_EQ(map->texHandles[0], nullptr);
    map->SetupGfxMultiMaps(100, &mtl, cb);
    EXPECT_EQ(cb.made, 6);
    // Display off releases them too.
    map->ActivateTexDisplay(true);
    EXPECT_EQ(cb.released, 3);
    map->ActivateTexDisplay(false);
    EXPECT_EQ(cb.released, 6);
    map->SetupGfxMultiMaps(100, &mtl, cb);
    EXPECT_EQ(cb.made, 9);
    // So does a change of the layer count, and the map's destruction.
    map->SetNumLayers(2);
    EXPECT_EQ(cb.released, 9);
    map->SetupGfxMultiMaps(100, &mtl, cb);
    EXPECT_EQ(cb.made, 11);
    observer.reset();
    EXPECT_EQ(cb.released, 11);
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
  }
}

TEST_F(DisplayTest, NoLayerMapsSetsUpZeroStages) {
  map->SetNumLayers(3);
  Put(1, "mask only");
  for (bool hardware : {false, true}) {
    if (hardware) UseHardware();
    map->DiscardTexHandles();
    mtl.texture.SetCount(2);
    hw.calls.clear();
    CountingCallback cb(8);
    map->SetupGfxMultiMaps(0, &mtl, cb);
    EXPECT_EQ(map->numTexHandles, 0);
    EXPECT_EQ(cb.made, 0);
    EXPECT_TRUE(map->texHandleValidity.IsInfinite());
    if (hardware) {
      EXPECT_EQ(hw.calls, Log{"Stages 0"});
    } else {
      EXPECT_EQ(mtl.texture.Count(), 0);
    }
  }
}

}  // namespace
}  // namespace tessary::testing
