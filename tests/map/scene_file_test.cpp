// The map in the host's scene file: what a file may put into the map's
// reference slots, and a property: whatever layer operations a user makes,
// what is saved loads back to the same map.

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/runtime/class_directory.h"
#include "host/runtime/scene_file.h"
#include "host/sdk/shade_context.h"
#include "host/runtime/stdmap_classes.h"
#include "tests/app/tsy_builder.h"
#include "tests/map/map_fixture.h"

namespace tessary::testing {
namespace {

using namespace host;
using app::testing::Bytes;
using app::testing::DataChunk;
using app::testing::TsyFile;
using app::testing::TsyObject;

// The classes a scene of maps needs, registered once for the program.
void RegisterClasses() {
  static const bool registered = [] {
    ClassDirectory::Instance().Register(GetQuilboDesc());
    RegisterStandardMaps(ClassDirectory::Instance());
    return true;
  }();
  (void)registered;
}

// --- What a file offers the map's slots ----------------------------------------

// A map of one default layer, version-4 data, with the given reference list.
TsyObject MapObject(std::vector<std::int32_t> refs) {
  Bytes p;
  p.I32(1).I32(1).F32(100.0f).F32(0.5f).F32(0.5f).F32(0.5f).I32(1).I32(0).I32(1);
  p.U8(0).U8(0).U8(0);
  for (float f : {0.0f, 1.0f, 1.0f, 1.0f}) p.F32(f);
  for (int k = 0; k < 8; ++k) p.F32(0.0f);
  return {TEXMAP_CLASS_ID, QUILBO_CLASS_ID.PartA(), QUILBO_CLASS_ID.PartB(), DataChunk(LAYERS_V4_CHUNK, p.b),
          std::move(refs)};
}

TsyObject BlockObject() {
  return app::testing::ParamBlockObject(TEXMAP_CLASS_ID, QUILBO_CLASS_ID.PartA(), QUILBO_CLASS_ID.PartB());
}

TsyObject ConstantObject() {
  Bytes p;
  for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f}) p.F32(f);
  return {TEXMAP_CLASS_ID, CONSTANT_TEX_CLASS_ID.PartA(), CONSTANT_TEX_CLASS_ID.PartB(),
          DataChunk(STDMAP_PARAMS_CHUNK, p.b), {}};
}

struct SlotCase {
  const char* label;
  std::vector<TsyObject> objects;
  const char* error;  // null: the file loads
};

void PrintTo(const SlotCase& c, std::ostream* os) { *os << c.label; }

class ReferenceSlots : public ::testing::TestWithParam<SlotCase> {
 protected:
  void SetUp() override { RegisterClasses(); }
};

// A slot given a kind of object it cannot hold fails the load with one
// message naming the map, the slot and what it refused; nothing stays behind
// (the sanitizer build sees any object freed twice or leaked).
TEST_P(ReferenceSlots, WrongKindsFailTheLoadNamingObjectAndSlot) {
  const SlotCase& c = GetParam();
  const std::vector<std::uint8_t> bytes = TsyFile(c.objects);
  std::string error;
  ReferenceTarget* root = ReadScene(bytes, &error);
  if (c.error == nullptr) {
    ASSERT_NE(root, nullptr) << error;
    auto* map = dynamic_cast<Quilbo*>(root);
    ASSERT_NE(map, nullptr);
    EXPECT_NE(map->pblock, nullptr);
    EXPECT_EQ(map->pblock->GetOwner(), map);
    EXPECT_EQ(map->NumRefs(), 3);
    DeleteGraph(root);
    return;
  }
  EXPECT_EQ(root, nullptr);
  if (root) DeleteGraph(root);
  EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Map, ReferenceSlots,
    ::testing::Values(
        SlotCase{"block_also_in_a_sub_map_slot",
                 {MapObject({1, 2, 1}), BlockObject(), ConstantObject()},
                 "object 0 (Tessary) refused object 1 (ParamBlock2) in reference slot 2"},
        SlotCase{"texture_map_in_slot_0",
                 {MapObject({1, -1, -1}), ConstantObject()},
                 "object 0 (Tessary) refused object 1 (Constant) in reference slot 0"},
        SlotCase{"map_as_its_own_block", {MapObject({0})}, "object 0 (Tessary) refused object 0 (Tessary) in reference slot 0"},
        SlotCase{"block_of_another_map",
                 {MapObject({1, 2, -1}), BlockObject(), MapObject({1})},
                 "object 2 (Tessary) refused object 1 (ParamBlock2) in reference slot 0"},
        SlotCase{"more_slots_than_layers",
                 {MapObject({1, -1, -1, 2}), BlockObject(), ConstantObject()},
                 "object 0 (Tessary) has 4 references in the file but takes 3"},
        SlotCase{"shared_sub_map", {MapObject({1, 2, 2}), BlockObject(), ConstantObject()}, nullptr}),
    [](const ::testing::TestParamInfo<SlotCase>& p) { return std::string(p.param.label); });

