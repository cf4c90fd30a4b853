#include "host/sdk/iparamm2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/sdk/hold.h"
#include "tests/host/test_objects.h"
#include "host/runtime/class_directory.h"

namespace tessary::host {
namespace {

using testing::ColorMap;
using testing::Log;

enum : ParamID { kMaps = 0, kEnabled = 1, kOpacity = 3, kColors = 4, kNames = 6, kGamma = 18, kOwnMaps = 30 };

class TestClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 1; }
  Animatable* Create(bool) override;
  const char* ClassName() override { return "Owner"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0x11, 0x22); }
  const char* Category() override { return "Tests"; }
};

TestClassDesc testDesc;

ParamBlockDesc2 testBlock(
    0, "parameters", 0, &testDesc, P_AUTO_CONSTRUCT | P_AUTO_UI, 0, ParamRollout{197, 4, 0, 0},
    {
        {.id = kMaps, .int_name = "mapList", .type = TYPE_TEXMAP_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE | P_OWNERS_REF, .localNameResId = 5, .ownerRefNo = 1},
        {.id = kEnabled, .int_name = "mapEnabled", .type = TYPE_BOOL_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE, .localNameResId = 6, .defInt = 1},
        {.id = kOpacity, .int_name = "opasityList", .type = TYPE_FLOAT_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE, .localNameResId = 12, .defFloat = 100.0f, .hasRange = true,
         .rangeLow = 0.0f, .rangeHigh = 100.0f},
        {.id = kColors, .int_name = "colorList", .type = TYPE_RGBA_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE, .localNameResId = 13, .defColor = Color(0.5f, 0.5f, 0.5f)},
        {.id = kNames, .int_name = "edit_ids", .type = TYPE_STRING_TAB, .tabSize = 2,
         .flags = P_VARIABLE_SIZE, .localNameText = "edit_ids"},
        {.id = kGamma, .int_name = "gamma", .type = TYPE_FLOAT, .flags = P_ANIMATABLE,
         .localNameText = "gamma", .defFloat = 1.0f, .hasRange = true, .rangeLow = 0.001f,
         .rangeHigh = 10000000.0f, .ctrlType = TYPE_SPINNER, .ctrlEditType = EDITTYPE_FLOAT,
         .ctrlCount = 2, .ctrlIds = {1017, 1024}, .ctrlScale = 0.1f},
        {.id = kOwnMaps, .int_name = "ownMaps", .type = TYPE_TEXMAP_TAB, .tabSize = 1,
         .flags = P_VARIABLE_SIZE},
    });

// An owner with the block at reference 0 and map slots 1 and up, which
// counts the messages it gets.
class Owner : public ReferenceTarget {
 public:
  Owner() { testDesc.MakeAutoParamBlocks(this); }
  int NumRefs() override { return 5; }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < 5 ? refs[i] : nullptr; }
  RefResult NotifyRefChanged(const Interval&, RefTargetHandle target, PartID&, RefMessage message,
                             bool) override {
    if (message == REFMSG_CHANGE && target == pblock()) {
      ++changes;
      lastSeen = pblock()->LastNotifyParamID();
    }
    return REF_SUCCEED;
  }
  IParamBlock2* pblock() { return static_cast<IParamBlock2*>(refs[0]); }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0x11, 0x22); }

  RefTargetHandle refs[5] = {};
  int changes = 0;
  ParamID lastSeen = -1;

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < 5) refs[i] = t;
  }
};

Animatable* TestClassDesc::Create(bool) { return new Owner(); }

class ParamBlockTest : public ::testing::Test {
 protected:
  void SetUp() override { macroRecorder->Reset(); }
  void TearDown() override { macroRecorder->Reset(); }
  Owner owner;
  IParamBlock2* pb() { return owner.pblock(); }
};

TEST(ParamBlockDesc2, AttachesToItsClassAndFindsParametersByIDAndIndex) {
  ASSERT_EQ(testDesc.NumParamBlockDescs(), 1);
  EXPECT_EQ(testDesc.GetParamBlockDesc(0), &testBlock);
  EXPECT_EQ(testDesc.GetParamBlockDescByID(0), &testBlock);
  EXPECT_EQ(testDesc.GetParamBlockDescByID(1), nullptr);
  EXPECT_EQ(testDesc.GetParamBlockDesc(1), nullptr);
  EXPECT_TRUE(testBlock.IsValid());
  EXPECT_EQ(testBlock.Count(), 7);
  EXPECT_EQ(testBlock.IDtoIndex(kGamma), 5);
  EXPECT_EQ(testBlock.IndextoID(5), kGamma);
  EXPECT_EQ(testBlock.IDtoIndex(7), -1);
  const ParamDef* gamma = testBlock.GetParamDef(kGamma);
  ASSERT_NE(gamma, nullptr);
  EXPECT_STREQ(gamma->int_name, "gamma");
  EXPECT_EQ(gamma->ctrlIds[1], 1024);
  EXPECT_EQ(testBlock.GetParamDef(99), nullptr);
}

