// Update and validity, change notification from the block and other
// messages, and cloning.

#include <gtest/gtest.h>

#include "host/sdk/iparamb2.h"
#include "tests/map/map_fixture.h"

namespace tessary::testing {
namespace {

using namespace host;

TEST_F(MapTest, UpdateWithoutSubMapsIsValidForever) {
  map->SetNumLayers(3);
  Interval valid = FOREVER;
  map->Update(50, valid);
  EXPECT_EQ(valid, FOREVER);
  EXPECT_EQ(map->Validity(50), FOREVER);
}

TEST_F(MapTest, UpdateNarrowsToEveryPresentSubMap) {
  MakeLayers(2);
  map->mapOn[1] = 0;       // switches do not matter
  map->layerUsed[1] = 0;
  static_cast<ConstMap*>(map->GetSubTexmap(1))->validity = Interval(0, 100);
  static_cast<ConstMap*>(map->GetSubTexmap(2))->validity = Interval(-20, 60);
  log.clear();
  Interval valid = FOREVER;
  map->Update(10, valid);
  EXPECT_EQ(log, (Log{"A.Update", "a.Update", "B.Update", "b.Update"}));
  EXPECT_EQ(valid, Interval(0, 60));

  // Inside the validity nothing is asked again.
  log.clear();
  valid = Interval(-500, 500);
  map->Update(20, valid);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(valid, Interval(0, 60));

  // Outside it, or after a change, the sub-maps are asked again.
  map->Update(80, valid);
  EXPECT_EQ(log.size(), 4u);
  log.clear();
  Put(3, "c");  // SetSubTexmap empties the validity
  EXPECT_TRUE(map->validity.Empty());
  log.clear();
  EXPECT_EQ(map->Validity(20), Interval(0, 60));
  EXPECT_EQ(log.size(), 4u);
}

TEST_F(MapTest, UpdateSizesTablesToTheStack) {
  map->SetNumLayers(2);
  map->mapOn.SetCount(1);
  map->opacity.SetCount(5);
  Interval valid = FOREVER;
  map->Update(0, valid);
  EXPECT_EQ(map->mapOn.Count(), 2);
  EXPECT_EQ(map->opacity.Count(), 2);
}

TEST_F(MapTest, BlockTableCountsFromOutside) {
  struct Case {
    const char* what;
    int layersBefore;
    ParamID id;
    int count;
    int layers;
    int mapList;
  };
  // A count the stack cannot take (no layer at all, more than a map holds)
  // changes no layer and goes back to the stack's: a map always has a layer.
  const Case cases[] = {
      {"mapList 7", 1, params::kMapList, 7, 3, 6},
      {"mapList 7 on three layers", 3, params::kMapList, 7, 3, 6},
      {"mapList 2", 1, params::kMapList, 2, 1, 2},
      {"mapList 0", 3, params::kMapList, 0, 3, 6},
      {"mapList 1", 2, params::kMapList, 1, 2, 4},
      {"mapEnabled 5", 1, params::kMapEnabled, 5, 5, 10},
      {"mapEnabled 0", 3, params::kMapEnabled, 0, 3, 6},
      {"mapEnabled past the most layers", 2, params::kMapEnabled, kMaxLayers + 1, 2, 4},
      {"opasityList alone", 1, params::kOpasityList, 4, 1, 2},
      {"modeList alone", 1, params::kModeList, 0, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    map->SetNumLayers(c.layersBefore);
    const int records = macroRecorder->RecordCount();
    ASSERT_TRUE(Block().SetCount(c.id, c.count));
    EXPECT_EQ(map->LayerCount(), c.layers);
    EXPECT_EQ(Block().Count(params::kMapList), c.mapList);
    EXPECT_EQ(Block().Count(params::kMapEnabled), c.layers);
    EXPECT_EQ(map->opacity.Count(), c.layers);
    EXPECT_EQ(macroRecorder->RecordCount(), records + 1);  // only the change from outside
    if (c.layers > 1) {
      EXPECT_EQ(Block().Count(params::kEditIds), c.layers);
      EXPECT_STREQ(Block().GetStr(params::kEditIds, 0, c.layers - 1), std::to_string(c.layers - 1).c_str());
    }
  }
}

// "mapEnabled" set to 0 from outside keeps the layers and their values,
// also through the next update.
TEST_F(MapTest, MapEnabledCountZeroKeepsTheLayers) {
  MakeLayers(3);
  ASSERT_TRUE(Block().SetCount(params::kMapEnabled, 0));
  Interval valid = FOREVER;
  map->Update(0, valid);
  ASSERT_EQ(map->LayerCount(), 3);
  EXPECT_EQ(Layout(), "A a B b C c");
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(map->opacity.Count(), 3);
    EXPECT_EQ(map->opacity[i], 10.0f * static_cast<float>(i + 1));
    EXPECT_EQ(map->mapOn[i], 1);
  }
}

TEST_F(MapTest, ChangeMessageDiscardsHandlesAndValidity) {
  MakeLayers(1);
  Interval valid = FOREVER;
  map->Update(0, valid);
  ASSERT_FALSE(map->validity.Empty());
  map->texHandleValidity = FOREVER;
  log.clear();
  Block().SetValue(params::kGamma, 0, 3.0f);  // nothing to resize
  EXPECT_TRUE(map->validity.Empty());
  EXPECT_TRUE(map->texHandleValidity.Empty());
  EXPECT_EQ(map->LayerCount(), 1);
  EXPECT_EQ(map->gamma, 1.0f);  // the block's output values are not read
  EXPECT_TRUE(log.empty());
  // The message passes on to the map's dependents.
  ASSERT_FALSE(observer->messages.empty());
  EXPECT_EQ(observer->messages.back().message, REFMSG_CHANGE);
}

TEST_F(MapTest, OtherMessages) {
  struct Case {
    RefMessage message;
    int index;
    RefResult result;
    const char* name;
  };
  const Case cases[] = {
      {REFMSG_GET_PARAM_NAME, 3, REF_STOP, "Map 4"},
      {REFMSG_GET_PARAM_NAME, 0, REF_STOP, "Map 1"},
      {REFMSG_GET_PARAM_DIM, 3, REF_STOP, "untouched"},
      {REFMSG_TARGET_DELETED, 3, REF_SUCCEED, "untouched"},
      {REFMSG_SUBANIM_STRUCTURE_CHANGED, 3, REF_SUCCEED, "untouched"},
  };
  for (const Case& c : cases) {
    std::string name = "untouched";
    GetParamName record{name, c.index};
    PartID part = reinterpret_cast<PartID>(&record);
    map->texHandleValidity = FOREVER;
    EXPECT_EQ(map->NotifyRefChanged(FOREVER, map->pblock, part, c.message, true), c.result) << c.message;
    EXPECT_EQ(name, c.name) << c.message;
    EXPECT_FALSE(map->texHandleValidity.Empty()) << c.message;
  }
}

TEST_F(MapTest, CloneCopiesLayersAndRemapsMaps) {
  MakeLayers(3);
  map->SetSubTexmap(5, map->GetSubTexmap(0));  // A shared by two slots
  map->blendMode[2] = 9;
  map->layerColor[1] = Color(0.1f, 0.2f, 0.3f);
  map->mapOn[1] = 0;
  map->maskOn[2] = 0;
  map->layerUsed[0] = 0;
  map->firstVisibleLayer = 2;
  map->SetName("Stack");
  map->outputOn = true;
  map->gamma = 2.2f;
  map->hsvShift = AColor(10, 0, 0, 0);
  Block().SetValue(params::kGamma, 0, 2.2f);
  Block().SetValue(params::kOutputOn, 0, 1);
  log.clear();

  RemapDir remap;
  auto* copy = dynamic_cast<Quilbo*>(remap.CloneRef(map));
  ASSERT_NE(copy, nullptr);
  Observer holder(copy);
  ASSERT_EQ(copy->LayerCount(), 3);
  // Each source map is cloned once; the shared one maps to one clone.
  EXPECT_EQ(std::count(log.begin(), log.end(), "~A"), 0);
  std::vector<std::string> names;
  for (int i = 0; i < 6; ++i) {
    auto* m = dynamic_cast<ConstMap*>(copy->GetSubTexmap(i));
    names.push_back(m ? m->Name() : "-");
    EXPECT_NE(copy->GetSubTexmap(i), map->GetSubTexmap(i));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A'", "a'", "B'", "b'", "C'", "A'"}));
  EXPECT_EQ(copy->GetSubTexmap(0), copy->GetSubTexmap(5));
  EXPECT_EQ(copy->GetReference(1), copy->GetSubTexmap(0));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(copy->opacity[i], map->opacity[i]);
    EXPECT_EQ(copy->blendMode[i], map->blendMode[i]);
    EXPECT_EQ(copy->layerColor[i], map->layerColor[i]);
    EXPECT_EQ(copy->mapOn[i], map->mapOn[i]);
    EXPECT_EQ(copy->maskOn[i], map->maskOn[i]);
    EXPECT_EQ(copy->layerUsed[i], map->layerUsed[i]);
  }
  EXPECT_EQ(copy->firstVisibleLayer, 2);
  EXPECT_EQ(copy->GetName(), "Stack");
  EXPECT_TRUE(copy->validity.Empty());
  // Output settings start at the defaults; the block keeps its values.
  EXPECT_FALSE(copy->outputOn);
  EXPECT_EQ(copy->gamma, 1.0f);
  EXPECT_EQ(copy->hsvShift, AColor(0, 0, 0, 0));
  ASSERT_NE(copy->pblock, nullptr);
  EXPECT_NE(copy->pblock, map->pblock);
  EXPECT_EQ(copy->pblock->GetFloat(params::kGamma), 2.2f);
  EXPECT_EQ(copy->pblock->GetInt(params::kOutputOn), 1);
  EXPECT_EQ(copy->pblock->Count(params::kMapList), 6);
  EXPECT_EQ(copy->pblock->Count(params::kEditIds), 3);
  EXPECT_EQ(copy->paramDlg, nullptr);
  EXPECT_EQ(copy->numTexHandles, 0);
}

}  // namespace
}  // namespace tessary::testing
