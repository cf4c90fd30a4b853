// The interface the module publishes for hosts: found by ID on the map and
// on nothing else, layer values and output settings read and set through
// it (the block following), and the version of the layer data loaded last.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/iosave.h"
#include "plugin_api/layered_map.h"
#include "tests/map/map_fixture.h"

namespace tessary::testing {
namespace {

using namespace host;

class LayeredInterfaceTest : public MapTest {
 protected:
  ILayeredMap& Layered() { return *GetLayeredMap(map); }
  bool Same(const LayerValues& a, const LayerValues& b) {
    return a.mapOn == b.mapOn && a.maskOn == b.maskOn && a.used == b.used && a.opacity == b.opacity &&
           a.color == b.color && a.mode == b.mode;
  }
};

TEST_F(LayeredInterfaceTest, FoundByIdOnTheMapOnly) {
  EXPECT_EQ(GetLayeredMap(map), static_cast<ILayeredMap*>(map));
  EXPECT_EQ(GetLayeredMap(nullptr), nullptr);
  ConstMap other("other", &log);
  EXPECT_EQ(GetLayeredMap(&other), nullptr);
  // Other IDs are still the host's properties.
  int hardware = 0;
  map->SetHostProperty(PROPID_HARDWARE_MATERIAL, &hardware);
  EXPECT_EQ(map->GetProperty(PROPID_HARDWARE_MATERIAL), &hardware);
  map->SetHostProperty(PROPID_HARDWARE_MATERIAL, nullptr);
}

TEST_F(LayeredInterfaceTest, SetLayerWritesTheTablesAndTheBlockAndTellsTheUsers) {
  MakeLayers(3);
  const LayerValues v{0, 1, 0, 37.5f, Color(0.25f, 0.5f, 1.0f), 19};
  const int recorded = macroRecorder->RecordCount();
  observer->messages.clear();
  Layered().SetLayer(2, v);
  EXPECT_TRUE(Same(Layered().GetLayer(2), v));
  EXPECT_EQ(map->mapOn[2], 0);
  EXPECT_EQ(map->maskOn[2], 1);
  EXPECT_EQ(map->layerUsed[2], 0);
  EXPECT_EQ(map->opacity[2], 37.5f);
  EXPECT_EQ(map->layerColor[2], Color(0.25f, 0.5f, 1.0f));
  EXPECT_EQ(map->blendMode[2], 19);
  EXPECT_EQ(Block().GetInt(params::kMapEnabled, 0, 2), 0);
  EXPECT_EQ(Block().GetInt(params::kMaskEnabled, 0, 2), 1);
  EXPECT_EQ(Block().GetInt(params::kMapUsed, 0, 2), 0);
  EXPECT_EQ(Block().GetFloat(params::kOpasityList, 0, 2), 37.5f);
  EXPECT_EQ(Block().GetColor(params::kColorList, 0, 2), Color(0.25f, 0.5f, 1.0f));
  EXPECT_EQ(Block().GetInt(params::kModeList, 0, 2), 19);
  EXPECT_STREQ(Block().GetStr(params::kEditIds, 0, 2), "2");
  EXPECT_EQ(macroRecorder->RecordCount(), recorded) << "the map's own block changes are not recorded";
  ASSERT_FALSE(observer->messages.empty());
  EXPECT_EQ(observer->messages.back().message, REFMSG_CHANGE);
  // The other layers keep their values.
  EXPECT_EQ(map->opacity[1], 20.0f);
}

TEST_F(LayeredInterfaceTest, IndexesWithoutEntriesAreLeftAlone) {
  MakeLayers(2);
  const LayerValues v{0, 0, 0, 1.0f, Color(1, 1, 1), 7};
  const struct {
    const char* name;
    std::function<void()> arrange;
    int index;
  } cases[] = {
      {"below the stack", [] {}, -1},
      {"past the stack", [] {}, 2},
      {"past a short table", [this] { map->blendMode.SetCount(1); }, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    const LayerValues before0 = Layered().GetLayer(0);
    const LayerValues before1 = Layered().GetLayer(1);
    Layered().SetLayer(c.index, v);
    EXPECT_TRUE(Same(Layered().GetLayer(0), before0));
    EXPECT_TRUE(Same(Layered().GetLayer(1), before1));
    EXPECT_EQ(map->LayerCount(), 2);
  }
}

TEST_F(LayeredInterfaceTest, MissingEntriesReadAsTheNewLayer) {
  MakeLayers(2);
  map->blendMode[1] = 5;
  map->opacity.SetCount(1);
  map->blendMode.SetCount(1);
  const LayerValues layer1 = Layered().GetLayer(1);
  EXPECT_EQ(layer1.opacity, kNewLayer.opacity);
  EXPECT_EQ(layer1.mode, kNewLayer.mode);
  EXPECT_EQ(layer1.color, map->layerColor[1]);
  EXPECT_TRUE(Same(Layered().GetLayer(-1), kNewLayer));
  EXPECT_TRUE(Same(Layered().GetLayer(2), kNewLayer));
  // And a new layer takes exactly those values.
  map->SetNumLayers(3);
  EXPECT_TRUE(Same(Layered().GetLayer(2), kNewLayer));
  EXPECT_EQ(kNewLayer.color, Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(kNewLayer.opacity, 100.0f);
}

TEST_F(LayeredInterfaceTest, OutputSettingsRoundTripAndAreWhatTheMapUses) {
  OutputSettings s;
  s.outputOn = true;
  s.clampOn = true;
  s.monoOn = true;
  s.alphaShift = -0.25f;
  s.brightness = 1.5f;
  s.contrast = 0.75f;
  s.gamma = 2.2f;
  s.hsvShift = AColor(30, 0.1f, 0.2f, 0);
  s.rgbShift = AColor(0.3f, -0.4f, 0.5f, 0);
  observer->messages.clear();
  Layered().SetOutput(s);
  EXPECT_FALSE(observer->messages.empty());
  const OutputSettings back = Layered().GetOutput();
  EXPECT_EQ(back.outputOn, true);
  EXPECT_EQ(back.clampOn, true);
  EXPECT_EQ(back.monoOn, true);
  EXPECT_EQ(back.alphaShift, -0.25f);
  EXPECT_EQ(map->brightness, 1.5f);
  EXPECT_EQ(map->contrast, 0.75f);
  EXPECT_EQ(map->gamma, 2.2f);
  EXPECT_EQ(map->hsvShift, AColor(30, 0.1f, 0.2f, 0));
  EXPECT_EQ(map->rgbShift, AColor(0.3f, -0.4f, 0.5f, 0));
}

TEST_F(LayeredInterfaceTest, LoadedLayerDataVersionFollowsTheLastChunk) {
  EXPECT_EQ(Layered().LoadedLayerDataVersion(), 0);
  MemorySave save;
  ASSERT_EQ(map->Save(&save), IO_OK);
  MemoryLoad load(save.Bytes());
  ASSERT_EQ(map->Load(&load), IO_OK);
  load.RunPostLoadCallbacks();
  EXPECT_EQ(Layered().LoadedLayerDataVersion(), 4);
  map->Reset();
  EXPECT_EQ(Layered().LoadedLayerDataVersion(), 0);
}

}  // namespace
}  // namespace tessary::testing