TEST(ParamBlockDesc2, DetachesWhenDestroyedAndRejectsDuplicateIDs) {
  TestClassDesc cd;
  {
    ParamBlockDesc2 bad(3, "bad", 0, &cd, 0, 0, {}, {{.id = 1, .int_name = "a"}, {.id = 1, .int_name = "b"}});
    EXPECT_EQ(cd.NumParamBlockDescs(), 1);
    EXPECT_FALSE(bad.IsValid());
  }
  EXPECT_EQ(cd.NumParamBlockDescs(), 0);
}

TEST_F(ParamBlockTest, AutoBlockIsReferenceZeroWithDefaults) {
  ASSERT_NE(pb(), nullptr);
  EXPECT_EQ(pb()->ID(), 0);
  EXPECT_EQ(pb()->GetDesc(), &testBlock);
  EXPECT_EQ(pb()->GetOwner(), &owner);
  EXPECT_EQ(pb()->NumDependents(), 1);
  struct Case {
    ParamID id;
    int count;
  };
  for (const Case& c : {Case{kMaps, 2}, Case{kEnabled, 2}, Case{kOpacity, 2}, Case{kColors, 2}, Case{kNames, 2},
                        Case{kGamma, 0}, Case{kOwnMaps, 1}, Case{99, 0}}) {
    EXPECT_EQ(pb()->Count(c.id), c.count) << c.id;
  }
  EXPECT_EQ(pb()->GetInt(kEnabled, 0, 1), 1);
  EXPECT_EQ(pb()->GetFloat(kOpacity, 0, 0), 100.0f);
  EXPECT_EQ(pb()->GetColor(kColors, 0, 1), Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(pb()->GetFloat(kGamma), 1.0f);
  EXPECT_EQ(pb()->GetStr(kNames, 0, 0), nullptr);
  EXPECT_EQ(pb()->LastNotifyParamID(), -1);
}

TEST_F(ParamBlockTest, MakingBlocksAgainReleasesTheOldOne) {
  IParamBlock2* first = pb();
  first->SetValue(kGamma, 0, 2.0f);
  testDesc.MakeAutoParamBlocks(&owner);
  EXPECT_NE(pb(), nullptr);
  EXPECT_EQ(pb()->GetFloat(kGamma), 1.0f);
}

TEST_F(ParamBlockTest, SetCountResizesKeepsEntriesAndNotifies) {
  pb()->SetValue(kOpacity, 0, 40.0f, 1);
  owner.changes = 0;
  ASSERT_TRUE(pb()->SetCount(kOpacity, 4));
  EXPECT_EQ(pb()->Count(kOpacity), 4);
  EXPECT_EQ(pb()->GetFloat(kOpacity, 0, 1), 40.0f);
  EXPECT_EQ(pb()->GetFloat(kOpacity, 0, 3), 100.0f);  // new entries take the default
  EXPECT_EQ(owner.changes, 1);
  EXPECT_EQ(owner.lastSeen, kOpacity);
  ASSERT_TRUE(pb()->SetCount(kMaps, 7));  // owner-held: only the count
  EXPECT_EQ(pb()->Count(kMaps), 7);
  EXPECT_EQ(pb()->LastNotifyParamID(), kMaps);

  struct Bad {
    ParamID id;
    int n;
  };
  for (const Bad& b : {Bad{kGamma, 2}, Bad{99, 2}, Bad{kOpacity, -1}, Bad{kOpacity, kMaxParamTabCount + 1}}) {
    EXPECT_FALSE(pb()->SetCount(b.id, b.n)) << b.id << " " << b.n;
  }
  EXPECT_EQ(pb()->Count(kOpacity), 4);
  EXPECT_EQ(owner.changes, 2);
  EXPECT_EQ(pb()->LastNotifyParamID(), kMaps);
}

TEST_F(ParamBlockTest, ValuesRoundTripAndWrongTypesOrIndicesAreRefused) {
  EXPECT_TRUE(pb()->SetValue(kEnabled, 0, 0, 1));
  EXPECT_TRUE(pb()->SetValue(kOpacity, 0, 12.5f, 0));
  EXPECT_TRUE(pb()->SetValue(kColors, 0, Color(0.1f, 0.2f, 0.3f), 1));
  EXPECT_TRUE(pb()->SetValue(kNames, 0, "3", 1));
  EXPECT_TRUE(pb()->SetValue(kGamma, 0, 2.2f));
  EXPECT_EQ(pb()->GetInt(kEnabled, 0, 1), 0);
  EXPECT_EQ(pb()->GetFloat(kOpacity, 0, 0), 12.5f);
  EXPECT_EQ(pb()->GetColor(kColors, 0, 1), Color(0.1f, 0.2f, 0.3f));
  EXPECT_STREQ(pb()->GetStr(kNames, 0, 1), "3");
  EXPECT_EQ(pb()->GetStr(kNames, 0, 0), nullptr);
  EXPECT_EQ(pb()->GetFloat(kGamma), 2.2f);

  owner.changes = 0;
  EXPECT_FALSE(pb()->SetValue(kOpacity, 0, 1, 0));       // int into a float
  EXPECT_FALSE(pb()->SetValue(kEnabled, 0, 1.0f, 0));    // float into a boolean
  EXPECT_FALSE(pb()->SetValue(kNames, 0, "x", 2));       // past the end
  EXPECT_FALSE(pb()->SetValue(kNames, 0, "x", -1));
  EXPECT_FALSE(pb()->SetValue(99, 0, 1));                // unknown
  EXPECT_FALSE(pb()->SetValue(kColors, 0, Color(), 5));
  EXPECT_EQ(owner.changes, 0);
  EXPECT_EQ(pb()->GetStr(kNames, 0, 5), nullptr);
  EXPECT_EQ(pb()->GetFloat(kOpacity, 0, 9), 0.0f);
  int v = 42;
  Interval valid = FOREVER;
  EXPECT_FALSE(pb()->GetValue(kOpacity, 0, v, valid, 0));
  EXPECT_EQ(v, 42);
}

TEST_F(ParamBlockTest, EveryChangeNotifiesTheOwnerAndRecordsWhichParameter) {
  owner.changes = 0;
  pb()->SetValue(kColors, 0, Color(1, 0, 0), 1);
  EXPECT_EQ(owner.changes, 1);
  EXPECT_EQ(owner.lastSeen, kColors);
  int tab = -2;
  EXPECT_EQ(pb()->LastNotifyParamID(tab), kColors);
  EXPECT_EQ(tab, 1);
  pb()->SetValue(kNames, 0, "0", 0);
  EXPECT_EQ(owner.changes, 2);
  EXPECT_EQ(owner.lastSeen, kNames);
}

TEST_F(ParamBlockTest, MacroRecorderSeesOnlyChangesMadeWhileItIsOn) {
  pb()->SetValue(kOpacity, 0, 50.0f, 1);
  macroRecorder->Disable();
  pb()->SetValue(kOpacity, 0, 60.0f, 1);
  pb()->SetCount(kOpacity, 3);
  macroRecorder->Enable();
  pb()->SetCount(kNames, 1);
  EXPECT_EQ(macroRecorder->RecordCount(), 2);
  EXPECT_EQ(macroRecorder->Records(),
            (std::vector<std::string>{"parameters.opasityList[2] = 50.000000", "parameters.edit_ids.count = 1"}));
  EXPECT_EQ(owner.changes, 4);  // notification does not depend on the recorder
}

TEST_F(ParamBlockTest, OwnerHeldMapTableReadsAndWritesTheOwnersReferences) {
  auto* m = new ColorMap(AColor(1, 1, 1));
  ASSERT_TRUE(pb()->SetValue(kMaps, 0, m, 1));
  EXPECT_EQ(owner.refs[2], m);            // owner reference 1 + index
  EXPECT_EQ(pb()->NumRefs(), 1);          // only the block's own table
  EXPECT_EQ(pb()->GetReferenceTarget(kMaps, 0, 1), m);
  EXPECT_EQ(pb()->GetReferenceTarget(kMaps, 0, 0), nullptr);
  EXPECT_FALSE(pb()->SetValue(kMaps, 0, m, 2));  // past the table's count
  EXPECT_EQ(m->NumDependents(), 1);
}

TEST_F(ParamBlockTest, OwnMapTableHoldsReferencesAndReleasesThemWhenShrunk) {
  Log log;
  auto* m = new ColorMap(AColor(1, 1, 1), 0, &log, "own");
  ASSERT_TRUE(pb()->SetCount(kOwnMaps, 2));
  ASSERT_TRUE(pb()->SetValue(kOwnMaps, 0, m, 1));
  EXPECT_EQ(pb()->NumRefs(), 2);
  EXPECT_EQ(pb()->GetReference(1), m);
  EXPECT_EQ(m->Dependents()[0], pb());
  pb()->SetCount(kOwnMaps, 1);
  EXPECT_EQ(log.deleted, std::vector<std::string>{"own"});
  EXPECT_EQ(pb()->NumRefs(), 1);
}

TEST_F(ParamBlockTest, CloneCopiesCountsAndValuesAndRemapsItsOwnMaps) {
  auto* own = new ColorMap(AColor(1, 1, 1));
  pb()->SetValue(kOwnMaps, 0, own, 0);
  pb()->SetCount(kEnabled, 3);
  pb()->SetValue(kEnabled, 0, 0, 2);
  pb()->SetValue(kNames, 0, "7", 1);
  pb()->SetCount(kMaps, 6);
  RemapDir remap;
  auto* copy = static_cast<IParamBlock2*>(remap.CloneRef(pb()));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Count(kEnabled), 3);
  EXPECT_EQ(copy->GetInt(kEnabled, 0, 2), 0);
  EXPECT_STREQ(copy->GetStr(kNames, 0, 1), "7");
  EXPECT_EQ(copy->Count(kMaps), 6);
  EXPECT_EQ(copy->GetOwner(), nullptr);
  // ColorMap has no Clone: the copy's own map slot stays empty rather than
  // sharing the source's map.
  EXPECT_EQ(copy->GetReference(0), nullptr);
  // The maker that takes the copy in becomes its owner.
  Owner other;
  other.ReplaceReference(0, copy);
  EXPECT_EQ(copy->GetOwner(), &other);
  auto* m = new ColorMap(AColor(0, 0, 0));
  EXPECT_TRUE(copy->SetValue(kMaps, 0, m, 0));
  EXPECT_EQ(other.refs[1], m);
}

