#include "host/sdk/mtl.h"

#include <gtest/gtest.h>

#include "host/sdk/gfx.h"
#include "host/sdk/shade_context.h"
#include "tests/host/test_objects.h"

namespace tessary::host {
namespace {

using testing::ColorMap;
using testing::Log;

TEST(MtlBase, FullNameCarriesTheClassName) {
  ColorMap m{AColor()};
  EXPECT_EQ(m.GetFullName(), "(Color Map)");
  m.SetName("Map #3");
  EXPECT_EQ(m.GetName(), "Map #3");
  EXPECT_EQ(m.GetFullName(), "Map #3 (Color Map)");
}

TEST(MtlBase, ActiveCountNeverGoesBelowZero) {
  ColorMap m{AColor()};
  EXPECT_FALSE(m.IsActive());
  m.DecrActive();
  EXPECT_EQ(m.ActiveCount(), 0);
  m.IncrActive();
  m.IncrActive();
  m.DecrActive();
  EXPECT_EQ(m.ActiveCount(), 1);
  EXPECT_TRUE(m.IsActive());
}

TEST(Texmap, MonoIsTheMeanOfTheColourComputedAsTheHostDoes) {
  struct Case {
    AColor c;
    float mono;
  };
  const Case cases[] = {
      {AColor(0, 0, 0, 1), 0.0f},
      {AColor(1, 1, 1, 1), ((1.0f + 1.0f) + 1.0f) * 0.33333334f},
      {AColor(0.2f, 0.4f, 0.9f, 0.0f), ((0.9f + 0.4f) + 0.2f) * 0.33333334f},
      {AColor(-1, 2, 5, 1), ((5.0f + 2.0f) + -1.0f) * 0.33333334f},
  };
  ShadeContext sc;
  for (const Case& c : cases) {
    ColorMap m(c.c);
    EXPECT_EQ(m.EvalMono(sc), c.mono) << c.c.r << " " << c.c.g << " " << c.c.b;
  }
}

TEST(Texmap, SubMapSlotDefaults) {
  ColorMap m{AColor()};
  EXPECT_EQ(m.SubTexmapOn(1), 1);
  EXPECT_EQ(m.SuperClassID(), TEXMAP_CLASS_ID);
  EXPECT_FALSE(m.SupportTexDisplay());
  EXPECT_FALSE(m.SupportsMultiMapsInViewport());
}

struct FakeHardwareMaterial : IHardwareMaterial {
  void SetNumTexStages(DWORD) override {}
  void SetTexture(DWORD, DWORD_PTR) override {}
  void SetTextureColorArg(DWORD, DWORD, DWORD) override {}
  void SetTextureAlphaArg(DWORD, DWORD, DWORD) override {}
  void SetTextureColorOp(DWORD, DWORD) override {}
  void SetTextureAlphaOp(DWORD, DWORD) override {}
  void SetTextureTransformFlag(DWORD, DWORD) override {}
  void SetDiffuseColor(const AColor&) override {}
  void SetAmbientColor(const AColor&) override {}
};

TEST(Texmap, HostProvidesTheHardwareMaterialAsAProperty) {
  ColorMap m{AColor()};
  FakeHardwareMaterial hw;
  EXPECT_EQ(m.GetProperty(PROPID_HARDWARE_MATERIAL), nullptr);
  m.SetHostProperty(PROPID_HARDWARE_MATERIAL, static_cast<IHardwareMaterial*>(&hw));
  EXPECT_EQ(static_cast<IHardwareMaterial*>(m.GetProperty(PROPID_HARDWARE_MATERIAL)), &hw);
  EXPECT_EQ(m.GetProperty(116), nullptr);
  m.SetHostProperty(PROPID_HARDWARE_MATERIAL, nullptr);
  EXPECT_EQ(m.GetProperty(PROPID_HARDWARE_MATERIAL), nullptr);
}

TEST(DeactivateMapsInTree, ClearsEveryShownMapBelowOnceEvenInSharedGraphs) {
  Log log;
  auto* root = new ColorMap(AColor(), 2, &log, "root");
  auto* child = new ColorMap(AColor(), 2, &log, "child");
  auto* shared = new ColorMap(AColor(), 0, &log, "shared");
  auto* hidden = new ColorMap(AColor(), 0, &log, "hidden");
  root->SetSubTexmap(0, child);
  root->SetSubTexmap(1, shared);
  child->SetSubTexmap(0, shared);
  child->SetSubTexmap(1, hidden);
  for (ColorMap* m : {root, child, shared}) m->IncrActive();
  shared->IncrActive();

  DeactivateMapsInTree(root);
  for (ColorMap* m : {root, child, shared, hidden}) EXPECT_EQ(m->ActiveCount(), 0);
  EXPECT_EQ(root->activations, std::vector<bool>{false});
  EXPECT_EQ(shared->activations, std::vector<bool>{false});
  EXPECT_TRUE(hidden->activations.empty());  // was not shown: left alone
  DeactivateMapsInTree(nullptr);
  root->DeleteThis();
  EXPECT_EQ(log.deleted.size(), 4u);
}

}  // namespace
}  // namespace tessary::host