// A block loaded with layer counts other than the map's (a hand-made file)
// does not cut the layers away at the next update.
TEST(MapInAScene, BlockLoadedWithOtherCountsKeepsTheLayers) {
  RegisterClasses();
  TsyObject block = BlockObject();
  Bytes noEntries;
  noEntries.I32(params::kMapEnabled).I32(TYPE_BOOL_TAB).I32(0);
  const std::vector<std::uint8_t> param = DataChunk(IParamBlock2::PB_PARAM_CHUNK, noEntries.b);
  block.data.insert(block.data.end(), param.begin(), param.end());
  std::string error;
  ReferenceTarget* root = ReadScene(TsyFile({MapObject({1, -1, -1}), block}), &error);
  ASSERT_NE(root, nullptr) << error;
  auto* map = dynamic_cast<Quilbo*>(root);
  ASSERT_NE(map, nullptr);
  ASSERT_EQ(map->pblock->Count(params::kMapEnabled), 0);
  Interval valid = FOREVER;
  map->Update(0, valid);
  EXPECT_EQ(map->opacity.Count(), 1);
  EXPECT_EQ(map->mapOn.Count(), 1);
  ShadeContext sc;
  EXPECT_EQ(map->EvalColor(sc), AColor(0.5f, 0.5f, 0.5f, 1.0f));
  DeleteGraph(root);
}

// --- Save and load after any layer operations ----------------------------------

std::string Hex(float f) {
  char text[32];
  std::snprintf(text, sizeof text, "%a", static_cast<double>(f));
  return text;
}

template <class T, class F>
void Table(std::ostringstream& out, const char* name, const Tab<T>& table, F&& text) {
  out << name << "[" << table.Count() << "]";
  for (int i = 0; i < table.Count(); ++i) out << " " << text(table[i]);
  out << "\n";
}

std::string ColorText(const Color& c) { return Hex(c.r) + "," + Hex(c.g) + "," + Hex(c.b); }

// Everything a save should carry, as text: the tables, the sub-maps by
// position (class, identity, and the first slot holding the same map), the
// block's counts and entries, the output fields.
std::string Describe(Quilbo& m) {
  std::ostringstream out;
  out << "layers " << m.LayerCount() << ", references " << m.NumRefs() << "\n";
  for (int i = 0; i < m.subMaps.Count(); ++i) {
    Texmap* t = m.subMaps[i];
    out << " " << i << ":";
    if (!t) {
      out << "-";
      continue;
    }
    int first = 0;
    while (m.subMaps[first] != t) ++first;
    if (first < i) {
      out << "=" << first;
    } else if (auto* constant = dynamic_cast<ConstantTex*>(t)) {
      out << "Constant " << Hex(constant->params.color.r);
    } else if (auto* layered = dynamic_cast<Quilbo*>(t)) {
      out << "Tessary " << layered->LayerCount() << " " << Hex(layered->opacity[0]);
    } else {
      out << "?";
    }
  }
  out << "\n";
  auto flag = [](int v) { return std::to_string(v); };
  Table(out, "mapOn", m.mapOn, flag);
  Table(out, "maskOn", m.maskOn, flag);
  Table(out, "layerUsed", m.layerUsed, flag);
  Table(out, "opacity", m.opacity, Hex);
  Table(out, "layerColor", m.layerColor, ColorText);
  Table(out, "blendMode", m.blendMode, flag);
  if (IParamBlock2* pb = m.pblock) {
    for (ParamID id = params::kMapList; id <= params::kMaskEnabled; ++id) {
      out << "block " << id << "[" << pb->Count(id) << "]";
      for (int i = 0; i < pb->Count(id); ++i) {
        if (id == params::kEditIds) {
          const char* s = pb->GetStr(id, 0, i);
          out << " " << (s ? s : "(unset)");
        } else if (id == params::kOpasityList) {
          out << " " << Hex(pb->GetFloat(id, 0, i));
        } else if (id == params::kColorList) {
          out << " " << ColorText(pb->GetColor(id, 0, i));
        } else if (id != params::kMapList) {
          out << " " << pb->GetInt(id, 0, i);
        }
      }
      out << "\n";
    }
  } else {
    out << "no block\n";
  }
  out << "output " << m.outputOn << m.clampOn << m.monoOn;
  for (float f : {m.alphaShift, m.brightness, m.contrast, m.gamma, m.hsvShift.r, m.hsvShift.g, m.hsvShift.b,
                  m.hsvShift.a, m.rgbShift.r, m.rgbShift.g, m.rgbShift.b, m.rgbShift.a}) {
    out << " " << Hex(f);
  }
  out << "\n";
  return out.str();
}

