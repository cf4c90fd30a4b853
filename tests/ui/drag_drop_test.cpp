// Maps dragged onto and between the layer buttons through the dialog's
// texture-map drag-and-drop manager.

#include "tests/ui/editor_fixture.h"

namespace tessary::uitest {
namespace {

using DragDrop = EditorTest;

TEST_F(DragDrop, EveryButtonCarriesTheDialogsManager) {
  Open(6);
  for (int k = 0; k < 12; ++k) {
    host::ICustButton* b = host::GetICustButton(Item(IDC_MAP_BUTTON0 + k));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetDADMgr(), &dlg->dadManager) << k;
    host::ReleaseICustButton(b);
  }
  EXPECT_EQ(dlg->dadManager.Dialog(), dlg);
  const POINT p{0, 0};
  EXPECT_EQ(dlg->dadManager.GetDragType(MapButton(3), p), host::TEXMAP_CLASS_ID);
  EXPECT_EQ(dlg->dadManager.GetDragType(Row(IDC_MAP_ON0, 3), p), 0u);
}

TEST_F(DragDrop, DropAddressesTheLayerShownInTheRow) {
  struct Case {
    int first;
    bool mask;
    int row;
    int subMap;
    const char* name;
  };
  const Case cases[] = {
      {3, true, 2, 11, "| L: 5, Mask | Stone"},
      {3, false, 0, 6, "| L: 3, Normal, 100 | Stone"},
      {0, false, 0, 0, "| L: 0, Normal, 100 | Stone"},
      {4, true, 5, 19, "| L: 9, Mask | Stone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subMap);
    Open(10, c.first);
    auto* stone = new NamedMap("Stone");
    HWND button = c.mask ? MaskButton(c.row) : MapButton(c.row);
    ASSERT_TRUE(ht::DragMapOntoButton(button, stone));
    EXPECT_EQ(map->subMaps[c.subMap], stone);
    EXPECT_EQ(stone->GetName(), c.name);
    EXPECT_EQ(Text(button), std::string(c.name) + " (Plain)");
    EXPECT_EQ(dlg->dadManager.GetInstance(button, POINT{0, 0}, host::TEXMAP_CLASS_ID), stone);
    Close();
    delete params;
    params = nullptr;
    map->SetSubTexmap(c.subMap, nullptr);  // releases the map
  }
}

TEST_F(DragDrop, RefusedDrops) {
  Open(4);
  // The map onto its own button would reference itself.
  EXPECT_FALSE(ht::DragMapOntoButton(MapButton(1), map));
  // So would a map that already holds it.
  auto* holder = new Quilbo();
  holder->SetSubTexmap(0, map);
  EXPECT_FALSE(ht::DragMapOntoButton(MapButton(1), holder));
  EXPECT_FALSE(ht::DragMapOntoButton(MapButton(1), nullptr));
  // Not a button of the rows.
  auto* stone = new NamedMap("Stone");
  const POINT p{0, 0};
  EXPECT_FALSE(dlg->dadManager.OkToDrop(stone, nullptr, Item(IDC_ADD_LAYER), p, host::TEXMAP_CLASS_ID, FALSE));
  EXPECT_FALSE(dlg->dadManager.OkToDrop(stone, nullptr, MapButton(1), p, 0x0C00, FALSE));
  // Hidden rows cannot be reached.
  EXPECT_FALSE(ht::DragMapOntoButton(MapButton(5), stone));
  EXPECT_EQ(map->LayerCount(), 4);
  EXPECT_EQ(map->subMaps[2], nullptr);
  delete stone;
  // The holder is now the map's only owner: it goes with it.
  Close();
  holder->DeleteThis();
  map = nullptr;
}

TEST_F(DragDrop, DragBetweenButtonsExchangesTheMaps) {
  Open(3);
  auto* a = new NamedMap("A");
  auto* b = new NamedMap("B");
  map->SetSubTexmap(2, a);  // layer 1's map
  map->SetSubTexmap(5, b);  // layer 2's mask
  ASSERT_TRUE(ht::DragButtonOntoButton(MapButton(1), MaskButton(2)));
  EXPECT_EQ(map->subMaps[2], b);
  EXPECT_EQ(map->subMaps[5], a);
  EXPECT_EQ(a->GetName(), "| L: 2, Mask | A");
  EXPECT_EQ(b->GetName(), "| L: 1, Normal, 100 | B");
  // Onto an empty slot: the map moves and is not lost.
  ASSERT_TRUE(ht::DragButtonOntoButton(MaskButton(2), MapButton(0)));
  EXPECT_EQ(map->subMaps[0], a);
  EXPECT_EQ(map->subMaps[5], nullptr);
  EXPECT_EQ(Text(MaskButton(2)), "Mask: None");
}

}  // namespace
}  // namespace tessary::uitest