TEST(ClassDirectory, RegistersFindsAndCreatesByIdentity) {
  ClassDirectory dir;
  TestClassDesc a;
  EXPECT_TRUE(dir.Register(&a));
  EXPECT_FALSE(dir.Register(&a));        // same identity twice
  EXPECT_FALSE(dir.Register(nullptr));
  EXPECT_EQ(dir.Count(), 1);
  EXPECT_EQ(dir.Find(TEXMAP_CLASS_ID, Class_ID(0x11, 0x22)), &a);
  EXPECT_EQ(dir.Find(TEXMAP_CLASS_ID, Class_ID(0x11, 0x23)), nullptr);
  EXPECT_EQ(dir.Find(PARAMETER_BLOCK2_CLASS_ID, Class_ID(0x11, 0x22)), nullptr);
  Animatable* made = dir.Create(TEXMAP_CLASS_ID, Class_ID(0x11, 0x22));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->ClassID(), Class_ID(0x11, 0x22));
  made->DeleteThis();
  EXPECT_EQ(dir.Create(TEXMAP_CLASS_ID, Class_ID(1, 1)), nullptr);
  dir.Unregister(&a);
  EXPECT_EQ(dir.Count(), 0);
  EXPECT_EQ(dir.Get(0), nullptr);
}

}  // namespace
}  // namespace tessary::host

namespace tessary::host {
namespace {

TEST(ClassDirectory, TheHostsDirectoryMakesEmptyBlocksForTheSceneLoader) {
  Animatable* made =
      ClassDirectory::Instance().Create(PARAMETER_BLOCK2_CLASS_ID, Class_ID(PARAMETER_BLOCK2_CLASS_ID, 0), true);
  auto* pb = dynamic_cast<IParamBlock2*>(made);
  ASSERT_NE(pb, nullptr);
  EXPECT_EQ(pb->GetDesc(), nullptr);
  EXPECT_EQ(pb->ID(), -1);
  EXPECT_EQ(pb->NumParams(), 0);
  EXPECT_EQ(pb->NumRefs(), 0);
  EXPECT_FALSE(pb->SetValue(0, 0, 1));
  EXPECT_FALSE(pb->SetCount(0, 1));
  EXPECT_EQ(pb->GetStr(0), nullptr);
  made->DeleteThis();
}

}  // namespace
}  // namespace tessary::host