// What must hold after every operation: two sub-map entries per layer, a
// reference for each, the per-layer tables and the block's layer counts at N.
std::string BrokenInvariants(Quilbo& m) {
  const int n = m.LayerCount();
  std::string broken;
  auto expect = [&broken](bool ok, const char* what) {
    if (!ok) broken += std::string(what) + "; ";
  };
  expect(m.subMaps.Count() == 2 * n, "sub-map entries != 2N");
  expect(m.NumRefs() == 2 * n + 1, "references != 2N + 1");
  for (int count : {m.mapOn.Count(), m.maskOn.Count(), m.layerUsed.Count(), m.opacity.Count(),
                    m.layerColor.Count(), m.blendMode.Count()}) {
    expect(count == n, "a per-layer table != N");
  }
  expect(m.pblock->Count(params::kMapList) == 2 * n, "mapList != 2N");
  for (ParamID id : {params::kMapEnabled, params::kMaskEnabled, params::kMapUsed, params::kColorList,
                     params::kOpasityList, params::kModeList, params::kEditIds}) {
    expect(m.pblock->Count(id) == n, "a block table != N");
  }
  return broken;
}

// Random sequences of what a user, a script or the editor can do to a map.
class LayerOperations {
 public:
  LayerOperations(Quilbo& map, unsigned seed) : map_(map), random_(seed) {}

  // One operation; returns what it did.
  std::string Step() {
    const int n = map_.LayerCount();
    switch (Pick(0, 11)) {
      case 0: {
        const int count = Pick(-1, 9);
        map_.SetNumLayers(count);
        return "SetNumLayers(" + std::to_string(count) + ")";
      }
      case 1: {
        const int a = Pick(-1, n);
        const int b = Pick(-1, n);
        map_.SwapLayers(a, b);
        return "SwapLayers(" + std::to_string(a) + ", " + std::to_string(b) + ")";
      }
      case 2: {
        const int k = Pick(-1, n);
        map_.InsertLayerBefore(k);
        return "InsertLayerBefore(" + std::to_string(k) + ")";
      }
      case 3: {
        const int k = Pick(-1, n);
        map_.DeleteLayer(k);
        return "DeleteLayer(" + std::to_string(k) + ")";
      }
      case 4:
      case 5:
      case 6: {
        // In the stack and past it, with a new map, no map, or one already
        // in another slot (shared).
        const int slot = Pick(-1, 2 * n + 5);
        std::string what;
        Texmap* m = NewOrSharedMap(what);
        map_.SetSubTexmap(slot, m);
        if (m && m->NumDependents() == 0) m->DeleteThis();  // not taken
        return "SetSubTexmap(" + std::to_string(slot) + ", " + what + ")";
      }
      case 7: {
        const int count = Pick(-1, 9);
        map_.SetNumSubTexmaps(count);
        return "SetNumSubTexmaps(" + std::to_string(count) + ")";
      }
      case 8: {
        // The block's layer counts changed from outside (a script).
        const ParamID id = Pick(0, 1) == 0 ? params::kMapList : params::kMapEnabled;
        const int count = Pick(0, 2 * n + 3);
        map_.pblock->SetCount(id, count);
        return "block " + std::to_string(id) + " count " + std::to_string(count);
      }
      case 9: {
        Interval valid = FOREVER;
        map_.Update(0, valid);
        return "Update";
      }
      default:
        return EditFields();
    }
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  float Value() { return static_cast<float>(Pick(-400, 400)) * 0.375f; }

  Texmap* NewOrSharedMap(std::string& what) {
    switch (Pick(0, 4)) {
      case 0:
        what = "null";
        return nullptr;
      case 1: {
        std::vector<Texmap*> present;
        for (int i = 0; i < map_.subMaps.Count(); ++i) {
          if (map_.subMaps[i]) present.push_back(map_.subMaps[i]);
        }
        if (!present.empty()) {
          what = "shared";
          return present[static_cast<std::size_t>(Pick(0, static_cast<int>(present.size()) - 1))];
        }
        [[fallthrough]];
      }
      case 2: {
        auto* layered = new Quilbo();
        layered->SetNumLayers(Pick(1, 3));
        layered->opacity[0] = static_cast<float>(++made_);
        what = "layered map";
        return layered;
      }
      default: {
        auto* constant = new ConstantTex();
        constant->params.color.r = static_cast<float>(++made_);
        what = "constant map";
        return constant;
      }
    }
  }

  // What the editor writes: a layer's fields, the output fields.
  std::string EditFields() {
    const int n = map_.LayerCount();
    if (n > 0 && Pick(0, 2) > 0) {
      const int i = Pick(0, n - 1);
      map_.mapOn[i] = Pick(0, 1);
      map_.maskOn[i] = Pick(0, 1);
      map_.layerUsed[i] = Pick(0, 1);
      map_.opacity[i] = Value();
      map_.layerColor[i] = Color(Value(), Value(), Value());
      map_.blendMode[i] = Pick(0, 33);
      return "edit layer " + std::to_string(i);
    }
    map_.outputOn = Pick(0, 1) != 0;
    map_.clampOn = Pick(0, 1) != 0;
    map_.monoOn = Pick(0, 1) != 0;
    map_.alphaShift = Value();
    map_.brightness = Value();
    map_.contrast = Value();
    map_.gamma = Value();
    map_.hsvShift = AColor(Value(), Value(), Value(), 0.0f);
    map_.rgbShift = AColor(Value(), Value(), Value(), 0.0f);
    return "edit output";
  }

  Quilbo& map_;
  std::mt19937 random_;
  int made_ = 0;
};

class SaveAndLoad : public MapTest {
 protected:
  void SetUp() override { RegisterClasses(); }
};

TEST_F(SaveAndLoad, AnySequenceOfLayerOperationsLoadsBackTheSame) {
  constexpr int kSequences = 150;
  constexpr int kSteps = 30;
  for (unsigned seed = 1; seed <= kSequences; ++seed) {
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    LayerOperations ops(*map, seed);
    std::string history;
    for (int step = 0; step < kSteps; ++step) {
      history += ops.Step() + "\n";
      const std::string broken = BrokenInvariants(*map);
      ASSERT_TRUE(broken.empty()) << "seed " << seed << ": " << broken << "after\n" << history;
    }
    std::vector<std::uint8_t> saved;
    std::string error;
    ASSERT_EQ(WriteScene(map, saved, &error), IO_OK) << error;
    ReferenceTarget* root = ReadScene(saved, &error);
    ASSERT_NE(root, nullptr) << "seed " << seed << ": " << error << "\nafter\n" << history;
    auto* loaded = dynamic_cast<Quilbo*>(root);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Describe(*loaded), Describe(*map)) << "seed " << seed << " after\n" << history;
    std::vector<std::uint8_t> again;
    EXPECT_EQ(WriteScene(loaded, again, &error), IO_OK) << error;
    EXPECT_EQ(again, saved) << "seed " << seed;
    DeleteGraph(root);
  }
}

}  // namespace
}  // namespace tessary::testing
